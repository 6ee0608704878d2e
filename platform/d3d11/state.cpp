#include "d3d11/state.h"

#include <new>

namespace platform::d3d11 {
namespace {

GLint AddressMode(D3D11_TEXTURE_ADDRESS_MODE mode) {
  switch (mode) {
    case D3D11_TEXTURE_ADDRESS_WRAP: return GL_REPEAT;
    case D3D11_TEXTURE_ADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3D11_TEXTURE_ADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3D11_TEXTURE_ADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3D11_TEXTURE_ADDRESS_MIRROR_ONCE: return GL_MIRROR_CLAMP_TO_EDGE;
    default: return 0;
  }
}

bool FilterKnown(D3D11_FILTER filter) {
  switch (filter) {
    case D3D11_FILTER_MIN_MAG_MIP_POINT:
    case D3D11_FILTER_MIN_MAG_POINT_MIP_LINEAR:
    case D3D11_FILTER_MIN_POINT_MAG_LINEAR_MIP_POINT:
    case D3D11_FILTER_MIN_POINT_MAG_MIP_LINEAR:
    case D3D11_FILTER_MIN_LINEAR_MAG_MIP_POINT:
    case D3D11_FILTER_MIN_LINEAR_MAG_POINT_MIP_LINEAR:
    case D3D11_FILTER_MIN_MAG_LINEAR_MIP_POINT:
    case D3D11_FILTER_MIN_MAG_MIP_LINEAR:
    case D3D11_FILTER_ANISOTROPIC: return true;
    default: return false;
  }
}

}  // namespace

const D3D11_RASTERIZER_DESC& RasterizerState::Default() {
  static const D3D11_RASTERIZER_DESC desc = {D3D11_FILL_SOLID, D3D11_CULL_BACK, FALSE, 0, 0.0f, 0.0f, TRUE,
                                             FALSE, FALSE, FALSE};
  return desc;
}

HRESULT RasterizerState::Create(Device& device, const D3D11_RASTERIZER_DESC* desc, ID3D11RasterizerState** out) {
  ClearOut(out);
  if (!desc || (desc->FillMode != D3D11_FILL_SOLID && desc->FillMode != D3D11_FILL_WIREFRAME) ||
      desc->CullMode < D3D11_CULL_NONE || desc->CullMode > D3D11_CULL_BACK)
    return E_INVALIDARG;
  if (!out) return S_FALSE;
  auto* state = new (std::nothrow) RasterizerState(device, *desc);
  if (!state) return E_OUTOFMEMORY;
  *out = state;
  return S_OK;
}

HRESULT SamplerState::Create(Device& device, const D3D11_SAMPLER_DESC* desc, ID3D11SamplerState** out) {
  ClearOut(out);
  if (!desc || !FilterKnown(desc->Filter) || !AddressMode(desc->AddressU) || !AddressMode(desc->AddressV) ||
      !AddressMode(desc->AddressW) || desc->MaxAnisotropy > D3D11_DEFAULT_MAX_ANISOTROPY ||
      (desc->Filter == D3D11_FILTER_ANISOTROPIC && desc->MaxAnisotropy < 1))
    return E_INVALIDARG;
  if (!out) return S_FALSE;
  auto* state = new (std::nothrow) SamplerState(device, *desc);
  if (HRESULT hr = PrepareNew(state); FAILED(hr)) return hr;
  // The filter's bits: 0x1 mip linear, 0x4 mag linear, 0x10 min linear.
  const bool mipLinear = desc->Filter & 0x1, magLinear = desc->Filter & 0x4, minLinear = desc->Filter & 0x10;
  const GLint minFilter = minLinear ? (mipLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_NEAREST)
                                    : (mipLinear ? GL_NEAREST_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST);
  GLuint& s = state->name_;
  glCreateSamplers(1, &s);
  glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, minFilter);
  glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
  glSamplerParameteri(s, GL_TEXTURE_WRAP_S, AddressMode(desc->AddressU));
  glSamplerParameteri(s, GL_TEXTURE_WRAP_T, AddressMode(desc->AddressV));
  glSamplerParameteri(s, GL_TEXTURE_WRAP_R, AddressMode(desc->AddressW));
  glSamplerParameterf(s, GL_TEXTURE_LOD_BIAS, desc->MipLODBias);
  glSamplerParameterf(s, GL_TEXTURE_MIN_LOD, desc->MinLOD);
  glSamplerParameterf(s, GL_TEXTURE_MAX_LOD, desc->MaxLOD);
  glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, desc->BorderColor);
  if (desc->Filter == D3D11_FILTER_ANISOTROPIC)
    glSamplerParameterf(s, GL_TEXTURE_MAX_ANISOTROPY, static_cast<GLfloat>(desc->MaxAnisotropy));
  *out = state;
  return S_OK;
}

SamplerState::~SamplerState() {
  if (name_ && MakeCurrent()) glDeleteSamplers(1, &name_);
}

}  // namespace platform::d3d11
