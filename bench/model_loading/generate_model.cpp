#include "generate_model.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <numeric>

namespace {

const int kMaterials = 8;
const size_t kRunLength = 1000;

struct Random {
  uint64_t state;
  uint32_t Next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state >> 33);
  }
  float Unit() { return (Next() & 0xFFFFFF) / 16777216.0f; }
};

size_t FileSize(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<size_t>(info.st_size) : 0;
}

void WriteSmallBmp(const std::string& path) {
  unsigned char bmp[70] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0,
                           1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0};
  memset(bmp + 54, 200, 16);
  FILE* file = fopen(path.c_str(), "wb");
  fwrite(bmp, 1, sizeof bmp, file);
  fclose(file);
}

void WriteLibrary(const std::string& folder, const std::string& name) {
  FILE* file = fopen((folder + "/" + name + ".mtl").c_str(), "wb");
  for (int i = 0; i < kMaterials; ++i) {
    std::string texture = name + "_" + std::to_string(i) + ".bmp";
    fprintf(file, "newmtl material%d\nKa 0.2 0.2 0.2\nKd 0.%d 0.5 0.5\nKs 0 0 0\nmap_Kd %s\n\n", i, i, texture.c_str());
    WriteSmallBmp(folder + "/" + texture);
  }
  fclose(file);
}

// A tessellated surface as an exporter writes it: a grid of (side + 1)^2 vertices, positions, texture
// coordinates and normals in the same order, then two triangles per cell, row by row, so that faces refer to
// nearby vertices.
void WriteModel(FILE* file, const std::string& name, size_t faces) {
  Random random = {12345};
  size_t side = 1;
  while (2 * side * side < faces) ++side;
  size_t row = side + 1;
  fprintf(file, "# generated\nmtllib %s.mtl\no model\n", name.c_str());
  for (size_t y = 0; y < row; ++y)
    for (size_t x = 0; x < row; ++x)
      fprintf(file, "v %.5f %.5f %.5f\n", x * 0.01f, random.Unit() * 0.1f, y * 0.01f);
  for (size_t y = 0; y < row; ++y)
    for (size_t x = 0; x < row; ++x) fprintf(file, "vt %.5f %.5f\n", x / float(side), y / float(side));
  for (size_t i = 0; i < row * row; ++i)
    fprintf(file, "vn %.5f %.5f %.5f\n", random.Unit() * 0.2f - 0.1f, 1.0f, random.Unit() * 0.2f - 0.1f);
  fprintf(file, "s 1\n");
  for (size_t face = 0; face < faces; ++face) {
    if (face % kRunLength == 0) fprintf(file, "usemtl material%d\n", static_cast<int>((face / kRunLength) % kMaterials));
    size_t cell = face / 2;
    size_t corner = 1 + (cell / side) * row + cell % side;  // 1-based index of the cell's first corner
    size_t a = corner, b = corner + 1, c = corner + row, d = corner + row + 1;
    size_t triangle[3] = {a, face % 2 ? d : b, face % 2 ? c : d};
    fprintf(file, "f");
    for (size_t index : triangle) fprintf(file, " %zu/%zu/%zu", index, index, index);
    fprintf(file, "\n");
  }
}

// The library of GenerateManyMaterialModel: material i is textured when i is even.
void WriteManyMaterialLibrary(const std::string& folder, const std::string& name, size_t materials) {
  std::string texture = name + ".bmp";
  WriteSmallBmp(folder + "/" + texture);
  FILE* file = fopen((folder + "/" + name + ".mtl").c_str(), "wb");
  for (size_t i = 0; i < materials; ++i) {
    fprintf(file, "newmtl m%zu\nKd 0.5 0.5 0.5\n", i);
    if (i % 2 == 0) fprintf(file, "map_Kd %s\n", texture.c_str());
  }
  fclose(file);
}

// One run per material, in the order of a multiplicative permutation, each of one face in the form its
// material takes.
void WriteManyMaterialModel(FILE* file, const std::string& name, size_t materials) {
  const size_t kListSize = 64;
  fprintf(file, "mtllib %s.mtl\n", name.c_str());
  for (size_t i = 1; i <= kListSize; ++i) fprintf(file, "v %zu 0.5 1\nvt 0.5 0.%zu\nvn 0 1 0\n", i, i % 10);
  size_t step = 7919;  // run * step mod materials visits every material once when the two are coprime
  while (std::gcd(step, materials) != 1) step += 2;
  for (size_t run = 0; run < materials; ++run) {
    size_t material = run * step % materials;
    size_t a = 1 + run % kListSize, b = 1 + (run + 1) % kListSize, c = 1 + (run + 2) % kListSize;
    fprintf(file, "usemtl m%zu\n", material);
    if (material % 2 == 0) fprintf(file, "f %zu/%zu/%zu %zu/%zu/%zu %zu/%zu/%zu\n", a, a, a, b, b, b, c, c, c);
    else fprintf(file, "f %zu//%zu %zu//%zu %zu//%zu\n", a, a, b, b, c, c);
  }
}

}  // namespace

GeneratedModel GenerateManyMaterialModel(const std::string& folder, const std::string& name, size_t materials) {
  GeneratedModel model = {folder + "/" + name + ".obj", 0, materials};
  WriteManyMaterialLibrary(folder, name, materials);
  FILE* file = fopen(model.modelPath.c_str(), "wb");
  WriteManyMaterialModel(file, name, materials);
  fclose(file);
  model.bytes = FileSize(model.modelPath);
  return model;
}

GeneratedModel GenerateModel(const std::string& folder, const std::string& name, size_t faces) {
  GeneratedModel model = {folder + "/" + name + ".obj", 0, faces};
  std::string stamp = model.modelPath + ".size";
  size_t written = FileSize(model.modelPath);
  FILE* stampFile = fopen(stamp.c_str(), "rb");
  size_t recorded = 0;
  if (stampFile != nullptr) {
    if (fscanf(stampFile, "%zu", &recorded) != 1) recorded = 0;
    fclose(stampFile);
  }
  if (written == 0 || written != recorded) {
    WriteLibrary(folder, name);
    FILE* file = fopen(model.modelPath.c_str(), "wb");
    WriteModel(file, name, faces);
    fclose(file);
    written = FileSize(model.modelPath);
    stampFile = fopen(stamp.c_str(), "wb");
    fprintf(stampFile, "%zu\n", written);
    fclose(stampFile);
  }
  model.bytes = written;
  return model;
}
