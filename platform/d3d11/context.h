// ID3D11DeviceContext: the immediate context.
//
// Setters only record what is bound (holding a reference to each object); DrawIndexed turns the record
// into OpenGL state, touching only what changed since the last draw: the program pipeline's stages, the
// vertex array and its buffers, the framebuffer's attachments, the rasterizer state, the viewports, the
// texture units and samplers, and the constant-buffer uniforms whose buffer contents changed since they
// were last uploaded to that program.
#pragma once

#include <memory>

#include "d3d11/device.h"
#include "d3d11/shader.h"

namespace platform::d3d11 {

class Buffer;
class RasterizerState;
class SamplerState;
class ShaderResourceView;
template <class Interface>
class AttachmentView;
using RenderTargetView = AttachmentView<ID3D11RenderTargetView>;
using DepthStencilView = AttachmentView<ID3D11DepthStencilView>;

class DeviceContext final : public ID3D11DeviceContext {
 public:
  explicit DeviceContext(Device& device);
  ~DeviceContext();
  DeviceContext(const DeviceContext&) = delete;
  DeviceContext& operator=(const DeviceContext&) = delete;

  // Unbinds everything, releasing what was held.
  void ClearState();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return device_.AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return device_.Release(); }
  void STDMETHODCALLTYPE GetDevice(ID3D11Device** ppDevice) override;

  void STDMETHODCALLTYPE VSSetConstantBuffers(UINT StartSlot, UINT NumBuffers,
                                              ID3D11Buffer* const* ppConstantBuffers) override;
  void STDMETHODCALLTYPE PSSetShaderResources(UINT StartSlot, UINT NumViews,
                                              ID3D11ShaderResourceView* const* ppShaderResourceViews) override;
  void STDMETHODCALLTYPE PSSetShader(ID3D11PixelShader* pPixelShader, ID3D11ClassInstance* const* ppClassInstances,
                                     UINT NumClassInstances) override;
  void STDMETHODCALLTYPE PSSetSamplers(UINT StartSlot, UINT NumSamplers,
                                       ID3D11SamplerState* const* ppSamplers) override;
  void STDMETHODCALLTYPE VSSetShader(ID3D11VertexShader* pVertexShader, ID3D11ClassInstance* const* ppClassInstances,
                                     UINT NumClassInstances) override;
  void STDMETHODCALLTYPE DrawIndexed(UINT IndexCount, UINT StartIndexLocation, INT BaseVertexLocation) override;
  HRESULT STDMETHODCALLTYPE Map(ID3D11Resource* pResource, UINT Subresource, D3D11_MAP MapType, UINT MapFlags,
                                D3D11_MAPPED_SUBRESOURCE* pMappedResource) override;
  void STDMETHODCALLTYPE Unmap(ID3D11Resource* pResource, UINT Subresource) override;
  void STDMETHODCALLTYPE PSSetConstantBuffers(UINT StartSlot, UINT NumBuffers,
                                              ID3D11Buffer* const* ppConstantBuffers) override;
  void STDMETHODCALLTYPE IASetInputLayout(ID3D11InputLayout* pInputLayout) override;
  void STDMETHODCALLTYPE IASetVertexBuffers(UINT StartSlot, UINT NumBuffers, ID3D11Buffer* const* ppVertexBuffers,
                                            const UINT* pStrides, const UINT* pOffsets) override;
  void STDMETHODCALLTYPE IASetIndexBuffer(ID3D11Buffer* pIndexBuffer, DXGI_FORMAT Format, UINT Offset) override;
  void STDMETHODCALLTYPE IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY Topology) override;
  void STDMETHODCALLTYPE OMSetRenderTargets(UINT NumViews, ID3D11RenderTargetView* const* ppRenderTargetViews,
                                            ID3D11DepthStencilView* pDepthStencilView) override;
  void STDMETHODCALLTYPE RSSetState(ID3D11RasterizerState* pRasterizerState) override;
  void STDMETHODCALLTYPE RSSetViewports(UINT NumViewports, const D3D11_VIEWPORT* pViewports) override;
  void STDMETHODCALLTYPE CopyResource(ID3D11Resource* pDstResource, ID3D11Resource* pSrcResource) override;
  void STDMETHODCALLTYPE ClearRenderTargetView(ID3D11RenderTargetView* pRenderTargetView,
                                               const FLOAT ColorRGBA[4]) override;
  void STDMETHODCALLTYPE ClearDepthStencilView(ID3D11DepthStencilView* pDepthStencilView, UINT ClearFlags,
                                               FLOAT Depth, UINT8 Stencil) override;

 private:
  struct Bindings;
  struct StageBindings;
  void SetConstantBuffers(StageBindings& stage, UINT start, UINT count, ID3D11Buffer* const* buffers);
  // Brings OpenGL up to the recorded state; false when the draw must be skipped.
  bool PrepareDraw();
  bool AttachVertexBuffers(InputLayout& layout);
  void ApplyFramebuffer();
  void ApplyRasterizerState();
  void ApplyViewports();
  void ApplyTextures(const std::vector<TextureBinding>& textures, const StageBindings& stage);
  static void UploadConstants(GLuint program, std::vector<ConstantBufferBinding>& constantBuffers,
                              const StageBindings& stage);

  Device& device_;
  std::unique_ptr<Bindings> bindings_;
  GLuint pipeline_ = 0;
  GLuint framebuffer_ = 0;
  GLuint emptyVertexArray_ = 0;
};

}  // namespace platform::d3d11
