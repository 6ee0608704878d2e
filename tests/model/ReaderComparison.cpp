#include "ReaderComparison.h"

#include <string.h>

#include <vector>

#include "model/MeshData.h"
#include "model/MtlReader.h"
#include "model/ObjReader.h"

namespace {

// The CPU side of a texture: made when the table says the file loads.
struct FakeTextures {
  const literal::FileTable* table;
  Material* first;
  std::vector<bool> made;
};

bool MakeFakeTexture(void* context, Material& material) {
  FakeTextures& textures = *static_cast<FakeTextures*>(context);
  bool loads = literal::TextureLoads(*textures.table, material.textureFile);
  textures.made[&material - textures.first] = loads;
  return loads;
}

void NoLibrary(void*, const char*) {}

bool SameBytes(const void* a, const void* b, size_t size) { return size == 0 || memcmp(a, b, size) == 0; }

std::string CompareMaterial(const literal::MaterialRecord& expected, const Material& actual, bool textured) {
  if (expected.name != actual.name) return "name " + expected.name + " / " + actual.name;
  if (!SameBytes(&expected.ambient, &actual.ambient, sizeof(D3DXVECTOR4))) return "ambient of " + expected.name;
  if (!SameBytes(&expected.diffuse, &actual.diffuse, sizeof(D3DXVECTOR4))) return "diffuse of " + expected.name;
  if (!SameBytes(&expected.specular, &actual.specular, sizeof(D3DXVECTOR4))) return "specular of " + expected.name;
  if (expected.textureFile != actual.textureFile) return "texture file of " + expected.name;
  if (expected.textured != textured) return "texture of " + expected.name;
  return "";
}

}  // namespace

std::string CompareLibrary(const literal::FileTable& table, const std::string& name) {
  literal::MeshRecord expected;
  bool expectedRead = literal::LoadMaterialLibrary(table, expected, name);
  const std::string& text = table.files.at(name);
  UINT count = CountMaterials(text.data(), text.size());
  if (count != expected.materialCount) return "material count";
  Material* materials = CreateMaterialArray(count);
  FakeTextures textures = {&table, materials, std::vector<bool>(count, false)};
  bool read = ReadMaterialProperties(text.data(), text.size(), materials, count, MakeFakeTexture, &textures);
  std::string difference = read != expectedRead ? "result" : "";
  for (UINT i = 0; read && difference.empty() && i < count; ++i)
    difference = CompareMaterial(expected.materials[i], materials[i], textures.made[i]);
  DestroyMaterialArray(materials);
  return difference;
}

std::string CompareModel(const literal::FileTable& table, const std::string& name,
                         const FacePlacementOptions& options) {
  literal::MeshRecord expected;
  literal::LoadMesh(table, name, expected);
  const std::string& text = table.files.at(name);
  VertexDataJob* job = StartVertexData(text.data(), text.size());  // runs alongside the counting, as in LoadMesh
  ObjCounts counts;
  if (!CountObjStatements(text.data(), text.size(), NoLibrary, NULL, counts)) {
    CancelVertexData(job);
    return "out of memory";
  }
  std::vector<FaceMaterial> materials;
  for (const literal::MaterialRecord& m : expected.materials) materials.push_back({m.name.c_str(), m.textured});
  std::string difference;
  MeshData data;
  if (counts.positionCount != expected.positionCount) difference = "position count";
  else if (counts.faceCount != expected.faceCount) difference = "face count";
  FacePassInput input = {text.data(), text.size(), &counts, materials.data(), materials.size()};
  if (difference.empty() && !BuildMeshData(input, job, counts.positionCount, counts.faceCount, options, data))
    difference = "out of memory";
  if (difference == "position count" || difference == "face count") CancelVertexData(job);
  if (!difference.empty()) {
    FreeObjCounts(counts);
    return difference;
  }
  if (expected.hasVertexBuffer && !SameBytes(expected.vertices.data(), data.faceVertices, expected.vertices.size() * sizeof(Vertex)))
    difference = "vertex data";
  for (size_t i = 0; difference.empty() && i < materials.size(); ++i) {
    UINT faces = data.materialFaceCounts[i];
    const UINT* indices = MaterialIndices(data, i);
    if (expected.materials[i].faceCount != faces) difference = "face count of material " + std::to_string(i);
    else if (expected.indexLists[i] != std::vector<UINT>(indices, indices + 3 * faces))
      difference = "indices of material " + std::to_string(i);
  }
  FreeMeshData(data);
  FreeObjCounts(counts);
  return difference;
}
