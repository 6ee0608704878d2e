// A window opened while a headless device is current, then a windowed device on it: the order a test
// program takes when it renders offscreen first. Its own program, so no earlier window has loaded OpenGL.
#include <windows.h>

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

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"AfterHeadlessWindow";
  RegisterClassExW(&windowClass);
  HWND window = CreateWindowExW(0, L"AfterHeadlessWindow", L"after headless", WS_OVERLAPPEDWINDOW, 0, 0, 160, 120,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!window) GTEST_SKIP() << "no display to open a window on";
  DXGI_SWAP_CHAIN_DESC chainDesc = {};
  chainDesc.BufferDesc = {160, 120, {60, 1}, DXGI_FORMAT_R8G8B8A8_UNORM, DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED,
                          DXGI_MODE_SCALING_UNSPECIFIED};
  chainDesc.SampleDesc = {1, 0};
  chainDesc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
  chainDesc.BufferCount = 1;
  chainDesc.OutputWindow = window;
  chainDesc.Windowed = TRUE;
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
  desc.Usage = D3D11_USAGE_STAGING;
  desc.BindFlags = 0;
  desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  Com<ID3D11Texture2D> staging;
  ASSERT_EQ(headless->CreateTexture2D(&desc, nullptr, staging.put()), S_OK);
  headlessContext->CopyResource(staging.get(), target.get());
  D3D11_MAPPED_SUBRESOURCE mapped;
  ASSERT_EQ(headlessContext->Map(staging.get(), 0, D3D11_MAP_READ, 0, &mapped), S_OK);
  EXPECT_EQ(static_cast<const uint8_t*>(mapped.pData)[0], 255);
  EXPECT_EQ(static_cast<const uint8_t*>(mapped.pData)[1], 0);
  headlessContext->Unmap(staging.get(), 0);

  swapChain.Reset();
  context.Reset();
  device.Reset();
  DestroyWindow(window);
}

}  // namespace
}  // namespace d3d11_test
