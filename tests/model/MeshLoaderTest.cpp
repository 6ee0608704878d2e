// LoadMesh on a device, its buffers read back through staging copies: grouping by material, coordinate
// conversion, face forms, the match flag across passes, and the faults the loader mends.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "TestDevice.h"
#include "model/MeshLoader.h"

namespace {

const char* const kTwoPlainMaterials = "newmtl A\nKd 1 0 0\nnewmtl B\nKd 0 1 0\n";

class MeshLoaderTest : public DeviceTest {
 protected:
  void Load(const std::string& library, const std::string& model) {
    WriteFile("lib.mtl", library);
    WriteFile("model.obj", model);
    EXPECT_EQ(S_OK, LoadMesh(app, "model.obj", mesh));
  }
  std::vector<UINT> Indices(UINT material) { return ReadIndices(app, mesh.indexBuffers[material]); }
};

// Positions 1..4 at x = -1..-4 after the flip, normals 1..2, so each vertex says which references it took.
const char* const kLists = "v 1 0 0\nv 2 0 0\nv 3 0 0\nv 4 0 0\nvn 0 1 0\nvn 0 0 1\nvt 0.25 0.25\nvt 1 0\n";

TEST_F(MeshLoaderTest, OneMaterialTwoFaces) {
  Load("newmtl A\n", std::string("mtllib lib.mtl\n") + kLists + "usemtl A\nf 1//1 2//1 3//1\nf 2//2 3//2 4//2\n");
  ASSERT_NE(nullptr, mesh.vertexBuffer);
  EXPECT_EQ(192u, BufferByteWidth(mesh.vertexBuffer));
  ASSERT_NE(nullptr, mesh.indexBuffers[0]);
  EXPECT_EQ((std::vector<UINT>{0, 1, 2, 3, 4, 5}), Indices(0));
  EXPECT_EQ(2u, mesh.materials[0].faceCount);
  EXPECT_EQ(4u, mesh.positionCount);
  EXPECT_EQ(2u, mesh.faceCount);
}

TEST_F(MeshLoaderTest, FacesGroupedByMaterialInLibraryOrder) {
  Load(kTwoPlainMaterials, std::string("mtllib lib.mtl\n") + kLists +
                               "usemtl B\nf 4//1 4//1 4//1\nusemtl A\nf 1//1 1//1 1//1\nf 2//2 2//2 2//2\n");
  EXPECT_EQ((std::vector<UINT>{0, 1, 2, 3, 4, 5}), Indices(0));
  EXPECT_EQ((std::vector<UINT>{6, 7, 8}), Indices(1));
  EXPECT_EQ(24u, BufferByteWidth(mesh.indexBuffers[0]));
  EXPECT_EQ(12u, BufferByteWidth(mesh.indexBuffers[1]));
  std::vector<Vertex> vertices = ReadVertices(app, mesh);
  ASSERT_EQ(9u, vertices.size());
  EXPECT_EQ(-1.0f, vertices[0].position.x);  // A's first face
  EXPECT_EQ(-2.0f, vertices[3].position.x);  // A's second face
  EXPECT_EQ(-4.0f, vertices[6].position.x);  // B's face
  EXPECT_EQ(1.0f, vertices[3].normal.z);
}

TEST_F(MeshLoaderTest, CoordinatesAreConverted) {
  WriteFile("t.bmp", SmallBmp());
  Load("newmtl T\nmap_Kd t.bmp\n", "mtllib lib.mtl\nv 1 2 3\nvn 0.5 -1 2\nvt 0.25 0.25\nusemtl T\nf 1/1/1 1/1/1 1/1/1\n");
  std::vector<Vertex> vertices = ReadVertices(app, mesh);
  ASSERT_EQ(3u, vertices.size());
  EXPECT_EQ(-1.0f, vertices[2].position.x);
  EXPECT_EQ(2.0f, vertices[2].position.y);
  EXPECT_EQ(3.0f, vertices[2].position.z);
  EXPECT_EQ(-0.5f, vertices[2].normal.x);
  EXPECT_EQ(-1.0f, vertices[2].normal.y);
  EXPECT_EQ(0.25f, vertices[2].texcoord.x);
  EXPECT_EQ(0.75f, vertices[2].texcoord.y);
}

TEST_F(MeshLoaderTest, FaceFormFollowsTheMaterialsTexture) {
  WriteFile("t.bmp", SmallBmp());
  // The plain material reads "1/2/1" as far as "1/": the rest of its references keep the previous face's
  // values; the textured material reads all nine numbers and fills texcoords.
  Load("newmtl P\nnewmtl T\nmap_Kd t.bmp\n",
       std::string("mtllib lib.mtl\n") + kLists + "usemtl P\nf 1//1 2//1 3//1\nf 4/2/2 4/2/2 4/2/2\n" +
           "usemtl T\nf 2/2/2 3/2/2 4/1/1\n");
  std::vector<Vertex> vertices = ReadVertices(app, mesh);
  ASSERT_EQ(9u, vertices.size());
  EXPECT_EQ(-4.0f, vertices[3].position.x);  // the one reference read
  EXPECT_EQ(1.0f, vertices[3].normal.y);     // normal kept from face 1
  EXPECT_EQ(-2.0f, vertices[4].position.x);  // kept from face 1
  EXPECT_EQ(0.0f, vertices[3].texcoord.x);   // the plain form leaves texcoords at zero
  EXPECT_EQ(0.25f, vertices[8].texcoord.x);  // "4/1/1": "vt 0.25 0.25" stored as (0.25, 0.75)
  EXPECT_EQ(0.75f, vertices[8].texcoord.y);
  EXPECT_EQ(1.0f, vertices[6].texcoord.y);   // "2/2/2": "vt 1 0" stored as (1, 1)
}

TEST_F(MeshLoaderTest, FacesBeforeTheFirstSelectionTakeTheFlagLeftByThePassBefore) {
  // A's pass ends at the end of the file with the flag true (the last "usemtl" named A), so B's pass
  // places the face written before any "usemtl".
  Load(kTwoPlainMaterials, std::string("mtllib lib.mtl\n") + kLists + "f 3//1 3//1 3//1\nusemtl A\nf 1//1 1//1 1//1\n");
  EXPECT_EQ(1u, mesh.materials[0].faceCount);
  EXPECT_EQ(1u, mesh.materials[1].faceCount);
  std::vector<Vertex> vertices = ReadVertices(app, mesh);
  EXPECT_EQ(-3.0f, vertices[3].position.x);
}

TEST_F(MeshLoaderTest, SurplusNumbersAndUnknownMaterials) {
  Load("newmtl A\n", "mtllib lib.mtl\nv 1 2 3 4\nvt 0.1 0.2 0.3\nvn 0 0 1\nusemtl nowhere\nf 1//1 1//1 1//1\n"
                     "usemtl A\nf 1//1 1//1 1//1\n");
  EXPECT_EQ(2u, mesh.faceCount);
  EXPECT_EQ(1u, mesh.materials[0].faceCount);
  std::vector<Vertex> vertices = ReadVertices(app, mesh);
  ASSERT_EQ(6u, vertices.size());
  EXPECT_EQ(-1.0f, vertices[0].position.x);
  EXPECT_EQ(3.0f, vertices[0].position.z);
  for (int i = 3; i < 6; ++i) EXPECT_EQ(0.0f, vertices[i].position.x + vertices[i].normal.z);  // unfilled slot
}

TEST_F(MeshLoaderTest, MissingModelIsAnEmptyMesh) {
  EXPECT_EQ(S_OK, LoadMesh(app, "no such model.obj", mesh));
  EXPECT_EQ(0u, mesh.faceCount);
  EXPECT_EQ(0u, mesh.materialCount);
  EXPECT_EQ(nullptr, mesh.vertexBuffer);
}

TEST_F(MeshLoaderTest, ModelWithoutFacesHasNoVertexBuffer) {
  Load("newmtl A\n", "mtllib lib.mtl\nv 1 2 3\n");
  EXPECT_EQ(1u, mesh.positionCount);
  EXPECT_EQ(nullptr, mesh.vertexBuffer);
  EXPECT_EQ(nullptr, mesh.indexBuffers[0]);
}

TEST_F(MeshLoaderTest, ReferencesOutsideTheListsReadAsZero) {
  Load("newmtl A\n", "mtllib lib.mtl\nv 1 2 3\nvn 1 1 1\nusemtl A\n"
                     "f 0//1 -1//1 2//1\nf 99999999999//-99999999999 1//2 1//0\n");
  std::vector<Vertex> vertices = ReadVertices(app, mesh);
  ASSERT_EQ(6u, vertices.size());
  for (int i : {0, 1, 2, 3}) EXPECT_EQ(0.0f, vertices[i].position.y) << i;
  for (int i : {3, 4, 5}) EXPECT_EQ(0.0f, vertices[i].normal.y) << i;
  EXPECT_EQ(2.0f, vertices[4].position.y);
  EXPECT_EQ(1.0f, vertices[0].normal.y);
}

TEST_F(MeshLoaderTest, FailedTextureLeavesTheMeshWithoutMaterials) {
  WriteFile("good.bmp", SmallBmp());
  Load("newmtl A\nmap_Kd good.bmp\nnewmtl B\nmap_Kd missing.bmp\n",
       "mtllib lib.mtl\nv 1 2 3\nusemtl A\nf 1/1/1 1/1/1 1/1/1\n");
  EXPECT_EQ(nullptr, mesh.materials);
  EXPECT_EQ(0u, mesh.materialCount);
  EXPECT_EQ(1u, mesh.faceCount);
  EXPECT_NE(nullptr, mesh.vertexBuffer);  // the face slot exists, unfilled
}

TEST_F(MeshLoaderTest, SecondLibraryReplacesTheFirst) {
  WriteFile("other.mtl", "newmtl C\n");
  Load(kTwoPlainMaterials, "mtllib lib.mtl\nmtllib other.mtl\nv 1 0 0\nusemtl C\nf 1//1 1//1 1//1\n");
  ASSERT_EQ(3u, mesh.materialCount);
  EXPECT_STREQ("C", mesh.materials[0].name);
  EXPECT_EQ(1u, mesh.materials[0].faceCount);
  EXPECT_STREQ("", mesh.materials[1].name);
}

TEST_F(MeshLoaderTest, StatementsTheCountingPassDidNotSeeWriteNothingPastTheLists) {
  // "3vt" is one token to the counting pass (one position, no texcoord); the data pass reads 3, then a
  // "vt" statement, which is dropped. "9f" likewise hides a face from the count.
  Load("newmtl A\n", "mtllib lib.mtl\nv 1 2 3vt 0.5 0.5\nvn 0 1 0\nusemtl A\nf 1//1 1//1 1//1 9f 1//1 1//1 1//1\n");
  EXPECT_EQ(1u, mesh.positionCount);
  EXPECT_EQ(1u, mesh.faceCount);
  EXPECT_EQ(1u, mesh.materials[0].faceCount);
  EXPECT_EQ(96u, BufferByteWidth(mesh.vertexBuffer));
}

TEST_F(MeshLoaderTest, CountsAddToWhatTheMeshHolds) {
  Load("newmtl A\n", "mtllib lib.mtl\nv 1 0 0\nusemtl A\nf 1//1 1//1 1//1\n");
  EXPECT_EQ(S_OK, LoadMesh(app, "model.obj", mesh));
  EXPECT_EQ(2u, mesh.positionCount);
  EXPECT_EQ(2u, mesh.faceCount);
  EXPECT_EQ(2u, mesh.materialCount);
  EXPECT_EQ(96u * 2, BufferByteWidth(mesh.vertexBuffer));
}

// A model another program shortens while it loads (a download still being written, a file replaced): the
// loader reads what the file held and the mesh is sound, whenever the cut falls.
TEST_F(MeshLoaderTest, AModelTruncatedWhileItLoadsGivesASoundMesh) {
  const int kFaces = 200000;
  std::string model = std::string("mtllib lib.mtl\n") + kLists + "usemtl A\n";
  for (int i = 0; i < kFaces; ++i) model += i % 2 ? "f 1//1 2//2 3//1\n" : "f 4//2 3//1 2//2\n";
  const size_t kCuts[] = {model.size() / 2, 100, 0, model.size() - 7, model.size() / 3, 5000};
  for (int round = 0; round < 6; ++round) {
    Load("newmtl A\nnewmtl B\n", model);  // whole: every face placed
    ASSERT_EQ(static_cast<UINT>(kFaces), mesh.materials[0].faceCount);
    ReleaseMesh(mesh);
    mesh = Mesh();
    std::thread cutter([&] {
      std::this_thread::sleep_for(std::chrono::microseconds(500 * round * round));
      std::filesystem::resize_file("model.obj", kCuts[round]);
    });
    EXPECT_EQ(S_OK, LoadMesh(app, "model.obj", mesh));
    cutter.join();
    ASSERT_LE(mesh.faceCount, static_cast<UINT>(kFaces));
    if (mesh.faceCount == 0) continue;  // cut before anything was read
    ASSERT_EQ(2u, mesh.materialCount);
    ASSERT_NE(nullptr, mesh.vertexBuffer);
    EXPECT_EQ(96u * mesh.faceCount, BufferByteWidth(mesh.vertexBuffer));
    EXPECT_EQ(mesh.faceCount, mesh.materials[0].faceCount);
    EXPECT_EQ(12u * mesh.faceCount, BufferByteWidth(mesh.indexBuffers[0]));
    std::vector<Vertex> vertices = ReadVertices(app, mesh);
    for (const Vertex& v : vertices) {  // the listed positions, or zero where a cut face has none
      ASSERT_TRUE(v.position.x == 0.0f || (v.position.x <= -1.0f && v.position.x >= -4.0f)) << v.position.x;
    }
  }
}

}  // namespace
