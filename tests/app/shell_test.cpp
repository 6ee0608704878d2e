// The application shell run through WinMain on the X display: the window, the main loop, the key controls,
// and that the record's device objects are released exactly once whether the device set-up succeeds or
// fails. InitDevice and RenderFrame are the test's own (see CMakeLists.txt): InitDevice fills the record with
// objects of every kind the real one leaves there and gives the result the test chooses; RenderFrame counts
// the frames and acts at a chosen one.
#include <d3dx11.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

#include "app/Application.h"
#include "graphics/Device.h"
#include "graphics/Shaders.h"
#include "model/MeshLoader.h"
#include "render/Render.h"
#include "tests/win32/test_input.h"

namespace {

const wchar_t kWindowText[] = L"ミレルーン　WSAD,QEでカメラ移動 ZXでフォグ濃度";
const WORD kKeys[] = {'W', 'S', 'A', 'D', 'Q', 'E', 'Z', 'X', VK_ESCAPE};

HRESULT g_initResult = S_OK;
std::vector<IUnknown*> g_made;  // the record's objects, each with two references of the test's own
std::function<void(Application&, int)> g_onFrame;
int g_frames = 0;

// Device, swap chain and targets as on the window; the shaders, models and shared texture from the data
// folder through the program's own loaders.
void FillRecord(Application& app) {
  DXGI_SWAP_CHAIN_DESC chain{};
  chain.BufferDesc.Width = 640;
  chain.BufferDesc.Height = 480;
  chain.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  chain.SampleDesc.Count = 1;
  chain.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
  chain.BufferCount = 1;
  chain.OutputWindow = app.hWnd;
  chain.Windowed = TRUE;
  ASSERT_EQ(D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0,
                                          D3D11_SDK_VERSION, &chain, &app.swapChain, &app.device, nullptr,
                                          &app.context),
            S_OK);
  ID3D11Texture2D* texture = nullptr;
  ASSERT_EQ(app.swapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), reinterpret_cast<void**>(&texture)), S_OK);
  app.device->CreateRenderTargetView(texture, nullptr, &app.renderTargetView);
  texture->Release();
  D3D11_TEXTURE2D_DESC depth{};
  depth.Width = 640;
  depth.Height = 480;
  depth.MipLevels = depth.ArraySize = depth.SampleDesc.Count = 1;
  depth.Format = DXGI_FORMAT_D32_FLOAT;
  depth.BindFlags = D3D11_BIND_DEPTH_STENCIL;
  app.device->CreateTexture2D(&depth, nullptr, &app.depthStencilTexture);
  app.device->CreateDepthStencilView(app.depthStencilTexture, nullptr, &app.depthStencilView);
  D3D11_RASTERIZER_DESC rasterizer{};
  rasterizer.FillMode = D3D11_FILL_SOLID;
  rasterizer.CullMode = D3D11_CULL_NONE;
  app.device->CreateRasterizerState(&rasterizer, &app.rasterizerState);
  D3D11_SAMPLER_DESC sampler{};
  sampler.Filter = D3D11_FILTER_MIN_MAG_MIP_LINEAR;
  sampler.AddressU = sampler.AddressV = sampler.AddressW = D3D11_TEXTURE_ADDRESS_WRAP;
  app.device->CreateSamplerState(&sampler, &app.samplerState);
  ASSERT_EQ(InitShaders(app), S_OK);
  ASSERT_EQ(LoadMesh(app, "test.obj", app.sceneMesh), S_OK);
  ASSERT_EQ(LoadMesh(app, "Sky_Sphere_R10.obj", app.skyMesh), S_OK);
  ASSERT_EQ(D3DX11CreateShaderResourceViewFromFileA(app.device, "t3.bmp", nullptr, nullptr, &app.sharedTexture,
                                                    nullptr),
            S_OK);

  std::vector<IUnknown*> made = {app.swapChain,          app.renderTargetView,  app.depthStencilView,
                                 app.depthStencilTexture, app.rasterizerState,   app.samplerState,
                                 app.inputLayout,         app.vertexShader,      app.pixelShader,
                                 app.frameConstantBuffer, app.objectConstantBuffer, app.materialConstantBuffer,
                                 app.sharedTexture};
  for (IUnknown* object : made) ASSERT_NE(object, nullptr);
  for (Mesh* mesh : {&app.sceneMesh, &app.skyMesh}) {
    made.push_back(mesh->vertexBuffer);
    for (UINT i = 0; i < mesh->materialCount; ++i) {
      made.push_back(mesh->indexBuffers[i]);
      made.push_back(mesh->materials[i].textureView);
    }
  }
  made.push_back(app.device);  // last: the swap chain holds it too; the immediate context's count is its
  for (IUnknown* object : made) {
    if (object == nullptr) continue;
    object->AddRef();
    object->AddRef();
    g_made.push_back(object);
  }
}

}  // namespace

HRESULT InitDevice() {
  Application fresh;  // what WinMain starts from, and the window InitWindow made
  fresh.hWnd = g_app->hWnd;
  EXPECT_EQ(memcmp(static_cast<void*>(&fresh), g_app, sizeof(Application)), 0);
  FillRecord(*g_app);
  return g_initResult;
}

void RenderFrame(Application& app) {
  ++g_frames;
  g_onFrame(app, g_frames);
}

namespace {

struct Outcome {
  int frames;
  bool windowLeft;  // the window was still there when WinMain returned
  float values[4];  // camera x, y, z and fog density as the last frame found them
};

// Runs WinMain with the device set-up's result and an action at each frame. It must return 0 having freed the
// record, and the test's two references must find each object the record held released exactly once.
Outcome RunWinMain(HRESULT initResult, std::function<void(Application&, int)> onFrame) {
  std::filesystem::current_path(VIEWER_DATA_DIR);
  Outcome run{};
  g_initResult = initResult;
  g_frames = 0;
  g_made.clear();
  g_onFrame = [&](Application& app, int frame) {
    run.values[0] = app.cameraPosition.x;
    run.values[1] = app.cameraPosition.y;
    run.values[2] = app.cameraPosition.z;
    run.values[3] = app.fogDensity;
    onFrame(app, frame);
  };
  char commandLine[] = "";
  EXPECT_EQ(WinMain(GetModuleHandleW(nullptr), nullptr, commandLine, SW_SHOWDEFAULT), 0);
  EXPECT_EQ(g_app, nullptr);
  for (size_t i = 0; i < g_made.size(); ++i) {
    const ULONG left = g_made[i]->Release();
    EXPECT_EQ(left, 1u) << "object " << i;
    if (left == 1u) g_made[i]->Release();
  }
  run.frames = g_frames;
  HWND hWnd = FindWindowW(kWindowText, kWindowText);
  run.windowLeft = hWnd != nullptr;
  for (WORD key : kKeys) SendKey(key, true);
  DrainQueue();  // the key table takes the releases while the window is there
  DestroyWindow(hWnd);
  DrainQueue();
  return run;
}

TEST(ShellTest, EscapeEndsTheLoopAndCleanupReleasesEverythingWhetherTheDeviceSetUpSucceedsOrNot) {
  for (HRESULT initResult : {S_OK, E_FAIL}) {
    const Outcome run = RunWinMain(initResult, [](Application&, int frame) {
      if (frame == 5) SendKey(VK_ESCAPE, false);
    });
    EXPECT_EQ(run.frames, initResult == S_OK ? 5 : 0);  // the Escape pass and the WM_QUIT pass draw nothing
    EXPECT_TRUE(run.windowLeft);                         // left to the end of the process
  }
}

TEST(ShellTest, TheWindowsCloseMessageDestroysItAndEndsTheLoop) {
  const Outcome run = RunWinMain(S_OK, [](Application& app, int frame) {
    if (frame == 3) PostMessageW(app.hWnd, WM_CLOSE, 0, 0);
    if (frame != 1) return;
    EXPECT_TRUE(ShowWindow(app.hWnd, SW_SHOW));                   // it was shown
    EXPECT_EQ(FindWindowW(kWindowText, kWindowText), app.hWnd);  // the title is also the class name
    RECT client{};
    ASSERT_TRUE(GetClientRect(app.hWnd, &client));  // 640 x 480 outside, the frame inside that
    EXPECT_TRUE(client.right > 560 && client.right < 640 && client.bottom > 400 && client.bottom < 480);
  });
  EXPECT_EQ(run.frames, 3);
  EXPECT_FALSE(run.windowLeft);
}

TEST(ShellTest, NoFrameIsDrawnWhileMessagesAreWaiting) {
  const Outcome run = RunWinMain(S_OK, [](Application& app, int frame) {
    if (frame != 1) return;
    for (int i = 0; i < 200; ++i) PostMessageW(app.hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(i, i));
    PostMessageW(app.hWnd, WM_KEYDOWN, VK_ESCAPE, 1);
  });
  EXPECT_EQ(run.frames, 1);
}

// What the loop must give: the float widened to double, the double step added, rounded back, once a frame.
float Stepped(float value, double step, int frames) {
  for (int i = 0; i < frames; ++i) value = static_cast<float>(static_cast<double>(value) + step);
  return value;
}

TEST(ShellTest, EachKeyStepsItsOwnValueOnceAFrameInDoublePrecisionAndOppositeKeysCancel) {
  // W for 1000 frames crosses z = 0, where adding in float would end elsewhere; X for 3334 frames takes the
  // fog density below zero, unclamped.
  float inFloat = -0.1f;
  for (int i = 0; i < 1000; ++i) inFloat += 0.0001f;
  ASSERT_NE(Stepped(-0.1f, 0.0001, 1000), inFloat);  // the check tells the two apart
  const struct {
    const char* keys;
    int value;  // index in Outcome::values, -1 for none
    double step;
    int frames;
  } cases[] = {{"W", 2, +0.0001, 1000}, {"S", 2, -0.0001, 50},   {"A", 0, -0.0001, 50},  {"D", 0, +0.0001, 50},
               {"Q", 1, -0.0001, 50},   {"E", 1, +0.0001, 50},   {"Z", 3, +0.0003, 50},  {"X", 3, -0.0003, 3334},
               {"WSADQEZX", -1, 0, 2000}};
  Application defaults;
  const float start[4] = {defaults.cameraPosition.x, defaults.cameraPosition.y, defaults.cameraPosition.z,
                          defaults.fogDensity};
  for (const auto& c : cases) {
    const Outcome run = RunWinMain(S_OK, [&c](Application&, int frame) {
      for (const char* key = c.keys; frame == 1 && *key != '\0'; ++key) SendKey(*key, false);
      if (frame == c.frames + 1) SendKey(VK_ESCAPE, false);  // frame 1 draws before any key is taken
    });
    for (int i = 0; i < 4; ++i) {
      const float expected = i == c.value ? Stepped(start[i], c.step, c.frames) : start[i];
      EXPECT_NEAR(run.values[i], expected, c.value < 0 ? 1e-6 : 0.0) << c.keys << " value " << i;
    }
  }
}

}  // namespace
