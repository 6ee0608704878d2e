// A window opened while a headless device is current, then a windowed device on it: the order a test
// program takes when it renders offscreen first. Its own program, so no earlier window has loaded OpenGL.
#include "d3d11_test.h"

namespace d3d11_test {
namespace {

TEST(WindowAfterHeadlessDevice, BothDevicesRenderAndPresent) {
  Com<ID3D11Device> headless;
  Com<ID3D11DeviceContext> headlessContext;
  ASSERT_EQ(CreateHeadlessDevice(headless.put(), headlessContext.put()), S_OK);
  D3D11_TEXTURE2D_DESC desc = {8, 8, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D11_USAGE_DEFAULT,
                               D3D11_BIND_RENDER_TARGET, 0, 0};
  Com<ID3D11Texture2D> target;
  Com<ID3D11RenderTargetView> targetView;
  ASSERT_EQ(headless->CreateTexture2D(&desc, nullptr, target.put()), S_OK);
  ASSERT_EQ(headless->CreateRenderTargetView(target.get(), nullptr, targetView.put()), S_OK);
  const float red[4] = {1, 0, 0, 1};
  headlessContext->ClearRenderTargetView(targetView.get(), red);

  HWND window = CreateTestWindow(L"AfterHeadlessWindow", 160, 120);
  if (!window) GTEST_SKIP() << "no display to open a window on";
  const DXGI_SWAP_CHAIN_DESC chainDesc = WindowedSwapChainDesc(window, 160, 120);
  const D3D_FEATURE_LEVEL level = D3D_FEATURE_LEVEL_11_0;
  Com<IDXGISwapChain> swapChain;
  Com<ID3D11Device> device;
  Com<ID3D11DeviceContext> context;
  ASSERT_EQ(D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, &level, 1, D3D11_SDK_VERSION,
                                          &chainDesc, swapChain.put(), device.put(), nullptr, context.put()),
            S_OK);
  Com<ID3D11Texture2D> backBuffer;
  ASSERT_EQ(swapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), reinterpret_cast<void**>(backBuffer.put())), S_OK);
  Com<ID3D11RenderTargetView> backView;
  ASSERT_EQ(device->CreateRenderTargetView(backBuffer.get(), nullptr, backView.put()), S_OK);
  const float green[4] = {0, 1, 0, 1};
  context->ClearRenderTargetView(backView.get(), green);
  EXPECT_EQ(swapChain->Present(0, 0), S_OK);

  // The headless device still reads back its own target.
  const std::vector<uint8_t> pixels = ReadTexture(headless.get(), headlessContext.get(), target.get());
  ASSERT_FALSE(pixels.empty());
  EXPECT_EQ(pixels[0], 255);
  EXPECT_EQ(pixels[1], 0);

  swapChain.Reset();
  context.Reset();
  device.Reset();
  DestroyWindow(window);
}

}  // namespace
}  // namespace d3d11_test
