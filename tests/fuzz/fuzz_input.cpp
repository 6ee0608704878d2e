#include "fuzz_input.h"

#include <stdlib.h>
#include <string.h>

#include "model/MtlReader.h"

FuzzFiles SplitFuzzInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  static const char kMark[] = "\n@@\n";
  for (size_t i = 0; i + 4 <= size; ++i) {
    if (memcmp(text + i, kMark, 4) == 0) return FuzzFiles{text, i, text + i + 4, size - i - 4};
  }
  return FuzzFiles{text, 0, text, size};
}

bool TextureNameLoads(const char* fileName) { return fileName[0] != 'x'; }

namespace {

bool MakeTexture(void* context, Material& material) {
  FuzzLibrary& library = *static_cast<FuzzLibrary*>(context);
  bool loads = TextureNameLoads(material.textureFile);
  library.textured[&material - library.materials] = loads;
  return loads;
}

}  // namespace

FuzzLibrary ReadFuzzLibrary(const char* text, size_t size) {
  FuzzLibrary library = {nullptr, CountMaterials(text, size), nullptr};
  library.materials = CreateMaterialArray(library.count);
  library.textured = static_cast<bool*>(calloc(library.count + 1, sizeof(bool)));
  if (!ReadMaterialProperties(text, size, library.materials, library.count, MakeTexture, &library)) {
    FreeFuzzLibrary(library);
  }
  return library;
}

void FreeFuzzLibrary(FuzzLibrary& library) {
  DestroyMaterialArray(library.materials);
  free(library.textured);
  library.materials = nullptr;
  library.textured = nullptr;
  library.count = 0;
}
