// LoadMaterialLibrary on a device: names, colours and textures, the stream-of-tokens reading, and the
// decisions for files and statements its description leaves open.
#include <gtest/gtest.h>

#include <string>

#include "TestDevice.h"
#include "model/MaterialLibrary.h"

namespace {

class MaterialLibraryTest : public DeviceTest {
 protected:
  HRESULT Load(const std::string& library) {
    WriteFile("lib.mtl", library);
    return LoadMaterialLibrary(app, mesh, "lib.mtl", &mesh.materials);
  }
};

void ExpectColour(const D3DXVECTOR4& colour, float r, float g, float b, float a) {
  EXPECT_EQ(r, colour.x);
  EXPECT_EQ(g, colour.y);
  EXPECT_EQ(b, colour.z);
  EXPECT_EQ(a, colour.w);
}

TEST_F(MaterialLibraryTest, ColoursAndNames) {
  ASSERT_EQ(S_OK, Load("newmtl red\nKd 1 0 0\n"));
  ASSERT_EQ(1u, mesh.materialCount);
  EXPECT_STREQ("red", mesh.materials[0].name);
  ExpectColour(mesh.materials[0].diffuse, 1, 0, 0, 1);
  ExpectColour(mesh.materials[0].ambient, 0, 0, 0, 0);
  ExpectColour(mesh.materials[0].specular, 0, 0, 0, 0);
  EXPECT_EQ(nullptr, mesh.materials[0].textureView);
}

TEST_F(MaterialLibraryTest, ShortColourKeepsTheSharedComponentAndTheNextKeywordStillCounts) {
  ASSERT_EQ(S_OK, Load("newmtl a\nKd 0.1 0.2 0.3\nKa 0.5 0.6\nnewmtl b\nKs 1 1 1"));
  ASSERT_EQ(2u, mesh.materialCount);
  ExpectColour(mesh.materials[0].ambient, 0.5f, 0.6f, 0.3f, 1);
  EXPECT_STREQ("b", mesh.materials[1].name);
  ExpectColour(mesh.materials[1].specular, 1, 1, 1, 1);
}

TEST_F(MaterialLibraryTest, TexturesOnlyWhereNamed) {
  WriteFile("wall.bmp", SmallBmp());
  ASSERT_EQ(S_OK, Load("newmtl plain\nKd 1 1 1\nnewmtl textured\nmap_Kd wall.bmp\n"));
  ASSERT_EQ(2u, mesh.materialCount);
  EXPECT_EQ(nullptr, mesh.materials[0].textureView);
  EXPECT_STREQ("", mesh.materials[0].textureFile);
  EXPECT_NE(nullptr, mesh.materials[1].textureView);
  EXPECT_STREQ("wall.bmp", mesh.materials[1].textureFile);
}

TEST_F(MaterialLibraryTest, MaterialsNamingTheSameFileShareOneTexture) {
  WriteFile("wall.bmp", SmallBmp());
  WriteFile("floor.bmp", SmallBmp());
  ASSERT_EQ(S_OK, Load("newmtl a\nmap_Kd wall.bmp\nnewmtl b\nmap_Kd floor.bmp\nnewmtl c\nmap_Kd wall.bmp\n"
                       "newmtl d\nKd 1 1 1\nnewmtl e\nmap_Kd wall.bmp\n"));
  ASSERT_EQ(5u, mesh.materialCount);
  ID3D11ShaderResourceView* wall = mesh.materials[0].textureView;
  ID3D11ShaderResourceView* floor = mesh.materials[1].textureView;
  ASSERT_NE(nullptr, wall);
  ASSERT_NE(nullptr, floor);
  EXPECT_NE(wall, floor);
  EXPECT_EQ(wall, mesh.materials[2].textureView);
  EXPECT_EQ(nullptr, mesh.materials[3].textureView);
  EXPECT_EQ(wall, mesh.materials[4].textureView);
  // One reference for each material that holds the view, and none left over from the loading.
  EXPECT_EQ(4u, wall->AddRef());
  EXPECT_EQ(3u, wall->Release());
  EXPECT_EQ(2u, floor->AddRef());
  EXPECT_EQ(1u, floor->Release());
}

TEST_F(MaterialLibraryTest, AMaterialNamedTwiceKeepsTheLaterTextureWhileOthersShareTheEarlier) {
  WriteFile("wall.bmp", SmallBmp());
  WriteFile("floor.bmp", SmallBmp());
  // a lets go of the wall texture before b names its file again: b still gets the one the library made.
  ASSERT_EQ(S_OK, Load("newmtl a\nmap_Kd wall.bmp\nmap_Kd floor.bmp\nnewmtl b\nmap_Kd wall.bmp\n"
                       "newmtl c\nmap_Kd floor.bmp\nmap_Kd floor.bmp\n"));
  ASSERT_EQ(3u, mesh.materialCount);
  ID3D11ShaderResourceView* floor = mesh.materials[0].textureView;
  ID3D11ShaderResourceView* wall = mesh.materials[1].textureView;
  ASSERT_NE(nullptr, floor);
  ASSERT_NE(nullptr, wall);
  EXPECT_NE(wall, floor);
  EXPECT_EQ(floor, mesh.materials[2].textureView);
  EXPECT_STREQ("floor.bmp", mesh.materials[0].textureFile);
  EXPECT_EQ(2u, wall->AddRef());
  EXPECT_EQ(1u, wall->Release());
  EXPECT_EQ(3u, floor->AddRef());
  EXPECT_EQ(2u, floor->Release());
}

TEST_F(MaterialLibraryTest, TokensNotLines) {
  WriteFile("my", SmallBmp());
  // Keywords are case-sensitive; "map_Kd" takes the next token whatever follows; a material named like a
  // keyword is also that statement; statements may share a line.
  ASSERT_EQ(S_OK, Load("NEWMTL no\nnewmtl Kd 0.5 0.25 1 newmtl x map_Kd my file.bmp Ka 1 2 3"));
  ASSERT_EQ(2u, mesh.materialCount);
  EXPECT_STREQ("Kd", mesh.materials[0].name);
  ExpectColour(mesh.materials[0].diffuse, 0.5f, 0.25f, 1, 1);
  EXPECT_STREQ("x", mesh.materials[1].name);
  EXPECT_STREQ("my", mesh.materials[1].textureFile);
  ExpectColour(mesh.materials[1].ambient, 1, 2, 3, 1);
}

TEST_F(MaterialLibraryTest, CrlfLineEndsReadLikeLf) {
  ASSERT_EQ(S_OK, Load("newmtl a\r\nKd 0.5 0.5 0.5\r\nnewmtl b\r\n"));
  ASSERT_EQ(2u, mesh.materialCount);
  EXPECT_STREQ("a", mesh.materials[0].name);
  EXPECT_STREQ("b", mesh.materials[1].name);
}

TEST_F(MaterialLibraryTest, MissingFileIsAnEmptyLibrary) {
  EXPECT_EQ(S_OK, LoadMaterialLibrary(app, mesh, "no such file.mtl", &mesh.materials));
  EXPECT_EQ(0u, mesh.materialCount);
}

TEST_F(MaterialLibraryTest, StatementsWithoutACurrentMaterialChangeNothing) {
  // Before the first "newmtl", and after a "newmtl" the counting pass could not see (glued to a number).
  ASSERT_EQ(S_OK, Load("Kd 1 1 1\nmap_Kd missing.bmp\nnewmtl a\nKa 0 1 0newmtl b\nKa 1 0 0\nmap_Kd missing.bmp"));
  ASSERT_EQ(1u, mesh.materialCount);
  EXPECT_STREQ("a", mesh.materials[0].name);
  ExpectColour(mesh.materials[0].ambient, 0, 1, 0, 1);
  ExpectColour(mesh.materials[0].diffuse, 0, 0, 0, 0);
}

TEST_F(MaterialLibraryTest, OverLongNamesAreCut) {
  std::string longName(150, 'n');
  ASSERT_EQ(S_OK, Load("newmtl " + longName + "\nKd 1 1 1"));
  ASSERT_EQ(1u, mesh.materialCount);
  EXPECT_EQ(longName.substr(0, 99), mesh.materials[0].name);
  ExpectColour(mesh.materials[0].diffuse, 1, 1, 1, 1);
}

TEST_F(MaterialLibraryTest, FailedTextureFailsTheLibraryAndKeepsTheArrayBefore) {
  WriteFile("good.bmp", SmallBmp());
  ASSERT_EQ(S_OK, Load("newmtl first\nmap_Kd good.bmp\n"));
  Material* before = mesh.materials;
  // The new array, with the texture made before the failure, is destroyed; the count stays raised.
  WriteFile("bad.mtl", "newmtl a\nmap_Kd good.bmp\nnewmtl b\nmap_Kd missing.bmp\nnewmtl c\n");
  EXPECT_EQ(E_FAIL, LoadMaterialLibrary(app, mesh, "bad.mtl", &mesh.materials));
  EXPECT_EQ(before, mesh.materials);
  EXPECT_EQ(4u, mesh.materialCount);
  EXPECT_STREQ("first", mesh.materials[0].name);
}

TEST_F(MaterialLibraryTest, SecondLibraryReplacesTheFirstAndCountsAddUp) {
  ASSERT_EQ(S_OK, Load("newmtl a\nnewmtl b\n"));
  WriteFile("second.mtl", "newmtl c\n");
  ASSERT_EQ(S_OK, LoadMaterialLibrary(app, mesh, "second.mtl", &mesh.materials));
  ASSERT_EQ(3u, mesh.materialCount);
  EXPECT_STREQ("c", mesh.materials[0].name);
  EXPECT_STREQ("", mesh.materials[1].name);
  EXPECT_STREQ("", mesh.materials[2].name);
}

}  // namespace
