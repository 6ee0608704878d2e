// A windowed device and swap chain on a real window (needs a display; skipped without one): the back
// buffer, presenting, and a headless device living alongside the windowed one.
#include "d3d11_test.h"

namespace d3d11_test {
namespace {

class SwapChainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = CreateTestWindow(L"SwapChainTestWindow", 320, 240);
    if (!window) GTEST_SKIP() << "no display to open a window on";
    ShowWindow(window, SW_SHOW);
  }
  void TearDown() override {
    swapChain.Reset();
    context.Reset();
    device.Reset();
    if (window) DestroyWindow(window);
  }

  HRESULT Create(UINT width, UINT height) {
    const DXGI_SWAP_CHAIN_DESC desc = WindowedSwapChainDesc(window, width, height);
    const D3D_FEATURE_LEVEL level = D3D_FEATURE_LEVEL_11_0;
    return D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, &level, 1, D3D11_SDK_VERSION,
                                         &desc, swapChain.put(), device.put(), nullptr, context.put());
  }

  Com<ID3D11Texture2D> BackBuffer() {
    Com<ID3D11Texture2D> buffer;
    EXPECT_EQ(swapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), reinterpret_cast<void**>(buffer.put())), S_OK);
    return buffer;
  }

  HWND window = nullptr;
  Com<IDXGISwapChain> swapChain;
  Com<ID3D11Device> device;
  Com<ID3D11DeviceContext> context;
};

TEST_F(SwapChainTest, BackBufferHasTheDescribedSizeAndPresents) {
  ASSERT_EQ(Create(640, 480), S_OK);
  Com<ID3D11Texture2D> buffer = BackBuffer();
  ASSERT_TRUE(buffer);
  D3D11_TEXTURE2D_DESC desc;
  buffer->GetDesc(&desc);
  EXPECT_EQ(desc.Width, 640u);
  EXPECT_EQ(desc.Height, 480u);
  EXPECT_EQ(desc.Format, DXGI_FORMAT_R8G8B8A8_UNORM);
  EXPECT_TRUE(desc.BindFlags & D3D11_BIND_RENDER_TARGET);
  Com<ID3D11RenderTargetView> view;
  ASSERT_EQ(device->CreateRenderTargetView(buffer.get(), nullptr, view.put()), S_OK);
  const float blue[4] = {0, 0, 1, 1};
  context->ClearRenderTargetView(view.get(), blue);
  EXPECT_EQ(swapChain->Present(0, 0), S_OK);
  EXPECT_EQ(swapChain->Present(1, 0), S_OK);
  EXPECT_EQ(swapChain->Present(5, 0), DXGI_ERROR_INVALID_CALL);
}

TEST_F(SwapChainTest, ZeroSizeTakesTheClientArea) {
  ASSERT_EQ(Create(0, 0), S_OK);
  Com<ID3D11Texture2D> buffer = BackBuffer();
  ASSERT_TRUE(buffer);
  D3D11_TEXTURE2D_DESC desc;
  buffer->GetDesc(&desc);
  RECT client = {};
  GetClientRect(window, &client);
  EXPECT_EQ(LONG(desc.Width), client.right - client.left);
  EXPECT_EQ(LONG(desc.Height), client.bottom - client.top);
}

TEST_F(SwapChainTest, GetBufferAnswersForTheBackBufferOnly) {
  ASSERT_EQ(Create(64, 64), S_OK);
  Com<ID3D11Resource> resource;
  EXPECT_EQ(swapChain->GetBuffer(0, __uuidof(ID3D11Resource), reinterpret_cast<void**>(resource.put())), S_OK);
  EXPECT_TRUE(resource);
  void* surface = &surface;
  EXPECT_EQ(swapChain->GetBuffer(0, __uuidof(ID3D11Buffer), &surface), E_NOINTERFACE);
  EXPECT_EQ(surface, nullptr);
}

TEST_F(SwapChainTest, NoWindowIsAnInvalidCall) {
  DestroyWindow(window);
  window = nullptr;
  EXPECT_EQ(Create(64, 64), DXGI_ERROR_INVALID_CALL);
  EXPECT_FALSE(swapChain);
  EXPECT_FALSE(device);
}

TEST_F(SwapChainTest, HeadlessAndWindowedDevicesWorkSideBySide) {
  Com<ID3D11Device> headless;
  Com<ID3D11DeviceContext> headlessContext;
  ASSERT_EQ(CreateHeadlessDevice(headless.put(), headlessContext.put()), S_OK);
  ASSERT_EQ(Create(64, 64), S_OK);
  const float colors[2][4] = {{1, 0, 0, 1}, {0, 1, 0, 1}};
  ID3D11Device* devices[2] = {headless.get(), device.get()};
  ID3D11DeviceContext* contexts[2] = {headlessContext.get(), context.get()};
  Com<ID3D11Texture2D> targets[2];
  Com<ID3D11RenderTargetView> views[2];
  D3D11_TEXTURE2D_DESC desc = {64, 64, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D11_USAGE_DEFAULT,
                               D3D11_BIND_RENDER_TARGET, 0, 0};
  ASSERT_EQ(headless->CreateTexture2D(&desc, nullptr, targets[0].put()), S_OK);
  targets[1] = BackBuffer();
  // Read back before each Present: DXGI_SWAP_EFFECT_DISCARD leaves the back buffer undefined after it.
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 2; ++i) {
      if (!views[i]) {
        ASSERT_EQ(devices[i]->CreateRenderTargetView(targets[i].get(), nullptr, views[i].put()), S_OK);
      }
      contexts[i]->ClearRenderTargetView(views[i].get(), colors[i]);
    }
    for (int i = 0; i < 2; ++i) {
      const std::vector<uint8_t> pixels = ReadTexture(devices[i], contexts[i], targets[i].get());
      ASSERT_FALSE(pixels.empty());
      EXPECT_EQ(pixels[(5 * 64 + 5) * 4 + 0], i == 0 ? 255 : 0) << "device " << i << ", round " << round;
      EXPECT_EQ(pixels[(5 * 64 + 5) * 4 + 1], i == 1 ? 255 : 0) << "device " << i << ", round " << round;
    }
    EXPECT_EQ(swapChain->Present(0, 0), S_OK);
  }
}

TEST_F(SwapChainTest, ObjectsOutlivingTheWindowAreReleasedSafely) {
  ASSERT_EQ(Create(64, 64), S_OK);
  Com<ID3D11Texture2D> buffer = BackBuffer();
  Com<ID3D11RenderTargetView> view;
  ASSERT_EQ(device->CreateRenderTargetView(buffer.get(), nullptr, view.put()), S_OK);
  DestroyWindow(window);
  window = nullptr;
  // Presenting to a window that is gone: Direct3D does not say what it answers, only that it answers
  // with one of Present's results.
  const HRESULT hr = swapChain->Present(0, 0);
  EXPECT_TRUE(hr == S_OK || hr == DXGI_ERROR_INVALID_CALL || hr == DXGI_ERROR_DEVICE_REMOVED ||
              hr == DXGI_STATUS_OCCLUDED)
      << std::hex << hr;
  view.Reset();
  buffer.Reset();
}

}  // namespace
}  // namespace d3d11_test
