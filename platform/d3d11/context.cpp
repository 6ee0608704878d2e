#include "d3d11/context.h"

#include <algorithm>

#include "d3d11/buffer.h"
#include "d3d11/format.h"
#include "d3d11/state.h"
#include "d3d11/texture.h"

namespace platform::d3d11 {
namespace {

constexpr UINT kTextureUnits = 2 * kVertexTextureUnitBase;
constexpr uint64_t kUnknown = ~uint64_t{0};
constexpr UINT kMapFlagDoNotWait = 0x100000;  // D3D11_MAP_FLAG_DO_NOT_WAIT: every Map here returns at once

// An internal reference the context holds on something bound to it: it keeps the object alive without
// showing in the count the program sees.
template <class T>
class Held {
 public:
  Held() = default;
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ~Held() {
    if (object_) object_->ReleaseInternalRef();
  }
  // True when the binding changed.
  bool Set(T* object) {
    if (object == object_) return false;
    if (object) object->AddInternalRef();
    T* old = object_;
    object_ = object;
    if (old) old->ReleaseInternalRef();
    return true;
  }
  T* get() const { return object_; }

 private:
  T* object_ = nullptr;
};

GLenum PrimitiveMode(D3D11_PRIMITIVE_TOPOLOGY topology) {
  switch (topology) {
    case D3D11_PRIMITIVE_TOPOLOGY_POINTLIST: return GL_POINTS;
    case D3D11_PRIMITIVE_TOPOLOGY_LINELIST: return GL_LINES;
    case D3D11_PRIMITIVE_TOPOLOGY_LINESTRIP: return GL_LINE_STRIP;
    case D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST: return GL_TRIANGLES;
    case D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    default: return GL_NONE;
  }
}

// Whether [start, start + count) lies within a bank of slotCount slots.
bool SlotsInRange(UINT start, UINT count, UINT slotCount) { return start <= slotCount && count <= slotCount - start; }

}  // namespace

struct DeviceContext::StageBindings {
  Held<Buffer> constantBuffers[D3D11_COMMONSHADER_CONSTANT_BUFFER_API_SLOT_COUNT];
  Held<ShaderResourceView> views[D3D11_COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT];
  Held<SamplerState> samplers[D3D11_COMMONSHADER_SAMPLER_SLOT_COUNT];
};

struct DeviceContext::Bindings {
  StageBindings vs, ps;
  Held<VertexShader> vertexShader;
  Held<PixelShader> pixelShader;
  Held<InputLayout> layout;
  Held<Buffer> vertexBuffers[D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT];
  UINT strides[D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT] = {};
  UINT offsets[D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT] = {};
  Held<Buffer> indexBuffer;
  GLenum indexType = GL_NONE;
  UINT indexSize = 0;
  UINT indexOffset = 0;
  GLenum mode = GL_NONE;
  Held<RenderTargetView> targets[D3D11_SIMULTANEOUS_RENDER_TARGET_COUNT];
  Held<DepthStencilView> depth;
  Held<RasterizerState> rasterizer;
  D3D11_VIEWPORT viewports[D3D11_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE] = {};
  UINT viewportCount = 0;

  // What OpenGL holds, as far as it differs from the record above.
  bool programsDirty = true;
  bool vertexArrayDirty = true;
  bool framebufferDirty = true;
  bool rasterizerDirty = true;
  bool viewportsDirty = true;
  bool restartDirty = true;
  uint64_t emptyArrayIndexBufferId = 0;
  uint64_t unitTexture[kTextureUnits];  // view ids; 0 = the zero texture
  uint64_t unitSampler[kTextureUnits];  // sampler ids; 0 = the default sampler

  Bindings() {
    std::fill(std::begin(unitTexture), std::end(unitTexture), kUnknown);
    std::fill(std::begin(unitSampler), std::end(unitSampler), kUnknown);
  }
};

DeviceContext::DeviceContext(Device& device) : device_(device), bindings_(new Bindings) {
  device.Gl().MakeCurrent();
  glCreateProgramPipelines(1, &pipeline_);
  glBindProgramPipeline(pipeline_);
  glCreateFramebuffers(1, &framebuffer_);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer_);
  glCreateVertexArrays(1, &emptyVertexArray_);
}

DeviceContext::~DeviceContext() {
  bindings_.reset();
  if (device_.Gl().MakeCurrent()) {
    glDeleteProgramPipelines(1, &pipeline_);
    glDeleteFramebuffers(1, &framebuffer_);
    glDeleteVertexArrays(1, &emptyVertexArray_);
  }
}

void DeviceContext::ClearState() { bindings_.reset(new Bindings); }

HRESULT DeviceContext::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  if (riid == __uuidof(IUnknown) || riid == __uuidof(ID3D11DeviceChild) || riid == __uuidof(ID3D11DeviceContext)) {
    AddRef();
    *ppvObject = static_cast<ID3D11DeviceContext*>(this);
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

void DeviceContext::GetDevice(ID3D11Device** ppDevice) {
  if (!ppDevice) return;
  device_.AddRef();
  *ppDevice = &device_;
}

// ---- shader stages ----

void DeviceContext::SetConstantBuffers(StageBindings& stage, UINT start, UINT count, ID3D11Buffer* const* buffers) {
  if (!SlotsInRange(start, count, D3D11_COMMONSHADER_CONSTANT_BUFFER_API_SLOT_COUNT) || (count && !buffers)) return;
  for (UINT i = 0; i < count; ++i) {
    auto* buffer = static_cast<Buffer*>(buffers[i]);
    // Only constant buffers live where the draw reads them from; anything else binds nothing.
    D3D11_BUFFER_DESC desc = {};
    if (buffer) buffer->GetDesc(&desc);
    stage.constantBuffers[start + i].Set(desc.BindFlags & D3D11_BIND_CONSTANT_BUFFER ? buffer : nullptr);
  }
}

void DeviceContext::VSSetConstantBuffers(UINT StartSlot, UINT NumBuffers, ID3D11Buffer* const* ppConstantBuffers) {
  SetConstantBuffers(bindings_->vs, StartSlot, NumBuffers, ppConstantBuffers);
}

void DeviceContext::PSSetConstantBuffers(UINT StartSlot, UINT NumBuffers, ID3D11Buffer* const* ppConstantBuffers) {
  SetConstantBuffers(bindings_->ps, StartSlot, NumBuffers, ppConstantBuffers);
}

void DeviceContext::PSSetShaderResources(UINT StartSlot, UINT NumViews,
                                         ID3D11ShaderResourceView* const* ppShaderResourceViews) {
  if (!SlotsInRange(StartSlot, NumViews, D3D11_COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT) ||
      (NumViews && !ppShaderResourceViews))
    return;
  for (UINT i = 0; i < NumViews; ++i)
    bindings_->ps.views[StartSlot + i].Set(static_cast<ShaderResourceView*>(ppShaderResourceViews[i]));
}

void DeviceContext::PSSetSamplers(UINT StartSlot, UINT NumSamplers, ID3D11SamplerState* const* ppSamplers) {
  if (!SlotsInRange(StartSlot, NumSamplers, D3D11_COMMONSHADER_SAMPLER_SLOT_COUNT) || (NumSamplers && !ppSamplers))
    return;
  for (UINT i = 0; i < NumSamplers; ++i)
    bindings_->ps.samplers[StartSlot + i].Set(static_cast<SamplerState*>(ppSamplers[i]));
}

void DeviceContext::VSSetShader(ID3D11VertexShader* pVertexShader, ID3D11ClassInstance* const*, UINT) {
  if (bindings_->vertexShader.Set(static_cast<VertexShader*>(pVertexShader))) bindings_->programsDirty = true;
}

void DeviceContext::PSSetShader(ID3D11PixelShader* pPixelShader, ID3D11ClassInstance* const*, UINT) {
  if (bindings_->pixelShader.Set(static_cast<PixelShader*>(pPixelShader))) bindings_->programsDirty = true;
}

// ---- input assembler ----

void DeviceContext::IASetInputLayout(ID3D11InputLayout* pInputLayout) {
  if (bindings_->layout.Set(static_cast<InputLayout*>(pInputLayout))) bindings_->vertexArrayDirty = true;
}

void DeviceContext::IASetVertexBuffers(UINT StartSlot, UINT NumBuffers, ID3D11Buffer* const* ppVertexBuffers,
                                       const UINT* pStrides, const UINT* pOffsets) {
  if (!SlotsInRange(StartSlot, NumBuffers, D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT) ||
      (NumBuffers && (!ppVertexBuffers || !pStrides || !pOffsets)))
    return;
  Bindings& b = *bindings_;
  for (UINT i = 0; i < NumBuffers; ++i) {
    b.vertexBuffers[StartSlot + i].Set(static_cast<Buffer*>(ppVertexBuffers[i]));
    b.strides[StartSlot + i] = pStrides[i];
    b.offsets[StartSlot + i] = pOffsets[i];
  }
}

void DeviceContext::IASetIndexBuffer(ID3D11Buffer* pIndexBuffer, DXGI_FORMAT Format, UINT Offset) {
  Bindings& b = *bindings_;
  const UINT size = IndexFormatSize(Format);
  b.indexBuffer.Set(size || !pIndexBuffer ? static_cast<Buffer*>(pIndexBuffer) : nullptr);
  b.indexSize = size;
  b.indexType = size == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT;
  b.indexOffset = Offset;
}

void DeviceContext::IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY Topology) {
  Bindings& b = *bindings_;
  const GLenum mode = PrimitiveMode(Topology);
  if (mode != b.mode) b.restartDirty = true;
  b.mode = mode;
}

// ---- rasterizer and output merger ----

void DeviceContext::RSSetState(ID3D11RasterizerState* pRasterizerState) {
  if (bindings_->rasterizer.Set(static_cast<RasterizerState*>(pRasterizerState))) bindings_->rasterizerDirty = true;
}

void DeviceContext::RSSetViewports(UINT NumViewports, const D3D11_VIEWPORT* pViewports) {
  if (NumViewports > D3D11_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE || (NumViewports && !pViewports)) return;
  Bindings& b = *bindings_;
  std::copy(pViewports, pViewports + NumViewports, b.viewports);
  b.viewportCount = NumViewports;
  b.viewportsDirty = true;
}

void DeviceContext::OMSetRenderTargets(UINT NumViews, ID3D11RenderTargetView* const* ppRenderTargetViews,
                                       ID3D11DepthStencilView* pDepthStencilView) {
  if (NumViews > D3D11_SIMULTANEOUS_RENDER_TARGET_COUNT || (NumViews && !ppRenderTargetViews)) return;
  Bindings& b = *bindings_;
  for (UINT i = 0; i < D3D11_SIMULTANEOUS_RENDER_TARGET_COUNT; ++i)
    b.targets[i].Set(i < NumViews ? static_cast<RenderTargetView*>(ppRenderTargetViews[i]) : nullptr);
  b.depth.Set(static_cast<DepthStencilView*>(pDepthStencilView));
  b.framebufferDirty = true;
}

void DeviceContext::ClearRenderTargetView(ID3D11RenderTargetView* pRenderTargetView, const FLOAT ColorRGBA[4]) {
  if (!pRenderTargetView || !ColorRGBA || !device_.Gl().MakeCurrent()) return;
  glClearNamedFramebufferfv(static_cast<RenderTargetView*>(pRenderTargetView)->Framebuffer(), GL_COLOR, 0, ColorRGBA);
}

void DeviceContext::ClearDepthStencilView(ID3D11DepthStencilView* pDepthStencilView, UINT ClearFlags, FLOAT Depth,
                                          UINT8) {
  // Depth formats here have no stencil, so D3D11_CLEAR_STENCIL has nothing to clear.
  if (!pDepthStencilView || !(ClearFlags & D3D11_CLEAR_DEPTH) || !device_.Gl().MakeCurrent()) return;
  const GLfloat depth = std::clamp(Depth, 0.0f, 1.0f);
  glClearNamedFramebufferfv(static_cast<DepthStencilView*>(pDepthStencilView)->Framebuffer(), GL_DEPTH, 0, &depth);
}

// ---- resources ----

HRESULT DeviceContext::Map(ID3D11Resource* pResource, UINT Subresource, D3D11_MAP MapType, UINT MapFlags,
                           D3D11_MAPPED_SUBRESOURCE* pMappedResource) {
  if (MapFlags & ~kMapFlagDoNotWait) {
    if (pMappedResource) *pMappedResource = {};
    return E_INVALIDARG;
  }
  if (Buffer* buffer = AsBuffer(pResource)) return buffer->Map(Subresource, MapType, pMappedResource);
  if (Texture2D* texture = AsTexture2D(pResource)) return texture->Map(Subresource, MapType, pMappedResource);
  if (pMappedResource) *pMappedResource = {};
  return E_INVALIDARG;
}

void DeviceContext::Unmap(ID3D11Resource* pResource, UINT Subresource) {
  if (Buffer* buffer = AsBuffer(pResource))
    buffer->Unmap(Subresource);
  else if (Texture2D* texture = AsTexture2D(pResource))
    texture->Unmap(Subresource);
}

void DeviceContext::CopyResource(ID3D11Resource* pDstResource, ID3D11Resource* pSrcResource) {
  Buffer* dstBuffer = AsBuffer(pDstResource);
  Buffer* srcBuffer = AsBuffer(pSrcResource);
  Texture2D* dstTexture = AsTexture2D(pDstResource);
  Texture2D* srcTexture = AsTexture2D(pSrcResource);
  if (dstBuffer && srcBuffer)
    dstBuffer->CopyFrom(*srcBuffer);
  else if (dstTexture && srcTexture)
    dstTexture->CopyFrom(*srcTexture);
}

// ---- drawing ----

void DeviceContext::DrawIndexed(UINT IndexCount, UINT StartIndexLocation, INT BaseVertexLocation) {
  if (IndexCount == 0 || !device_.Gl().MakeCurrent() || !PrepareDraw()) return;
  const Bindings& b = *bindings_;
  // Indices past the end of the buffer are never read (Direct3D reads them as 0): draw what is there.
  const uint64_t size = b.indexBuffer.get()->Size();
  const uint64_t available = size > b.indexOffset ? (size - b.indexOffset) / b.indexSize : 0;
  if (StartIndexLocation >= available) return;
  const uint64_t count = std::min<uint64_t>(IndexCount, available - StartIndexLocation);
  const uintptr_t offset = b.indexOffset + uintptr_t{StartIndexLocation} * b.indexSize;
  glDrawElementsBaseVertex(b.mode, static_cast<GLsizei>(count), b.indexType, reinterpret_cast<const void*>(offset),
                           BaseVertexLocation);
}

bool DeviceContext::PrepareDraw() {
  Bindings& b = *bindings_;
  VertexShader* vs = b.vertexShader.get();
  PixelShader* ps = b.pixelShader.get();
  Buffer* indexBuffer = b.indexBuffer.get();
  if (!vs || !indexBuffer || !indexBuffer->Name() || b.mode == GL_NONE) return false;

  InputLayout* layout = b.layout.get();
  const GLuint vertexArray = layout ? layout->VertexArray() : emptyVertexArray_;
  if (b.vertexArrayDirty) {
    glBindVertexArray(vertexArray);
    b.vertexArrayDirty = false;
  }
  if (layout && !AttachVertexBuffers(*layout)) return false;
  uint64_t& attachedIndexBuffer = layout ? layout->attachedIndexBufferId : b.emptyArrayIndexBufferId;
  if (attachedIndexBuffer != indexBuffer->Id()) {
    glVertexArrayElementBuffer(vertexArray, indexBuffer->Name());
    attachedIndexBuffer = indexBuffer->Id();
  }

  if (b.programsDirty) {
    glUseProgramStages(pipeline_, GL_VERTEX_SHADER_BIT, vs->Program());
    glUseProgramStages(pipeline_, GL_FRAGMENT_SHADER_BIT, ps ? ps->Program() : 0);
    b.programsDirty = false;
  }
  if (b.framebufferDirty) ApplyFramebuffer();
  if (b.rasterizerDirty) ApplyRasterizerState();
  if (b.viewportsDirty) ApplyViewports();
  if (b.restartDirty) {
    // Strips restart at the all-ones index, as Direct3D's do. Lists have nothing to restart, and leaving
    // restart off for them keeps the driver from scanning their indices.
    if (b.mode == GL_LINE_STRIP || b.mode == GL_TRIANGLE_STRIP)
      glEnable(GL_PRIMITIVE_RESTART_FIXED_INDEX);
    else
      glDisable(GL_PRIMITIVE_RESTART_FIXED_INDEX);
    b.restartDirty = false;
  }

  UploadConstants(vs->Program(), vs->ConstantBuffers(), b.vs);
  ApplyTextures(vs->Textures(), b.vs);
  if (ps) {
    UploadConstants(ps->Program(), ps->ConstantBuffers(), b.ps);
    ApplyTextures(ps->Textures(), b.ps);
  }
  return true;
}

// Each slot the layout reads must have an OpenGL vertex buffer (Direct3D would read zeros from an empty
// slot; here the draw is skipped).
bool DeviceContext::AttachVertexBuffers(InputLayout& layout) {
  const Bindings& b = *bindings_;
  for (UINT mask = layout.SlotMask(); mask; mask &= mask - 1) {
    const UINT slot = static_cast<UINT>(__builtin_ctz(mask));
    const Buffer* buffer = b.vertexBuffers[slot].get();
    if (!buffer || !buffer->Name()) return false;
    InputLayout::Attached& attached = layout.attachedVertexBuffers[slot];
    if (attached.bufferId != buffer->Id() || attached.offset != b.offsets[slot] || attached.stride != b.strides[slot]) {
      glVertexArrayVertexBuffer(layout.VertexArray(), slot, buffer->Name(), b.offsets[slot],
                                static_cast<GLsizei>(b.strides[slot]));
      attached = {buffer->Id(), b.offsets[slot], b.strides[slot]};
    }
  }
  return true;
}

void DeviceContext::ApplyFramebuffer() {
  Bindings& b = *bindings_;
  GLenum drawBuffers[D3D11_SIMULTANEOUS_RENDER_TARGET_COUNT];
  GLsizei drawBufferCount = 0;  // up to the last bound target: trailing GL_NONEs still cost the driver
  for (UINT i = 0; i < D3D11_SIMULTANEOUS_RENDER_TARGET_COUNT; ++i) {
    const RenderTargetView* view = b.targets[i].get();
    glNamedFramebufferTexture(framebuffer_, GL_COLOR_ATTACHMENT0 + i, view ? view->Texture().Name() : 0,
                              view ? static_cast<GLint>(view->Level()) : 0);
    drawBuffers[i] = view ? GL_COLOR_ATTACHMENT0 + i : GL_NONE;
    if (view) drawBufferCount = static_cast<GLsizei>(i + 1);
  }
  if (drawBufferCount > 0)
    glNamedFramebufferDrawBuffers(framebuffer_, drawBufferCount, drawBuffers);
  else
    glNamedFramebufferDrawBuffer(framebuffer_, GL_NONE);
  const DepthStencilView* depth = b.depth.get();
  glNamedFramebufferTexture(framebuffer_, GL_DEPTH_ATTACHMENT, depth ? depth->Texture().Name() : 0,
                            depth ? static_cast<GLint>(depth->Level()) : 0);
  b.framebufferDirty = false;
}

void DeviceContext::ApplyRasterizerState() {
  Bindings& b = *bindings_;
  const D3D11_RASTERIZER_DESC& d = b.rasterizer.get() ? b.rasterizer.get()->Desc() : RasterizerState::Default();
  if (d.CullMode == D3D11_CULL_NONE) {
    glDisable(GL_CULL_FACE);
  } else {
    glEnable(GL_CULL_FACE);
    glCullFace(d.CullMode == D3D11_CULL_FRONT ? GL_FRONT : GL_BACK);
  }
  // With the top-left clip-control origin OpenGL judges winding on the target as Direct3D does.
  glFrontFace(d.FrontCounterClockwise ? GL_CCW : GL_CW);
  if (d.DepthClipEnable)
    glDisable(GL_DEPTH_CLAMP);
  else
    glEnable(GL_DEPTH_CLAMP);
  glPolygonMode(GL_FRONT_AND_BACK, d.FillMode == D3D11_FILL_WIREFRAME ? GL_LINE : GL_FILL);
  const bool bias = d.DepthBias != 0 || d.SlopeScaledDepthBias != 0.0f;
  const GLenum offsetCap = d.FillMode == D3D11_FILL_WIREFRAME ? GL_POLYGON_OFFSET_LINE : GL_POLYGON_OFFSET_FILL;
  glDisable(GL_POLYGON_OFFSET_FILL);
  glDisable(GL_POLYGON_OFFSET_LINE);
  if (bias) {
    glEnable(offsetCap);
    glPolygonOffset(d.SlopeScaledDepthBias, static_cast<GLfloat>(d.DepthBias));
  }
  b.rasterizerDirty = false;
}

void DeviceContext::ApplyViewports() {
  Bindings& b = *bindings_;
  // Without viewports Direct3D rasterizes nothing: an empty viewport does the same.
  if (b.viewportCount == 0) glViewportIndexedf(0, 0.0f, 0.0f, 0.0f, 0.0f);
  for (UINT i = 0; i < b.viewportCount; ++i) {
    const D3D11_VIEWPORT& v = b.viewports[i];
    // With the top-left origin, OpenGL's viewport y is measured from the top row, like TopLeftY.
    glViewportIndexedf(i, v.TopLeftX, v.TopLeftY, v.Width, v.Height);
    glDepthRangeIndexed(i, v.MinDepth, v.MaxDepth);
  }
  b.viewportsDirty = false;
}

void DeviceContext::UploadConstants(GLuint program, std::vector<ConstantBufferBinding>& constantBuffers,
                                    const StageBindings& stage) {
  // An empty slot reads as zeros, as in Direct3D.
  static const GLfloat kZeros[D3D11_REQ_CONSTANT_BUFFER_ELEMENT_COUNT * 4] = {};
  for (ConstantBufferBinding& cb : constantBuffers) {
    const Buffer* buffer = stage.constantBuffers[cb.slot].get();
    const uint64_t stamp = buffer ? buffer->Stamp() : kZerosStamp;
    if (stamp == cb.uploadedStamp) continue;
    const GLsizei count = buffer ? std::min(cb.vec4Count, static_cast<GLsizei>(buffer->Size() / 16)) : cb.vec4Count;
    glProgramUniform4fv(program, cb.location, count,
                        buffer ? static_cast<const GLfloat*>(buffer->Memory()) : kZeros);
    cb.uploadedStamp = stamp;
  }
}

void DeviceContext::ApplyTextures(const std::vector<TextureBinding>& textures, const StageBindings& stage) {
  Bindings& b = *bindings_;
  const GlContext& gl = device_.Gl();
  for (const TextureBinding& t : textures) {
    const ShaderResourceView* view = stage.views[t.textureSlot].get();
    const uint64_t viewId = view ? view->Id() : 0;
    if (b.unitTexture[t.unit] != viewId) {
      glBindTextureUnit(t.unit, view ? view->SampledName() : gl.ZeroTexture());
      b.unitTexture[t.unit] = viewId;
    }
    const SamplerState* sampler =
        t.samplerSlot == ShaderSampledTexture::kNoSampler ? nullptr : stage.samplers[t.samplerSlot].get();
    const uint64_t samplerId = sampler ? sampler->Id() : 0;
    if (b.unitSampler[t.unit] != samplerId) {
      glBindSampler(t.unit, sampler ? sampler->Name() : gl.DefaultSampler());
      b.unitSampler[t.unit] = samplerId;
    }
  }
}

}  // namespace platform::d3d11
