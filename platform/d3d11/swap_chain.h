// IDXGISwapChain for a windowed swap chain on an SDL window (see dxgi.h for what Present does).
#pragma once

#include <dxgi.h>

#include "d3d11/device.h"

namespace platform::d3d11 {

class Texture2D;

class SwapChain final : public ComObject<IDXGISwapChain, IDXGIDeviceSubObject, IDXGIObject> {
 public:
  // desc has been checked; a zero width or height takes the window's drawable size.
  static HRESULT Create(Device& device, const DXGI_SWAP_CHAIN_DESC& desc, IDXGISwapChain** out);
  ~SwapChain() override;

  HRESULT STDMETHODCALLTYPE Present(UINT SyncInterval, UINT Flags) override;
  HRESULT STDMETHODCALLTYPE GetBuffer(UINT Buffer, REFIID riid, void** ppSurface) override;

 private:
  explicit SwapChain(Device& device);

  Device& device_;  // a reference the swap chain holds, as DXGI's does
  Texture2D* backBuffer_ = nullptr;
  GLuint readFramebuffer_ = 0;
  int swapInterval_ = -1;
};

// Whether a swap chain can present buffers of this format.
bool SwapChainFormatSupported(DXGI_FORMAT format);

}  // namespace platform::d3d11
