// A deterministic model in the loaders' subset: p/t/n faces of eight textured materials selected in
// interleaved runs of about a thousand faces, with its material library and textures.
#pragma once

#include <string>

struct GeneratedModel {
  std::string modelPath;
  size_t bytes;
  size_t faces;
};

// Writes (or reuses, when already written at the same size) folder/name.obj, its library and textures.
GeneratedModel GenerateModel(const std::string& folder, const std::string& name, size_t faces);

// A model of many materials, each selected by one "usemtl" run of a single face, the runs in shuffled
// order; every other material is textured, all of them with the same texture file. Always written anew.
GeneratedModel GenerateManyMaterialModel(const std::string& folder, const std::string& name, size_t materials);
