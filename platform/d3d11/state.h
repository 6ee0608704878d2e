// ID3D11RasterizerState and ID3D11SamplerState.
//
// A rasterizer state is only its description: the immediate context turns it into OpenGL state when it
// draws. Winding: Direct3D judges it as seen on the render target (y down); OpenGL with the top-left
// clip-control origin flips its window y and its area sign together, so it judges the same way and
// FrontCounterClockwise maps straight to GL_CCW. A sampler state is an OpenGL sampler object. Equal descriptions give distinct
// objects here (Direct3D would hand back the same one).
#pragma once

#include "d3d11/device.h"

namespace platform::d3d11 {

class RasterizerState final : public DeviceChild<ID3D11RasterizerState> {
 public:
  static HRESULT Create(Device& device, const D3D11_RASTERIZER_DESC* desc, ID3D11RasterizerState** out);
  void STDMETHODCALLTYPE GetDesc(D3D11_RASTERIZER_DESC* pDesc) override {
    if (pDesc) *pDesc = desc_;
  }
  const D3D11_RASTERIZER_DESC& Desc() const { return desc_; }
  // The state in force when none is bound.
  static const D3D11_RASTERIZER_DESC& Default();

 private:
  RasterizerState(Device& device, const D3D11_RASTERIZER_DESC& desc) : DeviceChild(device), desc_(desc) {}
  D3D11_RASTERIZER_DESC desc_;
};

class SamplerState final : public DeviceChild<ID3D11SamplerState> {
 public:
  static HRESULT Create(Device& device, const D3D11_SAMPLER_DESC* desc, ID3D11SamplerState** out);
  ~SamplerState() override;
  void STDMETHODCALLTYPE GetDesc(D3D11_SAMPLER_DESC* pDesc) override {
    if (pDesc) *pDesc = desc_;
  }
  GLuint Name() const { return name_; }

 private:
  SamplerState(Device& device, const D3D11_SAMPLER_DESC& desc) : DeviceChild(device), desc_(desc) {}
  D3D11_SAMPLER_DESC desc_;
  GLuint name_ = 0;
};

}  // namespace platform::d3d11
