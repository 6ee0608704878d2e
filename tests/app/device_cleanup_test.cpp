// Cleanup on a record holding real device objects: once it has run, the test's own extra reference is the
// last one on every object, so nothing the record held outlives the run.
#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "app/Application.h"

namespace {

class DeviceCleanupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_app = new (std::nothrow) Application();
    ASSERT_NE(g_app, nullptr);
    ASSERT_TRUE(SUCCEEDED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0,
                                            D3D11_SDK_VERSION, &g_app->device, nullptr, &g_app->context)));
  }
  void TearDown() override {
    delete g_app;
    g_app = nullptr;
  }

  ID3D11Buffer* CreateBuffer(UINT byteWidth, UINT bindFlags) {
    D3D11_BUFFER_DESC desc{};
    desc.ByteWidth = byteWidth;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = bindFlags;
    ID3D11Buffer* buffer = nullptr;
    EXPECT_TRUE(SUCCEEDED(g_app->device->CreateBuffer(&desc, nullptr, &buffer)));
    return buffer;
  }

  ID3D11Texture2D* CreateTexture(DXGI_FORMAT format, UINT bindFlags) {
    D3D11_TEXTURE2D_DESC desc{};
    desc.Width = 4;
    desc.Height = 4;
    desc.MipLevels = 1;
    desc.ArraySize = 1;
    desc.Format = format;
    desc.SampleDesc.Count = 1;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = bindFlags;
    ID3D11Texture2D* texture = nullptr;
    EXPECT_TRUE(SUCCEEDED(g_app->device->CreateTexture2D(&desc, nullptr, &texture)));
    return texture;
  }

  // Fills every device-object field the shell's Cleanup knows of, except the swap chain and the shaders.
  void FillRecord() {
    ID3D11Device* device = g_app->device;
    g_app->frameConstantBuffer = CreateBuffer(80, D3D11_BIND_CONSTANT_BUFFER);
    g_app->objectConstantBuffer = CreateBuffer(192, D3D11_BIND_CONSTANT_BUFFER);
    g_app->materialConstantBuffer = CreateBuffer(48, D3D11_BIND_CONSTANT_BUFFER);

    ID3D11Texture2D* colour = CreateTexture(DXGI_FORMAT_R8G8B8A8_UNORM,
                                            D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET);
    ASSERT_NE(colour, nullptr);
    EXPECT_TRUE(SUCCEEDED(device->CreateShaderResourceView(colour, nullptr, &g_app->sharedTexture)));
    EXPECT_TRUE(SUCCEEDED(device->CreateRenderTargetView(colour, nullptr, &g_app->renderTargetView)));
    colour->Release();  // the views keep it
    g_app->depthStencilTexture = CreateTexture(DXGI_FORMAT_D32_FLOAT, D3D11_BIND_DEPTH_STENCIL);
    ASSERT_NE(g_app->depthStencilTexture, nullptr);
    EXPECT_TRUE(SUCCEEDED(
        device->CreateDepthStencilView(g_app->depthStencilTexture, nullptr, &g_app->depthStencilView)));

    D3D11_RASTERIZER_DESC rasterizer{};
    rasterizer.FillMode = D3D11_FILL_SOLID;
    rasterizer.CullMode = D3D11_CULL_BACK;
    EXPECT_TRUE(SUCCEEDED(device->CreateRasterizerState(&rasterizer, &g_app->rasterizerState)));
    D3D11_SAMPLER_DESC sampler{};
    sampler.Filter = D3D11_FILTER_MIN_MAG_MIP_LINEAR;
    sampler.AddressU = sampler.AddressV = sampler.AddressW = D3D11_TEXTURE_ADDRESS_WRAP;
    sampler.MaxLOD = D3D11_FLOAT32_MAX;
    EXPECT_TRUE(SUCCEEDED(device->CreateSamplerState(&sampler, &g_app->samplerState)));

    for (Mesh* mesh : {&g_app->sceneMesh, &g_app->skyMesh}) {
      mesh->vertexBuffer = CreateBuffer(96, D3D11_BIND_VERTEX_BUFFER);
      mesh->materialCount = 2;
      mesh->materials = CreateMaterialArray(2);
      mesh->indexBuffers = new (std::nothrow) ID3D11Buffer*[2]{CreateBuffer(12, D3D11_BIND_INDEX_BUFFER), nullptr};
    }
  }
};

TEST_F(DeviceCleanupTest, LeavesNoObjectOfTheRecordAlive) {
  FillRecord();
  // Views before the resources they hold.
  std::vector<IUnknown*> objects = {g_app->sharedTexture,
                                    g_app->renderTargetView,
                                    g_app->depthStencilView,
                                    g_app->depthStencilTexture,
                                    g_app->frameConstantBuffer,
                                    g_app->objectConstantBuffer,
                                    g_app->materialConstantBuffer,
                                    g_app->rasterizerState,
                                    g_app->samplerState,
                                    g_app->sceneMesh.vertexBuffer,
                                    g_app->sceneMesh.indexBuffers[0],
                                    g_app->skyMesh.vertexBuffer,
                                    g_app->skyMesh.indexBuffers[0]};
  ID3D11DeviceContext* context = g_app->context;
  ID3D11Device* device = g_app->device;
  for (IUnknown* object : objects) {
    ASSERT_NE(object, nullptr);
    object->AddRef();
  }
  context->AddRef();
  device->AddRef();

  Cleanup();

  EXPECT_EQ(g_app->device, nullptr);
  EXPECT_EQ(g_app->context, nullptr);
  EXPECT_EQ(g_app->sceneMesh.indexBuffers, nullptr);
  for (size_t i = 0; i < objects.size(); ++i) EXPECT_EQ(objects[i]->Release(), 0u) << "object " << i;
  // The immediate context counts its references with the device's, so the device's release is the last.
  context->Release();
  EXPECT_EQ(device->Release(), 0u);
}

}  // namespace
