// The application record's defaults, Cleanup, and WinMain's path when the window cannot be made.
#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "app/Application.h"
#include "app/Window.h"
#include "fake_objects.h"
#include "stand_ins.h"

namespace {

std::vector<float> Floats(const float* values, int count) { return std::vector<float>(values, values + count); }

bool AllZero(const void* data, size_t size) {
  const BYTE* bytes = static_cast<const BYTE*>(data);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

class LifecycleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_standIns = StandIns();
    g_releaseLog.clear();
    g_app = new (std::nothrow) Application();
    ASSERT_NE(g_app, nullptr);
  }
  void TearDown() override {
    delete g_app;
    g_app = nullptr;
  }
};

TEST_F(LifecycleTest, DefaultsAreZeroButForLightCameraFogAndTextureBias) {
  EXPECT_EQ(Floats(g_app->lightDirection, 4), (std::vector<float>{0.0f, 1.0f, 0.0f, 0.0f}));
  EXPECT_EQ(Floats(g_app->cameraPosition, 3), (std::vector<float>{0.0f, 0.3f, -0.1f}));
  EXPECT_EQ(g_app->fogDensity, 1.0f);

  // Clearing the four defaulted fields must leave nothing but zero bytes.
  Application* app = g_app;
  ZeroMemory((void*)&app->lightDirection, sizeof(app->lightDirection));
  ZeroMemory((void*)&app->cameraPosition, sizeof(app->cameraPosition));
  ZeroMemory(&app->fogDensity, sizeof(app->fogDensity));
  ZeroMemory((void*)&app->textureBias, sizeof(app->textureBias));
  EXPECT_TRUE(AllZero(app, sizeof(Application)));
}

// Row vector times matrix, as the shader applies textureBias to a clip-space position.
std::vector<float> Transform(const D3DXVECTOR4& v, const D3DXMATRIX& m) {
  std::vector<float> result(4);
  for (int c = 0; c < 4; ++c) result[c] = v.x * m(0, c) + v.y * m(1, c) + v.z * m(2, c) + v.w * m(3, c);
  return result;
}

TEST_F(LifecycleTest, TextureBiasMapsClipSpaceToTextureSpaceWithVDown) {
  const D3DXMATRIX& bias = g_app->textureBias;
  EXPECT_EQ(Transform(D3DXVECTOR4(-1.0f, 1.0f, 0.25f, 1.0f), bias), (std::vector<float>{0.0f, 0.0f, 0.25f, 1.0f}));
  EXPECT_EQ(Transform(D3DXVECTOR4(1.0f, -1.0f, 0.5f, 1.0f), bias), (std::vector<float>{1.0f, 1.0f, 0.5f, 1.0f}));
  EXPECT_EQ(Transform(D3DXVECTOR4(0.0f, 0.0f, 1.0f, 1.0f), bias), (std::vector<float>{0.5f, 0.5f, 1.0f, 1.0f}));
  // w carries through, for the perspective divide after the bias.
  EXPECT_EQ(Transform(D3DXVECTOR4(-2.0f, 2.0f, 0.0f, 2.0f), bias), (std::vector<float>{0.0f, 0.0f, 0.0f, 2.0f}));
}

TEST_F(LifecycleTest, CleanupOfAnEmptyRecordChangesNothing) {
  Application fresh;
  Cleanup();
  EXPECT_EQ(memcmp((void*)g_app, (void*)&fresh, sizeof(Application)), 0);
  EXPECT_TRUE(g_releaseLog.empty());
}

TEST_F(LifecycleTest, CleanupReleasesEachObjectOnceInOrderAndClearsTheFields) {
  FakeView sharedTexture(1);
  FakeBuffer frameConstants(2), objectConstants(3), materialConstants(4);
  FakeView sceneViews[] = {FakeView(10), FakeView(11)};
  FakeView skyView(20);
  FakeBuffer sceneVertices(30), sceneIndices(31), skyVertices(40), skyIndices(41);

  g_app->sharedTexture = &sharedTexture;
  g_app->frameConstantBuffer = &frameConstants;
  g_app->objectConstantBuffer = &objectConstants;
  g_app->materialConstantBuffer = &materialConstants;

  Mesh& scene = g_app->sceneMesh;
  scene.materialCount = 3;  // the middle material has no texture and no faces
  scene.materials = CreateMaterialArray(3);
  ASSERT_NE(scene.materials, nullptr);
  scene.materials[0].textureView = &sceneViews[0];
  scene.materials[2].textureView = &sceneViews[1];
  scene.vertexBuffer = &sceneVertices;
  scene.indexBuffers = new (std::nothrow) ID3D11Buffer* [3] { &sceneIndices, nullptr, nullptr };

  Mesh& sky = g_app->skyMesh;
  sky.materialCount = 1;
  sky.materials = CreateMaterialArray(1);
  ASSERT_NE(sky.materials, nullptr);
  sky.materials[0].textureView = &skyView;
  sky.vertexBuffer = &skyVertices;
  sky.indexBuffers = new (std::nothrow) ID3D11Buffer* [1] { &skyIndices };

  Cleanup();

  // The listed objects, then the material arrays (each last to first), then the meshes' buffers.
  EXPECT_EQ(g_releaseLog, (std::vector<int>{1, 2, 3, 4, 11, 10, 20, 30, 31, 40, 41}));
  for (const auto* object : {&frameConstants, &objectConstants, &materialConstants, &sceneVertices, &sceneIndices,
                             &skyVertices, &skyIndices}) {
    EXPECT_EQ(object->references(), 0u);
  }
  EXPECT_EQ(sharedTexture.references(), 0u);
  EXPECT_EQ(g_app->sharedTexture, nullptr);
  EXPECT_EQ(g_app->frameConstantBuffer, nullptr);
  EXPECT_EQ(g_app->objectConstantBuffer, nullptr);
  EXPECT_EQ(g_app->materialConstantBuffer, nullptr);
  for (const Mesh* mesh : {&scene, &sky}) {
    EXPECT_EQ(mesh->materials, nullptr);
    EXPECT_EQ(mesh->vertexBuffer, nullptr);
    EXPECT_EQ(mesh->indexBuffers, nullptr);
  }

  // A second Cleanup finds nothing left to release.
  g_releaseLog.clear();
  Cleanup();
  EXPECT_TRUE(g_releaseLog.empty());
}

TEST_F(LifecycleTest, InitWindowFailsWithoutADisplay) {
  EXPECT_EQ(InitWindow(GetModuleHandleW(nullptr)), E_FAIL);
  EXPECT_EQ(g_app->hWnd, nullptr);
}

TEST(WinMainTest, ReturnsZeroWithoutADisplayAndSkipsDeviceAndLoop) {
  g_standIns = StandIns();
  ExpectWinMainRun(0, 0);
}

}  // namespace
