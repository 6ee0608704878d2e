// Device creation where the driver offers no OpenGL 4.5 (ctest runs this program with
// MESA_GL_VERSION_OVERRIDE=3.3): the Direct3D equivalent of hardware below feature level 11_0. Creation
// fails with an HRESULT and hands out nothing. Elsewhere (a Windows machine, a run by hand) the tests skip.
#include <stdlib.h>

#include "d3d11_test.h"

namespace d3d11_test {
namespace {

class DeviceWithoutOpenGL45 : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* version = getenv("MESA_GL_VERSION_OVERRIDE");
    if (!version || atof(version) >= 4.5) GTEST_SKIP() << "the driver is not limited to less than OpenGL 4.5";
  }
};

TEST_F(DeviceWithoutOpenGL45, HeadlessCreationFailsCleanly) {
  ID3D11Device* device = reinterpret_cast<ID3D11Device*>(&device);
  ID3D11DeviceContext* context = reinterpret_cast<ID3D11DeviceContext*>(&context);
  const HRESULT hr = CreateHeadlessDevice(&device, &context);
  EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
  EXPECT_EQ(device, nullptr);
  EXPECT_EQ(context, nullptr);
  // And again: nothing left behind stands in the way of a second attempt.
  EXPECT_TRUE(FAILED(CreateHeadlessDevice(&device, &context)));
}

TEST_F(DeviceWithoutOpenGL45, WindowedCreationFailsCleanly) {
  HWND window = CreateTestWindow(L"NoGl45Window", 160, 120);
  if (!window) GTEST_SKIP() << "no display to open a window on";
  DXGI_SWAP_CHAIN_DESC desc = WindowedSwapChainDesc(window, 160, 120);
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
