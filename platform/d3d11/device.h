// The device: creates every object and owns the OpenGL context and the immediate context.
//
// Reference counting follows Direct3D: the device's count is what the program holds, on the device and
// on the immediate context (whose AddRef/Release are the device's). Every object created by the device
// holds an internal reference, so the device and its OpenGL context live until the last object is gone;
// when the program's count reaches zero the immediate context unbinds everything (releasing what it held).
#pragma once

#include <d3d11.h>

#include <memory>

#include "common/com_object.h"
#include "d3d11/gl_context.h"

namespace platform::d3d11 {

class DeviceContext;

// Identifiers for DeviceChild::Id: never 0, never repeated.
uint64_t NextObjectId();

class Device final : public ID3D11Device {
 public:
  // One reference, on a context with OpenGL 4.5; null when memory runs out.
  static Device* Create(std::shared_ptr<GlContext> gl, D3D_FEATURE_LEVEL level);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount_; }
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE CreateBuffer(const D3D11_BUFFER_DESC* pDesc, const D3D11_SUBRESOURCE_DATA* pInitialData,
                                         ID3D11Buffer** ppBuffer) override;
  HRESULT STDMETHODCALLTYPE CreateTexture2D(const D3D11_TEXTURE2D_DESC* pDesc,
                                            const D3D11_SUBRESOURCE_DATA* pInitialData,
                                            ID3D11Texture2D** ppTexture2D) override;
  HRESULT STDMETHODCALLTYPE CreateShaderResourceView(ID3D11Resource* pResource,
                                                     const D3D11_SHADER_RESOURCE_VIEW_DESC* pDesc,
                                                     ID3D11ShaderResourceView** ppSRView) override;
  HRESULT STDMETHODCALLTYPE CreateRenderTargetView(ID3D11Resource* pResource,
                                                   const D3D11_RENDER_TARGET_VIEW_DESC* pDesc,
                                                   ID3D11RenderTargetView** ppRTView) override;
  HRESULT STDMETHODCALLTYPE CreateDepthStencilView(ID3D11Resource* pResource,
                                                   const D3D11_DEPTH_STENCIL_VIEW_DESC* pDesc,
                                                   ID3D11DepthStencilView** ppDepthStencilView) override;
  HRESULT STDMETHODCALLTYPE CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC* pInputElementDescs, UINT NumElements,
                                              const void* pShaderBytecodeWithInputSignature, SIZE_T BytecodeLength,
                                              ID3D11InputLayout** ppInputLayout) override;
  HRESULT STDMETHODCALLTYPE CreateVertexShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                               ID3D11ClassLinkage* pClassLinkage,
                                               ID3D11VertexShader** ppVertexShader) override;
  HRESULT STDMETHODCALLTYPE CreatePixelShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                              ID3D11ClassLinkage* pClassLinkage,
                                              ID3D11PixelShader** ppPixelShader) override;
  HRESULT STDMETHODCALLTYPE CreateRasterizerState(const D3D11_RASTERIZER_DESC* pRasterizerDesc,
                                                  ID3D11RasterizerState** ppRasterizerState) override;
  HRESULT STDMETHODCALLTYPE CreateSamplerState(const D3D11_SAMPLER_DESC* pSamplerDesc,
                                               ID3D11SamplerState** ppSamplerState) override;
  D3D_FEATURE_LEVEL STDMETHODCALLTYPE GetFeatureLevel() override { return featureLevel_; }
  void STDMETHODCALLTYPE GetImmediateContext(ID3D11DeviceContext** ppImmediateContext) override;

  GlContext& Gl() const { return *gl_; }
  // Held by every object the device created.
  void AddInternalRef() { ++internalCount_; }
  void ReleaseInternalRef();

 private:
  Device(std::shared_ptr<GlContext> gl, D3D_FEATURE_LEVEL level);
  ~Device();

  ULONG refCount_ = 1;
  ULONG internalCount_ = 0;
  std::shared_ptr<GlContext> gl_;
  std::unique_ptr<DeviceContext> context_;
  D3D_FEATURE_LEVEL featureLevel_;
};

// Base of every object a device creates: reference counting, the device it belongs to, GetDevice.
template <class Primary, class... Also>
class DeviceChild : public ComObject<Primary, Also..., ID3D11DeviceChild> {
 public:
  void STDMETHODCALLTYPE GetDevice(ID3D11Device** ppDevice) override {
    if (!ppDevice) return;
    device_->AddRef();
    *ppDevice = device_;
  }
  Device& Owner() const { return *device_; }
  // Unique in the process for its lifetime and after: caches of what OpenGL has bound compare these, never
  // OpenGL names, which are reused once deleted.
  uint64_t Id() const { return id_; }
  // Makes the device's context current; false when OpenGL cannot be reached (its window is gone).
  bool MakeCurrent() const { return device_->Gl().MakeCurrent(); }

 protected:
  explicit DeviceChild(Device& device) : device_(&device), id_(NextObjectId()) { device.AddInternalRef(); }
  ~DeviceChild() override { device_->ReleaseInternalRef(); }

 private:
  Device* device_;
  uint64_t id_;
};

// Every Create* call first sets its out pointer to null, so a failure leaves nothing behind. A null out
// pointer asks only for validation: the call then returns S_FALSE instead of creating the object.
template <class T>
void ClearOut(T** out) {
  if (out) *out = nullptr;
}

// Takes an object just allocated with new (std::nothrow), null when memory ran out, and makes its device's
// context current for the OpenGL work that sets it up. On failure the object is released and the result
// says why.
template <class T>
HRESULT PrepareNew(T* object) {
  if (!object) return E_OUTOFMEMORY;
  if (!object->MakeCurrent()) {
    object->Release();
    return DXGI_ERROR_DEVICE_REMOVED;
  }
  return S_OK;
}

}  // namespace platform::d3d11
