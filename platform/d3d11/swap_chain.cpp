#include "d3d11/swap_chain.h"

#include <new>

#include "common/startup_trace.h"
#include "d3d11/texture.h"

namespace platform::d3d11 {

bool SwapChainFormatSupported(DXGI_FORMAT format) {
  return format == DXGI_FORMAT_R8G8B8A8_UNORM || format == DXGI_FORMAT_R8G8B8A8_UNORM_SRGB ||
         format == DXGI_FORMAT_B8G8R8A8_UNORM;
}

HRESULT SwapChain::Create(Device& device, const DXGI_SWAP_CHAIN_DESC& desc, IDXGISwapChain** out) {
  *out = nullptr;
  SDL_Window* window = device.Gl().Window();
  if (!window) return DXGI_ERROR_INVALID_CALL;
  int width = static_cast<int>(desc.BufferDesc.Width), height = static_cast<int>(desc.BufferDesc.Height);
  if (width == 0 || height == 0) {
    int drawableWidth = 0, drawableHeight = 0;
    SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
    if (width == 0) width = drawableWidth;
    if (height == 0) height = drawableHeight;
  }
  auto* chain = new (std::nothrow) SwapChain(device);
  if (!chain) return E_OUTOFMEMORY;
  D3D11_TEXTURE2D_DESC bufferDesc = {};
  bufferDesc.Width = static_cast<UINT>(width);
  bufferDesc.Height = static_cast<UINT>(height);
  bufferDesc.MipLevels = 1;
  bufferDesc.ArraySize = 1;
  bufferDesc.Format = desc.BufferDesc.Format;
  bufferDesc.SampleDesc = {1, 0};
  bufferDesc.Usage = D3D11_USAGE_DEFAULT;
  bufferDesc.BindFlags = D3D11_BIND_RENDER_TARGET;
  if (desc.BufferUsage & DXGI_USAGE_SHADER_INPUT) bufferDesc.BindFlags |= D3D11_BIND_SHADER_RESOURCE;
  ID3D11Texture2D* texture = nullptr;
  HRESULT hr = Texture2D::Create(device, &bufferDesc, nullptr, &texture);
  if (FAILED(hr)) {
    chain->Release();
    return hr;
  }
  chain->backBuffer_ = static_cast<Texture2D*>(texture);
  glCreateFramebuffers(1, &chain->readFramebuffer_);
  glNamedFramebufferTexture(chain->readFramebuffer_, GL_COLOR_ATTACHMENT0, chain->backBuffer_->Name(), 0);
  glNamedFramebufferReadBuffer(chain->readFramebuffer_, GL_COLOR_ATTACHMENT0);
  *out = chain;
  return S_OK;
}

SwapChain::SwapChain(Device& device) : device_(device) { device.AddRef(); }

SwapChain::~SwapChain() {
  if (readFramebuffer_ && device_.Gl().MakeCurrent()) glDeleteFramebuffers(1, &readFramebuffer_);
  SafeRelease(backBuffer_);
  device_.Release();
}

HRESULT SwapChain::Present(UINT SyncInterval, UINT Flags) {
  if (SyncInterval > 4 || Flags != 0) return DXGI_ERROR_INVALID_CALL;
  GlContext& gl = device_.Gl();
  SDL_Window* window = gl.Window();
  if (!window || !gl.MakeCurrent()) return DXGI_ERROR_INVALID_CALL;
  if (swapInterval_ != static_cast<int>(SyncInterval)) {
    SDL_GL_SetSwapInterval(static_cast<int>(SyncInterval));
    swapInterval_ = static_cast<int>(SyncInterval);
  }
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(window, &width, &height);
  const D3D11_TEXTURE2D_DESC& buffer = backBuffer_->Desc();
  // Stretch over the whole client area, turning the top-row-first image upright for OpenGL's window.
  glBlitNamedFramebuffer(readFramebuffer_, 0, 0, 0, static_cast<GLint>(buffer.Width),
                         static_cast<GLint>(buffer.Height), 0, height, width, 0, GL_COLOR_BUFFER_BIT, GL_LINEAR);
  SDL_GL_SwapWindow(window);
  TraceStartupStep("present");  // the start-up benchmark's end point
  return S_OK;
}

HRESULT SwapChain::GetBuffer(UINT Buffer, REFIID riid, void** ppSurface) {
  if (!ppSurface) return E_INVALIDARG;
  *ppSurface = nullptr;
  if (Buffer != 0) return DXGI_ERROR_INVALID_CALL;
  return backBuffer_->QueryInterface(riid, ppSurface);
}

}  // namespace platform::d3d11
