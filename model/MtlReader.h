// The two passes of the material library reader over the library's bytes, without the device: textures
// are made through a callback, so tests, benchmarks and fuzzers run them without a GPU.
#pragma once

#include <stddef.h>

#include "model/Mesh.h"

// Makes the texture of material from its textureFile; false ends the reading of the library.
typedef bool (*TextureMaker)(void* context, Material& material);

// Counting pass: the number of "newmtl" tokens.
UINT CountMaterials(const char* text, size_t size);

// Property pass into count zero-filled materials. Statements before the first "newmtl" and after the
// count is used up are read but change nothing and make no texture. Returns false when makeTexture fails.
bool ReadMaterialProperties(const char* text, size_t size, Material* materials, UINT count,
                            TextureMaker makeTexture, void* context);
