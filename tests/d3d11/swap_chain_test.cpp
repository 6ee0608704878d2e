// A windowed device and swap chain on a real window (needs a display; skipped without one): the back
// buffer, presenting, and a headless device living alongside the windowed one.
#include <windows.h>

#include "d3d11_test.h"

namespace d3d11_test {
namespace {

class SwapChainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"SwapChainTestWindow";
    RegisterClassExW(&windowClass);
    window = CreateWindowExW(0, L"SwapChainTestWindow", L"swap chain", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
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
    DXGI_SWAP_CHAIN_DESC desc = {};
    desc.BufferDesc = {width, height, {60, 1}, DXGI_FORMAT_R8G8B8A8_UNORM, DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED,
                       DXGI_MODE_SCALING_UNSPECIFIED};
    desc.SampleDesc = {1, 0};
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = 1;
    desc.OutputWindow = window;
    desc.Windowed = TRUE;
    desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
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
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 2; ++i) {
      if (!views[i]) {
        ASSERT_EQ(devices[i]->CreateRenderTargetView(targets[i].get(), nullptr, views[i].put()), S_OK);
      }
      contexts[i]->ClearRenderTargetView(views[i].get(), colors[i]);
    }
    EXPECT_EQ(swapChain->Present(0, 0), S_OK);
  }
  for (int i = 0; i < 2; ++i) {
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    Com<ID3D11Texture2D> staging;
    ASSERT_EQ(devices[i]->CreateTexture2D(&desc, nullptr, staging.put()), S_OK);
    contexts[i]->CopyResource(staging.get(), targets[i].get());
    D3D11_MAPPED_SUBRESOURCE mapped;
    ASSERT_EQ(contexts[i]->Map(staging.get(), 0, D3D11_MAP_READ, 0, &mapped), S_OK);
    const auto* pixel = static_cast<const uint8_t*>(mapped.pData) + 5 * mapped.RowPitch + 5 * 4;
    EXPECT_EQ(pixel[0], i == 0 ? 255 : 0) << "device " << i;
    EXPECT_EQ(pixel[1], i == 1 ? 255 : 0) << "device " << i;
    contexts[i]->Unmap(staging.get(), 0);
  }
}

TEST_F(SwapChainTest, ObjectsOutlivingTheWindowAreReleasedSafely) {
  ASSERT_EQ(Create(64, 64), S_OK);
  Com<ID3D11Texture2D> buffer = BackBuffer();
  Com<ID3D11RenderTargetView> view;
  ASSERT_EQ(device->CreateRenderTargetView(buffer.get(), nullptr, view.put()), S_OK);
  DestroyWindow(window);
  window = nullptr;
  EXPECT_NE(swapChain->Present(0, 0), S_OK);
  view.Reset();
  buffer.Reset();
}

}  // namespace
}  // namespace d3d11_test
