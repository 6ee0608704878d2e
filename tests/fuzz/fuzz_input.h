// How the fuzz targets cut one input into a material library and a model, and the CPU stand-ins for
// textures and libraries.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "model/Mesh.h"
#include "model/ObjReader.h"

// The input up to the first "\n@@\n" is the library, the rest the model; without the mark all is model.
struct FuzzFiles {
  const char* library;
  size_t librarySize;
  const char* model;
  size_t modelSize;
};
FuzzFiles SplitFuzzInput(const uint8_t* data, size_t size);

// A texture is made unless its file name starts with 'x' (so failures are reached too).
bool TextureNameLoads(const char* fileName);

// The library read as LoadMaterialLibrary reads it, without a device; materials is null and count 0 when
// a texture failed. textured[i] tells whether material i got its texture.
struct FuzzLibrary {
  Material* materials;
  UINT count;
  bool* textured;
};
FuzzLibrary ReadFuzzLibrary(const char* text, size_t size);
void FreeFuzzLibrary(FuzzLibrary& library);
