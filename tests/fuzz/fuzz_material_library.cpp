// The material library's two passes on any bytes: no read or write past the input or the array.
#include <string.h>

#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzLibrary library = ReadFuzzLibrary(reinterpret_cast<const char*>(data), size);
  for (UINT i = 0; i < library.count; ++i) {
    // Names and texture files must stay terminated inside their fields.
    if (memchr(library.materials[i].name, 0, sizeof library.materials[i].name) == NULL) __builtin_trap();
    if (memchr(library.materials[i].textureFile, 0, sizeof library.materials[i].textureFile) == NULL) __builtin_trap();
  }
  FreeFuzzLibrary(library);
  return 0;
}
