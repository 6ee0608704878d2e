#include "d3d11/device.h"

#include <new>

#include "common/startup_trace.h"
#include "d3d11/buffer.h"
#include "d3d11/context.h"
#include "d3d11/shader.h"
#include "d3d11/state.h"
#include "d3d11/swap_chain.h"
#include "d3d11/texture.h"
#include "win32/window.h"

namespace platform::d3d11 {

uint64_t NextObjectId() {
  static uint64_t id = 0;
  return ++id;
}

Device* Device::Create(std::shared_ptr<GlContext> gl, D3D_FEATURE_LEVEL level) {
  return new (std::nothrow) Device(std::move(gl), level);
}

Device::Device(std::shared_ptr<GlContext> gl, D3D_FEATURE_LEVEL level)
    : gl_(std::move(gl)), context_(new DeviceContext(*this)), featureLevel_(level) {}

Device::~Device() = default;

HRESULT Device::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  if (riid == __uuidof(IUnknown) || riid == __uuidof(ID3D11Device)) {
    AddRef();
    *ppvObject = static_cast<ID3D11Device*>(this);
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG Device::Release() {
  const ULONG count = --refCount_;
  if (count == 0) {
    // Unbinding may release the last references to objects, which release theirs on the device: hold one
    // meanwhile so the device outlives the unbinding.
    AddInternalRef();
    context_->ClearState();
    ReleaseInternalRef();
  }
  return count;
}

void Device::ReleaseInternalRef() {
  if (--internalCount_ == 0 && refCount_ == 0) delete this;
}

void Device::GetImmediateContext(ID3D11DeviceContext** ppImmediateContext) {
  if (!ppImmediateContext) return;
  AddRef();
  *ppImmediateContext = context_.get();
}

HRESULT Device::CreateBuffer(const D3D11_BUFFER_DESC* pDesc, const D3D11_SUBRESOURCE_DATA* pInitialData,
                             ID3D11Buffer** ppBuffer) {
  return Buffer::Create(*this, pDesc, pInitialData, ppBuffer);
}

HRESULT Device::CreateTexture2D(const D3D11_TEXTURE2D_DESC* pDesc, const D3D11_SUBRESOURCE_DATA* pInitialData,
                                ID3D11Texture2D** ppTexture2D) {
  return Texture2D::Create(*this, pDesc, pInitialData, ppTexture2D);
}

HRESULT Device::CreateShaderResourceView(ID3D11Resource* pResource, const D3D11_SHADER_RESOURCE_VIEW_DESC* pDesc,
                                         ID3D11ShaderResourceView** ppSRView) {
  return ShaderResourceView::Create(*this, pResource, pDesc, ppSRView);
}

HRESULT Device::CreateRenderTargetView(ID3D11Resource* pResource, const D3D11_RENDER_TARGET_VIEW_DESC* pDesc,
                                       ID3D11RenderTargetView** ppRTView) {
  return d3d11::CreateRenderTargetView(*this, pResource, pDesc, ppRTView);
}

HRESULT Device::CreateDepthStencilView(ID3D11Resource* pResource, const D3D11_DEPTH_STENCIL_VIEW_DESC* pDesc,
                                       ID3D11DepthStencilView** ppDepthStencilView) {
  return d3d11::CreateDepthStencilView(*this, pResource, pDesc, ppDepthStencilView);
}

HRESULT Device::CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC* pInputElementDescs, UINT NumElements,
                                  const void* pShaderBytecodeWithInputSignature, SIZE_T BytecodeLength,
                                  ID3D11InputLayout** ppInputLayout) {
  return InputLayout::Create(*this, pInputElementDescs, NumElements, pShaderBytecodeWithInputSignature,
                             BytecodeLength, ppInputLayout);
}

HRESULT Device::CreateVertexShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                   ID3D11ClassLinkage* pClassLinkage, ID3D11VertexShader** ppVertexShader) {
  return VertexShader::Create(*this, pShaderBytecode, BytecodeLength, pClassLinkage, ppVertexShader);
}

HRESULT Device::CreatePixelShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                  ID3D11ClassLinkage* pClassLinkage, ID3D11PixelShader** ppPixelShader) {
  return PixelShader::Create(*this, pShaderBytecode, BytecodeLength, pClassLinkage, ppPixelShader);
}

HRESULT Device::CreateRasterizerState(const D3D11_RASTERIZER_DESC* pRasterizerDesc,
                                      ID3D11RasterizerState** ppRasterizerState) {
  return RasterizerState::Create(*this, pRasterizerDesc, ppRasterizerState);
}

HRESULT Device::CreateSamplerState(const D3D11_SAMPLER_DESC* pSamplerDesc, ID3D11SamplerState** ppSamplerState) {
  return SamplerState::Create(*this, pSamplerDesc, ppSamplerState);
}

namespace {

bool FeatureLevelKnown(D3D_FEATURE_LEVEL level) {
  switch (level) {
    case D3D_FEATURE_LEVEL_9_1:
    case D3D_FEATURE_LEVEL_9_2:
    case D3D_FEATURE_LEVEL_9_3:
    case D3D_FEATURE_LEVEL_10_0:
    case D3D_FEATURE_LEVEL_10_1:
    case D3D_FEATURE_LEVEL_11_0:
    case D3D_FEATURE_LEVEL_11_1: return true;
    default: return false;
  }
}

// The arguments both creation functions share, but for the feature levels.
HRESULT CheckDriverArguments(IDXGIAdapter* adapter, D3D_DRIVER_TYPE driverType, HMODULE software,
                             UINT sdkVersion) {
  if (sdkVersion != D3D11_SDK_VERSION || adapter || software || driverType == D3D_DRIVER_TYPE_UNKNOWN)
    return E_INVALIDARG;
  return driverType == D3D_DRIVER_TYPE_HARDWARE ? S_OK : DXGI_ERROR_UNSUPPORTED;
}

// OpenGL 4.5 gives feature level 11_0: the first level asked for that is not above it is the one obtained.
HRESULT ChooseFeatureLevel(const D3D_FEATURE_LEVEL* levels, UINT levelCount, D3D_FEATURE_LEVEL* chosen) {
  if (!levels) {
    *chosen = D3D_FEATURE_LEVEL_11_0;
    return S_OK;
  }
  if (levelCount == 0) return E_INVALIDARG;
  for (UINT i = 0; i < levelCount; ++i)
    if (!FeatureLevelKnown(levels[i])) return E_INVALIDARG;
  for (UINT i = 0; i < levelCount; ++i) {
    if (levels[i] <= D3D_FEATURE_LEVEL_11_0) {
      *chosen = levels[i];
      return S_OK;
    }
  }
  return DXGI_ERROR_UNSUPPORTED;
}

bool SwapChainDescValid(const DXGI_SWAP_CHAIN_DESC& desc) {
  return SdlWindowFromHwnd(desc.OutputWindow) && desc.BufferCount >= 1 && desc.SampleDesc.Count == 1 &&
         desc.SampleDesc.Quality == 0 && SwapChainFormatSupported(desc.BufferDesc.Format) &&
         (desc.BufferUsage & DXGI_USAGE_RENDER_TARGET_OUTPUT);
}

// Where the creation functions hand out what was asked for; null for what was not.
struct CreatedObjects {
  IDXGISwapChain** ppSwapChain;
  ID3D11Device** ppDevice;
  D3D_FEATURE_LEVEL* pFeatureLevel;
  ID3D11DeviceContext** ppImmediateContext;
};

// Creates the device on a context (null: none could be had) and hands out what was asked for.
HRESULT CreateAndHandOut(std::shared_ptr<GlContext> gl, D3D_FEATURE_LEVEL level,
                         const DXGI_SWAP_CHAIN_DESC* swapChainDesc, const CreatedObjects& out) {
  IDXGISwapChain** ppSwapChain = out.ppSwapChain;
  ID3D11Device** ppDevice = out.ppDevice;
  ID3D11DeviceContext** ppImmediateContext = out.ppImmediateContext;
  if (!gl) return DXGI_ERROR_UNSUPPORTED;
  Device* device = Device::Create(std::move(gl), level);
  if (!device) return E_OUTOFMEMORY;
  if (ppSwapChain) {
    HRESULT hr = SwapChain::Create(*device, *swapChainDesc, ppSwapChain);
    if (FAILED(hr)) {
      device->Release();
      return hr;
    }
  }
  if (out.pFeatureLevel) *out.pFeatureLevel = level;
  if (ppImmediateContext) device->GetImmediateContext(ppImmediateContext);
  const bool checkOnly = !ppDevice && !ppImmediateContext && !ppSwapChain;
  if (ppDevice)
    *ppDevice = device;
  else
    device->Release();
  return checkOnly ? S_FALSE : S_OK;
}

}  // namespace
}  // namespace platform::d3d11

using platform::d3d11::ClearOut;

// Without a swap chain description this is D3D11CreateDevice: a headless device.
STDAPI D3D11CreateDeviceAndSwapChain(IDXGIAdapter* pAdapter, D3D_DRIVER_TYPE DriverType, HMODULE Software, UINT,
                                     const D3D_FEATURE_LEVEL* pFeatureLevels, UINT FeatureLevels, UINT SDKVersion,
                                     const DXGI_SWAP_CHAIN_DESC* pSwapChainDesc, IDXGISwapChain** ppSwapChain,
                                     ID3D11Device** ppDevice, D3D_FEATURE_LEVEL* pFeatureLevel,
                                     ID3D11DeviceContext** ppImmediateContext) {
  namespace d3d11 = platform::d3d11;
  ClearOut(ppSwapChain);
  ClearOut(ppDevice);
  ClearOut(ppImmediateContext);
  D3D_FEATURE_LEVEL level = D3D_FEATURE_LEVEL_11_0;
  HRESULT hr = d3d11::CheckDriverArguments(pAdapter, DriverType, Software, SDKVersion);
  if (SUCCEEDED(hr)) hr = d3d11::ChooseFeatureLevel(pFeatureLevels, FeatureLevels, &level);
  if (FAILED(hr)) return hr;
  if (ppSwapChain && !pSwapChainDesc) return E_INVALIDARG;
  if (pSwapChainDesc && !d3d11::SwapChainDescValid(*pSwapChainDesc)) return DXGI_ERROR_INVALID_CALL;
  auto gl = pSwapChainDesc ? d3d11::GlContext::CreateForWindow(platform::SdlWindowFromHwnd(pSwapChainDesc->OutputWindow))
                           : d3d11::GlContext::CreateHeadless();
  const d3d11::CreatedObjects out = {ppSwapChain, ppDevice, pFeatureLevel, ppImmediateContext};
  hr = d3d11::CreateAndHandOut(std::move(gl), level, pSwapChainDesc, out);
  platform::TraceStartupStep("device");  // for the start-up benchmark's breakdown
  return hr;
}

STDAPI D3D11CreateDevice(IDXGIAdapter* pAdapter, D3D_DRIVER_TYPE DriverType, HMODULE Software, UINT Flags,
                         const D3D_FEATURE_LEVEL* pFeatureLevels, UINT FeatureLevels, UINT SDKVersion,
                         ID3D11Device** ppDevice, D3D_FEATURE_LEVEL* pFeatureLevel,
                         ID3D11DeviceContext** ppImmediateContext) {
  return D3D11CreateDeviceAndSwapChain(pAdapter, DriverType, Software, Flags, pFeatureLevels, FeatureLevels,
                                       SDKVersion, nullptr, nullptr, ppDevice, pFeatureLevel, ppImmediateContext);
}
