// Material arrays: zero-filled on creation, destroyed last to first, each record releasing its texture.
#include <gtest/gtest.h>

#include <vector>

#include "fake_objects.h"
#include "model/Mesh.h"

namespace {

TEST(MaterialArrayTest, CreatesZeroFilledRecords) {
  Material* materials = CreateMaterialArray(4);
  ASSERT_NE(materials, nullptr);
  for (int i = 0; i < 4; ++i) {
    EXPECT_STREQ(materials[i].name, "");
    EXPECT_STREQ(materials[i].textureFile, "");
    const FLOAT* colours = materials[i].ambient;  // ambient, diffuse and specular lie back to back
    EXPECT_EQ(std::vector<float>(colours, colours + 12), std::vector<float>(12, 0.0f));
    EXPECT_EQ(materials[i].textureView, nullptr);
    EXPECT_EQ(materials[i].faceCount, 0u);
  }
  DestroyMaterialArray(materials);

  Material* empty = CreateMaterialArray(0);  // a library without "newmtl"
  EXPECT_NE(empty, nullptr);
  DestroyMaterialArray(empty);
  DestroyMaterialArray(nullptr);
}

TEST(MaterialArrayTest, DestroysLastToFirstReleasingEachTexture) {
  g_releaseLog.clear();
  FakeView views[] = {FakeView(0), FakeView(1), FakeView(3)};
  Material* materials = CreateMaterialArray(4);
  ASSERT_NE(materials, nullptr);
  materials[0].textureView = &views[0];
  materials[1].textureView = &views[1];
  materials[3].textureView = &views[2];  // material 2 has no texture

  DestroyMaterialArray(materials);

  EXPECT_EQ(g_releaseLog, (std::vector<int>{3, 1, 0}));
  for (const FakeView& view : views) EXPECT_EQ(view.references(), 0u);
}

}  // namespace
