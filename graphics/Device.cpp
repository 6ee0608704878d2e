// Direct3D 11 on the window: device, swap chain, targets, fixed states, then the shaders, models and t3.bmp.
#include "graphics/Device.h"

#include <d3d11.h>
#include <d3dx11.h>

#include "app/Application.h"
#include "graphics/Shaders.h"
#include "model/MeshLoader.h"

// The back buffer, depth buffer and viewport keep this size; nothing follows a resized window.
static const UINT kTargetWidth = 640;
static const UINT kTargetHeight = 480;

static HRESULT CreateDeviceAndSwapChain(Application& app) {
  DXGI_SWAP_CHAIN_DESC desc;
  ZeroMemory(&desc, sizeof(desc));
  desc.BufferDesc.Width = kTargetWidth;
  desc.BufferDesc.Height = kTargetHeight;
  desc.BufferDesc.RefreshRate.Numerator = 60;
  desc.BufferDesc.RefreshRate.Denominator = 1;
  desc.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  desc.SampleDesc.Count = 1;
  desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
  desc.BufferCount = 1;
  desc.OutputWindow = app.hWnd;
  desc.Windowed = TRUE;
  desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;

  const D3D_FEATURE_LEVEL featureLevels[] = {D3D_FEATURE_LEVEL_11_0};
  return D3D11CreateDeviceAndSwapChain(NULL, D3D_DRIVER_TYPE_HARDWARE, NULL, 0, featureLevels, 1,
                                       D3D11_SDK_VERSION, &desc, &app.swapChain, &app.device, NULL, &app.context);
}

static HRESULT CreateRenderTargetView(Application& app) {
  ID3D11Texture2D* backBuffer = NULL;
  HRESULT hr = app.swapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), (void**)&backBuffer);
  if (FAILED(hr)) return hr;
  hr = app.device->CreateRenderTargetView(backBuffer, NULL, &app.renderTargetView);
  backBuffer->Release();
  return hr;
}

static HRESULT CreateDepthStencil(Application& app) {
  D3D11_TEXTURE2D_DESC desc;
  ZeroMemory(&desc, sizeof(desc));
  desc.Width = kTargetWidth;
  desc.Height = kTargetHeight;
  desc.MipLevels = 1;
  desc.ArraySize = 1;
  desc.Format = DXGI_FORMAT_D32_FLOAT;
  desc.SampleDesc.Count = 1;
  desc.Usage = D3D11_USAGE_DEFAULT;
  desc.BindFlags = D3D11_BIND_DEPTH_STENCIL;
  HRESULT hr = app.device->CreateTexture2D(&desc, NULL, &app.depthStencilTexture);
  if (FAILED(hr)) return hr;
  return app.device->CreateDepthStencilView(app.depthStencilTexture, NULL, &app.depthStencilView);
}

static void BindTargetsAndViewport(Application& app) {
  app.context->OMSetRenderTargets(1, &app.renderTargetView, app.depthStencilView);

  D3D11_VIEWPORT viewport;
  viewport.TopLeftX = 0.0f;
  viewport.TopLeftY = 0.0f;
  viewport.Width = (FLOAT)kTargetWidth;
  viewport.Height = (FLOAT)kTargetHeight;
  viewport.MinDepth = 0.0f;
  viewport.MaxDepth = 1.0f;
  app.context->RSSetViewports(1, &viewport);
}

static HRESULT CreateRasterizerState(Application& app) {
  D3D11_RASTERIZER_DESC desc;
  ZeroMemory(&desc, sizeof(desc));
  desc.FillMode = D3D11_FILL_SOLID;
  desc.CullMode = D3D11_CULL_NONE;
  desc.FrontCounterClockwise = TRUE;
  desc.DepthClipEnable = FALSE;  // geometry beyond the far plane is clamped, not clipped
  HRESULT hr = app.device->CreateRasterizerState(&desc, &app.rasterizerState);
  if (FAILED(hr)) return hr;
  app.context->RSSetState(app.rasterizerState);
  return S_OK;
}

// Bound by DrawMesh together with a material's texture. MaxLOD 0 keeps sampling on the top mip level.
static HRESULT CreateSamplerState(Application& app) {
  D3D11_SAMPLER_DESC desc;
  ZeroMemory(&desc, sizeof(desc));
  desc.Filter = D3D11_FILTER_MIN_MAG_MIP_LINEAR;
  desc.AddressU = D3D11_TEXTURE_ADDRESS_WRAP;
  desc.AddressV = D3D11_TEXTURE_ADDRESS_WRAP;
  desc.AddressW = D3D11_TEXTURE_ADDRESS_WRAP;
  return app.device->CreateSamplerState(&desc, &app.samplerState);
}

// The device objects every frame uses; each step needs the ones before it.
static HRESULT CreatePipeline(Application& app) {
  if (FAILED(CreateDeviceAndSwapChain(app))) return E_FAIL;
  if (FAILED(CreateRenderTargetView(app))) return E_FAIL;
  if (FAILED(CreateDepthStencil(app))) return E_FAIL;
  BindTargetsAndViewport(app);
  if (FAILED(CreateRasterizerState(app))) return E_FAIL;
  if (FAILED(CreateSamplerState(app))) return E_FAIL;
  return S_OK;
}

HRESULT InitDevice() {
  Application& app = *g_app;
  if (FAILED(CreatePipeline(app))) return E_FAIL;
  if (FAILED(InitShaders(app))) return E_FAIL;
  if (FAILED(LoadMesh(app, "test.obj", app.sceneMesh))) return E_FAIL;
  if (FAILED(LoadMesh(app, "Sky_Sphere_R10.obj", app.skyMesh))) return E_FAIL;
  if (FAILED(D3DX11CreateShaderResourceViewFromFileA(app.device, "t3.bmp", NULL, NULL, &app.sharedTexture, NULL)))
    return E_FAIL;
  return S_OK;
}
