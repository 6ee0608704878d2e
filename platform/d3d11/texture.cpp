#include "d3d11/texture.h"

#include <string.h>

#include <algorithm>
#include <new>
#include <type_traits>

#include "d3d11/resource.h"

namespace platform::d3d11 {
namespace {

constexpr UINT kKnownBindFlags = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET | D3D11_BIND_DEPTH_STENCIL;

UINT FullMipChain(UINT width, UINT height) {
  UINT levels = 1;
  for (UINT size = std::max(width, height); size > 1; size /= 2) ++levels;
  return levels;
}

bool DescAllowed(const D3D11_TEXTURE2D_DESC& desc, const TextureFormat* format, bool hasInitialData) {
  if (!format || desc.Width == 0 || desc.Height == 0 || desc.Width > D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION ||
      desc.Height > D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION || desc.MipLevels > FullMipChain(desc.Width, desc.Height) ||
      desc.ArraySize != 1 || desc.SampleDesc.Count != 1 || desc.SampleDesc.Quality != 0 || desc.MiscFlags != 0 ||
      (desc.BindFlags & ~kKnownBindFlags))
    return false;
  // Depth formats are only depth-stencil targets (or staging copies of them); colour formats never are.
  const bool depthBind = desc.BindFlags & D3D11_BIND_DEPTH_STENCIL;
  if (format->depth ? (desc.BindFlags & ~D3D11_BIND_DEPTH_STENCIL) != 0 : depthBind) return false;
  if (desc.Usage == D3D11_USAGE_DYNAMIC && desc.MipLevels != 1) return false;
  return UsageAllowed(desc.Usage, desc.BindFlags, desc.CPUAccessFlags, hasInitialData);
}

}  // namespace

Texture2D* AsTexture2D(ID3D11Resource* resource) {
  D3D11_RESOURCE_DIMENSION type = D3D11_RESOURCE_DIMENSION_UNKNOWN;
  if (resource) resource->GetType(&type);
  if (type != D3D11_RESOURCE_DIMENSION_TEXTURE2D) return nullptr;
  return static_cast<Texture2D*>(static_cast<ID3D11Texture2D*>(resource));
}

HRESULT Texture2D::Create(Device& device, const D3D11_TEXTURE2D_DESC* pDesc,
                          const D3D11_SUBRESOURCE_DATA* pInitialData, ID3D11Texture2D** ppTexture2D) {
  ClearOut(ppTexture2D);
  if (!pDesc) return E_INVALIDARG;
  const TextureFormat* format = FindTextureFormat(pDesc->Format);
  if (!DescAllowed(*pDesc, format, pInitialData != nullptr)) return E_INVALIDARG;
  D3D11_TEXTURE2D_DESC desc = *pDesc;
  if (desc.MipLevels == 0) desc.MipLevels = FullMipChain(desc.Width, desc.Height);
  if (pInitialData) {
    for (UINT level = 0; level < desc.MipLevels; ++level) {
      const UINT rowBytes = std::max(1u, desc.Width >> level) * format->bytesPerPixel;
      if (!pInitialData[level].pSysMem || pInitialData[level].SysMemPitch < rowBytes) return E_INVALIDARG;
    }
  }
  if (!ppTexture2D) return S_FALSE;
  Texture2D* texture = new (std::nothrow) Texture2D(device, desc, *format);
  if (HRESULT hr = PrepareNew(texture); FAILED(hr)) return hr;
  if (desc.Usage != D3D11_USAGE_STAGING) {
    glCreateTextures(GL_TEXTURE_2D, 1, &texture->name_);
    glTextureStorage2D(texture->name_, desc.MipLevels, format->internalFormat, desc.Width, desc.Height);
  }
  if (desc.Usage == D3D11_USAGE_STAGING || desc.Usage == D3D11_USAGE_DYNAMIC) {
    texture->levels_.resize(desc.MipLevels);
    for (UINT level = 0; level < desc.MipLevels; ++level)
      texture->levels_[level].resize(size_t{texture->LevelPitch(level)} * texture->LevelHeight(level));
  }
  texture->mapped_.assign(desc.MipLevels, false);
  if (pInitialData)
    for (UINT level = 0; level < desc.MipLevels; ++level)
      texture->Upload(level, pInitialData[level].pSysMem, pInitialData[level].SysMemPitch);
  *ppTexture2D = texture;
  return S_OK;
}

Texture2D::Texture2D(Device& device, const D3D11_TEXTURE2D_DESC& desc, const TextureFormat& format)
    : DeviceChild(device), desc_(desc), format_(&format) {}

Texture2D::~Texture2D() {
  if (name_ && MakeCurrent()) glDeleteTextures(1, &name_);
}

UINT Texture2D::LevelWidth(UINT level) const { return std::max(1u, desc_.Width >> level); }
UINT Texture2D::LevelHeight(UINT level) const { return std::max(1u, desc_.Height >> level); }

void Texture2D::Upload(UINT level, const void* bytes, UINT pitch) {
  const auto* rows = static_cast<const unsigned char*>(bytes);
  const UINT rowBytes = LevelPitch(level);
  if (!levels_.empty())
    for (UINT y = 0; y < LevelHeight(level); ++y)
      memcpy(levels_[level].data() + size_t{y} * rowBytes, rows + size_t{y} * pitch, rowBytes);
  if (!name_) return;
  if (pitch % format_->bytesPerPixel == 0) {
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(pitch / format_->bytesPerPixel));
    glTextureSubImage2D(name_, level, 0, 0, LevelWidth(level), LevelHeight(level), format_->format, format_->type,
                        rows);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  } else {
    for (UINT y = 0; y < LevelHeight(level); ++y)
      glTextureSubImage2D(name_, level, 0, y, LevelWidth(level), 1, format_->format, format_->type,
                          rows + size_t{y} * pitch);
  }
}

HRESULT Texture2D::Map(UINT subresource, D3D11_MAP mapType, D3D11_MAPPED_SUBRESOURCE* mapped) {
  if (mapped) *mapped = {};
  if (!mapped || subresource >= desc_.MipLevels || mapped_[subresource] ||
      !MapAllowed(desc_.Usage, desc_.CPUAccessFlags, mapType, false))
    return E_INVALIDARG;
  mapped_[subresource] = true;
  mapType_ = mapType;
  mapped->pData = levels_[subresource].data();
  mapped->RowPitch = LevelPitch(subresource);
  mapped->DepthPitch = LevelPitch(subresource) * LevelHeight(subresource);
  return S_OK;
}

void Texture2D::Unmap(UINT subresource) {
  if (subresource >= desc_.MipLevels || !mapped_[subresource]) return;
  mapped_[subresource] = false;
  if (name_ && mapType_ != D3D11_MAP_READ && MakeCurrent())
    Upload(subresource, levels_[subresource].data(), LevelPitch(subresource));
}

void Texture2D::CopyFrom(const Texture2D& source) {
  const D3D11_TEXTURE2D_DESC& s = source.desc_;
  if (&source == this || s.Width != desc_.Width || s.Height != desc_.Height || s.MipLevels != desc_.MipLevels ||
      s.Format != desc_.Format || desc_.Usage == D3D11_USAGE_IMMUTABLE ||
      std::find(mapped_.begin(), mapped_.end(), true) != mapped_.end() ||
      std::find(source.mapped_.begin(), source.mapped_.end(), true) != source.mapped_.end() || !MakeCurrent())
    return;
  for (UINT level = 0; level < desc_.MipLevels; ++level) {
    if (name_ && source.name_) {
      glCopyImageSubData(source.name_, GL_TEXTURE_2D, level, 0, 0, 0, name_, GL_TEXTURE_2D, level, 0, 0, 0,
                         LevelWidth(level), LevelHeight(level), 1);
    } else if (name_) {
      Upload(level, source.levels_[level].data(), LevelPitch(level));
    } else if (source.name_) {
      // Read back at once: the copy is complete when CopyResource returns, as a later Map would wait for.
      glGetTextureImage(source.name_, level, format_->format, format_->type,
                        static_cast<GLsizei>(levels_[level].size()), levels_[level].data());
    } else {
      levels_[level] = source.levels_[level];
    }
  }
}

// ---- views ----

template <class Interface>
HRESULT AttachmentView<Interface>::Create(Texture2D& texture, UINT level, Interface** out) {
  constexpr GLenum kAttachment =
      std::is_same_v<Interface, ID3D11RenderTargetView> ? GL_COLOR_ATTACHMENT0 : GL_DEPTH_ATTACHMENT;
  auto* view = new (std::nothrow) AttachmentView(texture, level);
  if (HRESULT hr = PrepareNew(view); FAILED(hr)) return hr;
  glCreateFramebuffers(1, &view->framebuffer_);
  glNamedFramebufferTexture(view->framebuffer_, kAttachment, texture.Name(), level);
  if (kAttachment == GL_DEPTH_ATTACHMENT) glNamedFramebufferDrawBuffer(view->framebuffer_, GL_NONE);
  *out = view;
  return S_OK;
}

template <class Interface>
AttachmentView<Interface>::~AttachmentView() {
  if (framebuffer_ && this->MakeCurrent()) glDeleteFramebuffers(1, &framebuffer_);
}

namespace {

// Render-target and depth-stencil views: a 2D texture bound for that use, a view of one mip level in the
// texture's own format (or DXGI_FORMAT_UNKNOWN for it).
template <class Interface, class Desc>
HRESULT CreateAttachmentView(Device& device, ID3D11Resource* resource, const Desc* desc, UINT bindFlag,
                             decltype(Desc::ViewDimension) dimension, Interface** out) {
  ClearOut(out);
  Texture2D* texture = AsTexture2D(resource);
  if (!texture || &texture->Owner() != &device || !(texture->Desc().BindFlags & bindFlag)) return E_INVALIDARG;
  UINT level = 0;
  if (desc) {
    if (desc->ViewDimension != dimension || (desc->Format != DXGI_FORMAT_UNKNOWN &&
                                            desc->Format != texture->Desc().Format) ||
        desc->Texture2D.MipSlice >= texture->Desc().MipLevels)
      return E_INVALIDARG;
    level = desc->Texture2D.MipSlice;
  }
  if (!out) return S_FALSE;
  return AttachmentView<Interface>::Create(*texture, level, out);
}

}  // namespace

HRESULT CreateRenderTargetView(Device& device, ID3D11Resource* resource, const D3D11_RENDER_TARGET_VIEW_DESC* desc,
                               ID3D11RenderTargetView** out) {
  return CreateAttachmentView(device, resource, desc, D3D11_BIND_RENDER_TARGET, D3D11_RTV_DIMENSION_TEXTURE2D, out);
}

HRESULT CreateDepthStencilView(Device& device, ID3D11Resource* resource, const D3D11_DEPTH_STENCIL_VIEW_DESC* desc,
                               ID3D11DepthStencilView** out) {
  if (desc && desc->Flags != 0) {
    ClearOut(out);
    return E_INVALIDARG;
  }
  return CreateAttachmentView(device, resource, desc, D3D11_BIND_DEPTH_STENCIL, D3D11_DSV_DIMENSION_TEXTURE2D, out);
}

HRESULT ShaderResourceView::Create(Device& device, ID3D11Resource* resource,
                                   const D3D11_SHADER_RESOURCE_VIEW_DESC* desc, ID3D11ShaderResourceView** out) {
  ClearOut(out);
  Texture2D* texture = AsTexture2D(resource);
  if (!texture || &texture->Owner() != &device || !(texture->Desc().BindFlags & D3D11_BIND_SHADER_RESOURCE))
    return E_INVALIDARG;
  const UINT levels = texture->Desc().MipLevels;
  UINT first = 0, count = levels;
  if (desc) {
    first = desc->Texture2D.MostDetailedMip;
    count = desc->Texture2D.MipLevels == UINT(-1) ? levels - std::min(first, levels) : desc->Texture2D.MipLevels;
    if (desc->ViewDimension != D3D11_SRV_DIMENSION_TEXTURE2D ||
        (desc->Format != DXGI_FORMAT_UNKNOWN && desc->Format != texture->Desc().Format) || first >= levels ||
        count == 0 || count > levels - first)
      return E_INVALIDARG;
  }
  if (!out) return S_FALSE;
  auto* view = new (std::nothrow) ShaderResourceView(*texture, first);
  if (HRESULT hr = PrepareNew(view); FAILED(hr)) return hr;
  if (count != levels) {
    glGenTextures(1, &view->viewName_);
    glTextureView(view->viewName_, GL_TEXTURE_2D, texture->Name(), texture->Format().internalFormat, first, count, 0,
                  1);
  }
  *out = view;
  return S_OK;
}

ShaderResourceView::~ShaderResourceView() {
  if (viewName_ && MakeCurrent()) glDeleteTextures(1, &viewName_);
}

template class AttachmentView<ID3D11RenderTargetView>;
template class AttachmentView<ID3D11DepthStencilView>;

}  // namespace platform::d3d11
