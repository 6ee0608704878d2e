// The material library's two passes on any bytes: no read or write past the input or the array.
#include <string.h>

#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzLibrary library = ReadFuzzLibrary(reinterpret_cast<const char*>(data), size);
  for (UINT i = 0; i < library.count; ++i) {
    // Names and texture files must stay terminated inside their fields.
    const Material& material = library.materials[i];
    if (memchr(material.name, 0, sizeof material.name) == nullptr) __builtin_trap();
    if (memchr(material.textureFile, 0, sizeof material.textureFile) == nullptr) __builtin_trap();
  }
  FreeFuzzLibrary(library);
  return 0;
}
