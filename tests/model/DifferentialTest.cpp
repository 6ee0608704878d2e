// The fast readers against the literal reference on many random and adversarial files: the same
// materials, counts, vertex data and index data. The CPU tests compare the passes over memory directly;
// the device tests compare what LoadMesh leaves in the mesh and in its GPU buffers.
#include <gtest/gtest.h>

#include <string.h>

#include <random>

#include "LiteralReaders.h"
#include "RandomModels.h"
#include "ReaderComparison.h"
#include "TestDevice.h"
#include "model/MeshLoader.h"

namespace {

const int kCpuRounds = 3000;
const int kDeviceRounds = 300;

literal::FileTable MakeTable(const RandomModelSet& set) {
  literal::FileTable table;
  table.files["model.obj"] = set.model;
  for (size_t i = 0; i < set.libraries.size(); ++i) table.files[set.libraryNames[i]] = set.libraries[i];
  for (const std::string& name : set.goodTextures) {
    table.files[name] = SmallBmp();
    table.textures[name] = true;
  }
  return table;
}

std::string Describe(const literal::FileTable& table) {
  std::string text;
  for (const auto& file : table.files) {
    if (file.first.find(".bmp") == std::string::npos) text += "---- " + file.first + "\n" + file.second + "\n";
  }
  return text;
}

::testing::AssertionResult SameBytes(const void* a, const void* b, size_t size) {
  if (memcmp(a, b, size) == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the bytes differ";
}

void ExpectSameMaterial(const literal::MaterialRecord& expected, const Material& actual) {
  EXPECT_EQ(expected.name, actual.name);
  EXPECT_TRUE(SameBytes(&expected.ambient, &actual.ambient, sizeof(D3DXVECTOR4)));
  EXPECT_TRUE(SameBytes(&expected.diffuse, &actual.diffuse, sizeof(D3DXVECTOR4)));
  EXPECT_TRUE(SameBytes(&expected.specular, &actual.specular, sizeof(D3DXVECTOR4)));
  EXPECT_EQ(expected.textureFile, actual.textureFile);
  EXPECT_EQ(expected.textured, actual.textureView != NULL);
}

TEST(ReadersAgainstReference, RandomLibrariesAndModelsOnCpu) {
  std::mt19937 random(20261206);
  for (int round = 0; round < kCpuRounds; ++round) {
    RandomModelSet set = MakeRandomModelSet(random);
    literal::FileTable table = MakeTable(set);
    SCOPED_TRACE("round " + std::to_string(round) + "\n" + Describe(table));
    for (const std::string& name : set.libraryNames) EXPECT_EQ("", CompareLibrary(table, name)) << name;
    EXPECT_EQ("", CompareModel(table, "model.obj"));
    if (::testing::Test::HasFailure()) return;
  }
}

void CompareMeshOnDevice(Application& app, const literal::MeshRecord& expected, const Mesh& mesh) {
  ASSERT_EQ(expected.positionCount, mesh.positionCount);
  ASSERT_EQ(expected.faceCount, mesh.faceCount);
  ASSERT_EQ(expected.materialCount, mesh.materialCount);
  ASSERT_EQ(expected.hasMaterials, mesh.materials != NULL);
  for (UINT i = 0; i < mesh.materialCount; ++i) {
    ExpectSameMaterial(expected.materials[i], mesh.materials[i]);
    EXPECT_EQ(expected.materials[i].faceCount, mesh.materials[i].faceCount);
    ASSERT_EQ(expected.hasIndexBuffer[i], mesh.indexBuffers[i] != NULL) << "material " << i;
    if (mesh.indexBuffers[i] == NULL) continue;
    std::vector<unsigned char> bytes = ReadBuffer(app, mesh.indexBuffers[i]);
    ASSERT_EQ(expected.indexLists[i].size() * sizeof(UINT), bytes.size());
    EXPECT_TRUE(SameBytes(expected.indexLists[i].data(), bytes.data(), bytes.size()));
  }
  ASSERT_EQ(expected.hasVertexBuffer, mesh.vertexBuffer != NULL);
  if (mesh.vertexBuffer == NULL) return;
  std::vector<unsigned char> bytes = ReadBuffer(app, mesh.vertexBuffer);
  ASSERT_EQ(expected.vertices.size() * sizeof(Vertex), bytes.size());
  EXPECT_TRUE(SameBytes(expected.vertices.data(), bytes.data(), bytes.size()));
}

TEST(ReadersAgainstReference, RandomModelsThroughTheDevice) {
  Application app;
  ASSERT_TRUE(CreateTestDevice(app));
  std::mt19937 random(4);
  for (int round = 0; round < kDeviceRounds; ++round) {
    RandomModelSet set = MakeRandomModelSet(random);
    literal::FileTable table = MakeTable(set);
    SCOPED_TRACE("round " + std::to_string(round) + "\n" + Describe(table));
    ScratchFolder folder;
    for (const auto& file : table.files) WriteFile(file.first, file.second);
    literal::MeshRecord expected;
    literal::LoadMesh(table, "model.obj", expected);
    Mesh mesh = {};
    LoadMesh(app, "model.obj", mesh);
    CompareMeshOnDevice(app, expected, mesh);
    ReleaseMesh(mesh);
    if (::testing::Test::HasFailure()) break;
  }
  ReleaseTestDevice(app);
}

}  // namespace
