// Device creation where the driver offers no OpenGL 4.5 (this program runs with
// MESA_GL_VERSION_OVERRIDE=3.3): the Direct3D equivalent of hardware below feature level 11_0. Creation
// fails with an HRESULT and hands out nothing.
#include <windows.h>

#include "d3d11_test.h"

namespace d3d11_test {
namespace {

TEST(DeviceWithoutOpenGL45, HeadlessCreationFailsCleanly) {
  ID3D11Device* device = reinterpret_cast<ID3D11Device*>(&device);
  ID3D11DeviceContext* context = reinterpret_cast<ID3D11DeviceContext*>(&context);
  const HRESULT hr = CreateHeadlessDevice(&device, &context);
  EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
  EXPECT_EQ(device, nullptr);
  EXPECT_EQ(context, nullptr);
  // And again: nothing left behind stands in the way of a second attempt.
  EXPECT_TRUE(FAILED(CreateHeadlessDevice(&device, &context)));
}

TEST(DeviceWithoutOpenGL45, WindowedCreationFailsCleanly) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"NoGl45Window";
  RegisterClassExW(&windowClass);
  HWND window = CreateWindowExW(0, L"NoGl45Window", L"no GL 4.5", WS_OVERLAPPEDWINDOW, 0, 0, 160, 120, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!window) GTEST_SKIP() << "no display to open a window on";
  DXGI_SWAP_CHAIN_DESC desc = {};
  desc.BufferDesc = {160, 120, {60, 1}, DXGI_FORMAT_R8G8B8A8_UNORM, DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED,
                     DXGI_MODE_SCALING_UNSPECIFIED};
  desc.SampleDesc = {1, 0};
  desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
  desc.BufferCount = 1;
  desc.OutputWindow = window;
  desc.Windowed = TRUE;
  const D3D_FEATURE_LEVEL level = D3D_FEATURE_LEVEL_11_0;
  IDXGISwapChain* swapChain = reinterpret_cast<IDXGISwapChain*>(&desc);
  ID3D11Device* device = reinterpret_cast<ID3D11Device*>(&desc);
  ID3D11DeviceContext* context = reinterpret_cast<ID3D11DeviceContext*>(&desc);
  const HRESULT hr = D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, &level, 1,
                                                   D3D11_SDK_VERSION, &desc, &swapChain, &device, nullptr, &context);
  EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
  EXPECT_EQ(swapChain, nullptr);
  EXPECT_EQ(device, nullptr);
  EXPECT_EQ(context, nullptr);
  DestroyWindow(window);
}

}  // namespace
}  // namespace d3d11_test
