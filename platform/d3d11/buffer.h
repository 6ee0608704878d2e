// ID3D11Buffer.
//
// Vertex and index buffers live in OpenGL buffer objects (a DYNAMIC one keeps a system-memory copy that
// Map hands out and Unmap uploads whole). Constant buffers and STAGING buffers live in system memory:
// constant buffers are uploaded into each program's uniform arrays at draw time, only when their content
// stamp differs from the one last uploaded there; STAGING buffers are filled by CopyResource at once.
#pragma once

#include <vector>

#include "d3d11/device.h"

namespace platform::d3d11 {

class Buffer final : public DeviceChild<ID3D11Buffer, ID3D11Resource> {
 public:
  static HRESULT Create(Device& device, const D3D11_BUFFER_DESC* pDesc, const D3D11_SUBRESOURCE_DATA* pInitialData,
                        ID3D11Buffer** ppBuffer);
  ~Buffer() override;

  void STDMETHODCALLTYPE GetType(D3D11_RESOURCE_DIMENSION* pResourceDimension) override {
    if (pResourceDimension) *pResourceDimension = D3D11_RESOURCE_DIMENSION_BUFFER;
  }
  void STDMETHODCALLTYPE GetDesc(D3D11_BUFFER_DESC* pDesc) override {
    if (pDesc) *pDesc = desc_;
  }

  // The OpenGL buffer, or 0 for buffers kept in system memory.
  GLuint Name() const { return name_; }
  UINT Size() const { return desc_.ByteWidth; }
  // System-memory contents (constant and STAGING buffers) and their stamp.
  const void* Memory() const { return memory_.data(); }
  uint64_t Stamp() const { return stamp_; }

  HRESULT Map(UINT subresource, D3D11_MAP mapType, D3D11_MAPPED_SUBRESOURCE* mapped);
  void Unmap(UINT subresource);
  // CopyResource: sizes must match.
  void CopyFrom(const Buffer& source);

 private:
  Buffer(Device& device, const D3D11_BUFFER_DESC& desc);
  bool InSystemMemoryOnly() const { return name_ == 0; }
  // Brings system memory and the OpenGL buffer (when both exist) to the given bytes.
  void Write(const void* bytes);
  void Read(void* bytes) const;

  D3D11_BUFFER_DESC desc_;
  GLuint name_ = 0;
  std::vector<unsigned char> memory_;
  uint64_t stamp_ = 0;
  bool mapped_ = false;
  D3D11_MAP mapType_ = D3D11_MAP_READ;
};

// The Buffer behind a resource pointer, or null for textures and null.
Buffer* AsBuffer(ID3D11Resource* resource);

}  // namespace platform::d3d11
