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
