// ID3D11Texture2D and the three views on it.
//
// A texture lives in an immutable-storage OpenGL texture; STAGING textures (and the system-memory side of
// DYNAMIC ones) keep one tightly packed array per mip level instead, rows top first as in Direct3D, which
// is also how OpenGL's row 0 is used here (the clip-control origin is top-left), so nothing is flipped.
// Views hold a reference to their texture. Render-target and depth-stencil views carry a framebuffer of
// their own for clears; a shader-resource view of part of the mip chain is an OpenGL texture view.
#pragma once

#include <vector>

#include "d3d11/device.h"
#include "d3d11/format.h"

namespace platform::d3d11 {

class Texture2D final : public DeviceChild<ID3D11Texture2D, ID3D11Resource> {
 public:
  static HRESULT Create(Device& device, const D3D11_TEXTURE2D_DESC* pDesc, const D3D11_SUBRESOURCE_DATA* pInitialData,
                        ID3D11Texture2D** ppTexture2D);
  ~Texture2D() override;

  void STDMETHODCALLTYPE GetType(D3D11_RESOURCE_DIMENSION* pResourceDimension) override {
    if (pResourceDimension) *pResourceDimension = D3D11_RESOURCE_DIMENSION_TEXTURE2D;
  }
  void STDMETHODCALLTYPE GetDesc(D3D11_TEXTURE2D_DESC* pDesc) override {
    if (pDesc) *pDesc = desc_;
  }

  const D3D11_TEXTURE2D_DESC& Desc() const { return desc_; }
  const TextureFormat& Format() const { return *format_; }
  GLuint Name() const { return name_; }

  HRESULT Map(UINT subresource, D3D11_MAP mapType, D3D11_MAPPED_SUBRESOURCE* mapped);
  void Unmap(UINT subresource);
  // CopyResource: size, format and mip count must match.
  void CopyFrom(const Texture2D& source);

 private:
  Texture2D(Device& device, const D3D11_TEXTURE2D_DESC& desc, const TextureFormat& format);
  UINT LevelWidth(UINT level) const;
  UINT LevelHeight(UINT level) const;
  UINT LevelPitch(UINT level) const { return LevelWidth(level) * format_->bytesPerPixel; }
  void Upload(UINT level, const void* bytes, UINT pitch);

  D3D11_TEXTURE2D_DESC desc_;
  const TextureFormat* format_;
  GLuint name_ = 0;
  std::vector<std::vector<unsigned char>> levels_;  // system memory, per mip level
  std::vector<bool> mapped_;
  D3D11_MAP mapType_ = D3D11_MAP_READ;
};

// What every view shares: the texture it holds (an internal reference) and the mip level (or first level)
// it starts at.
template <class Interface>
class TextureView : public DeviceChild<Interface, ID3D11View> {
 public:
  void STDMETHODCALLTYPE GetResource(ID3D11Resource** ppResource) override {
    if (!ppResource) return;
    texture_->AddRef();
    *ppResource = texture_;
  }
  Texture2D& Texture() const { return *texture_; }
  UINT Level() const { return level_; }

 protected:
  TextureView(Texture2D& texture, UINT level) : DeviceChild<Interface, ID3D11View>(texture.Owner()),
                                                texture_(&texture), level_(level) {
    texture.AddInternalRef();
  }
  ~TextureView() override { texture_->ReleaseInternalRef(); }

 private:
  Texture2D* texture_;
  UINT level_;
};

// A render-target or depth-stencil view: one mip level attached to a framebuffer of its own.
template <class Interface>
class AttachmentView final : public TextureView<Interface> {
 public:
  static HRESULT Create(Texture2D& texture, UINT level, Interface** out);
  ~AttachmentView() override;
  GLuint Framebuffer() const { return framebuffer_; }

 private:
  using TextureView<Interface>::TextureView;
  GLuint framebuffer_ = 0;
};

using RenderTargetView = AttachmentView<ID3D11RenderTargetView>;
using DepthStencilView = AttachmentView<ID3D11DepthStencilView>;

HRESULT CreateRenderTargetView(Device& device, ID3D11Resource* resource, const D3D11_RENDER_TARGET_VIEW_DESC* desc,
                               ID3D11RenderTargetView** out);
HRESULT CreateDepthStencilView(Device& device, ID3D11Resource* resource, const D3D11_DEPTH_STENCIL_VIEW_DESC* desc,
                               ID3D11DepthStencilView** out);

class ShaderResourceView final : public TextureView<ID3D11ShaderResourceView> {
 public:
  static HRESULT Create(Device& device, ID3D11Resource* resource, const D3D11_SHADER_RESOURCE_VIEW_DESC* desc,
                        ID3D11ShaderResourceView** out);
  ~ShaderResourceView() override;
  // The OpenGL texture sampled: the texture itself, or a texture view of the levels chosen.
  GLuint SampledName() const { return viewName_ ? viewName_ : Texture().Name(); }

 private:
  using TextureView::TextureView;
  GLuint viewName_ = 0;
};

// The Texture2D behind a resource pointer, or null for buffers and null.
Texture2D* AsTexture2D(ID3D11Resource* resource);

}  // namespace platform::d3d11
