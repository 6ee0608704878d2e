// Device objects that only log their releases, so that tests can tell who releases what and in which
// order. Each carries every method of its SDK interface.
#pragma once

#include <d3d11.h>
#include <windows.h>

#include <vector>

inline std::vector<int> g_releaseLog;  // ids, in release order

template <class Interface>
class FakeDeviceChild : public Interface {
 public:
  explicit FakeDeviceChild(int id) : id_(id) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() {
    g_releaseLog.push_back(id_);
    return --references_;
  }
  void STDMETHODCALLTYPE GetDevice(ID3D11Device** device) { *device = nullptr; }
  HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, UINT*, void*) { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, UINT, const void*) { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID, const IUnknown*) { return E_NOTIMPL; }

  ULONG references() const { return references_; }

 private:
  int id_;
  ULONG references_ = 1;
};

class FakeView : public FakeDeviceChild<ID3D11ShaderResourceView> {
 public:
  using FakeDeviceChild::FakeDeviceChild;
  void STDMETHODCALLTYPE GetResource(ID3D11Resource** resource) { *resource = nullptr; }
  void STDMETHODCALLTYPE GetDesc(D3D11_SHADER_RESOURCE_VIEW_DESC* desc) { ZeroMemory(desc, sizeof(*desc)); }
};

class FakeBuffer : public FakeDeviceChild<ID3D11Buffer> {
 public:
  using FakeDeviceChild::FakeDeviceChild;
  void STDMETHODCALLTYPE GetType(D3D11_RESOURCE_DIMENSION* dimension) { *dimension = D3D11_RESOURCE_DIMENSION_BUFFER; }
  void STDMETHODCALLTYPE SetEvictionPriority(UINT) {}
  UINT STDMETHODCALLTYPE GetEvictionPriority() { return 0; }
  void STDMETHODCALLTYPE GetDesc(D3D11_BUFFER_DESC* desc) { ZeroMemory(desc, sizeof(*desc)); }
};
