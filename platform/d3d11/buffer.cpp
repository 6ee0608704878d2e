#include "d3d11/buffer.h"

#include <string.h>

#include <new>

#include "d3d11/resource.h"

namespace platform::d3d11 {
namespace {

constexpr UINT kMaxConstantBufferBytes = D3D11_REQ_CONSTANT_BUFFER_ELEMENT_COUNT * 16;
constexpr UINT kKnownBindFlags = D3D11_BIND_VERTEX_BUFFER | D3D11_BIND_INDEX_BUFFER | D3D11_BIND_CONSTANT_BUFFER |
                                 D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_STREAM_OUTPUT |
                                 D3D11_BIND_UNORDERED_ACCESS;

bool DescAllowed(const D3D11_BUFFER_DESC& desc, bool hasInitialData) {
  if (desc.ByteWidth == 0 || (desc.BindFlags & ~kKnownBindFlags)) return false;
  if (desc.BindFlags & D3D11_BIND_CONSTANT_BUFFER) {
    // A constant buffer is nothing else, in whole float4 registers, at most 4096 of them.
    if (desc.BindFlags != D3D11_BIND_CONSTANT_BUFFER || desc.ByteWidth % 16 != 0 ||
        desc.ByteWidth > kMaxConstantBufferBytes)
      return false;
  }
  return UsageAllowed(desc.Usage, desc.BindFlags, desc.CPUAccessFlags, hasInitialData);
}

}  // namespace

Buffer* AsBuffer(ID3D11Resource* resource) {
  D3D11_RESOURCE_DIMENSION type = D3D11_RESOURCE_DIMENSION_UNKNOWN;
  if (resource) resource->GetType(&type);
  if (type != D3D11_RESOURCE_DIMENSION_BUFFER) return nullptr;
  return static_cast<Buffer*>(static_cast<ID3D11Buffer*>(resource));
}

HRESULT Buffer::Create(Device& device, const D3D11_BUFFER_DESC* pDesc, const D3D11_SUBRESOURCE_DATA* pInitialData,
                       ID3D11Buffer** ppBuffer) {
  ClearOut(ppBuffer);
  if (!pDesc || (pInitialData && !pInitialData->pSysMem) || !DescAllowed(*pDesc, pInitialData != nullptr))
    return E_INVALIDARG;
  if (!ppBuffer) return S_FALSE;
  Buffer* buffer = new (std::nothrow) Buffer(device, *pDesc);
  if (HRESULT hr = PrepareNew(buffer); FAILED(hr)) return hr;
  if (!(pDesc->BindFlags & D3D11_BIND_CONSTANT_BUFFER) && pDesc->Usage != D3D11_USAGE_STAGING) {
    glCreateBuffers(1, &buffer->name_);
    glNamedBufferData(buffer->name_, pDesc->ByteWidth, nullptr,
                      pDesc->Usage == D3D11_USAGE_DYNAMIC ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
  }
  if (buffer->InSystemMemoryOnly() || pDesc->Usage == D3D11_USAGE_DYNAMIC) buffer->memory_.resize(pDesc->ByteWidth);
  if (pInitialData) buffer->Write(pInitialData->pSysMem);
  *ppBuffer = buffer;
  return S_OK;
}

Buffer::Buffer(Device& device, const D3D11_BUFFER_DESC& desc)
    : DeviceChild(device), desc_(desc), stamp_(NextContentStamp()) {}

Buffer::~Buffer() {
  if (name_ && MakeCurrent()) glDeleteBuffers(1, &name_);
}

void Buffer::Write(const void* bytes) {
  if (!memory_.empty()) memcpy(memory_.data(), bytes, memory_.size());
  if (name_) glNamedBufferSubData(name_, 0, desc_.ByteWidth, bytes);
  stamp_ = NextContentStamp();
}

void Buffer::Read(void* bytes) const {
  if (name_)
    glGetNamedBufferSubData(name_, 0, desc_.ByteWidth, bytes);
  else
    memcpy(bytes, memory_.data(), memory_.size());
}

HRESULT Buffer::Map(UINT subresource, D3D11_MAP mapType, D3D11_MAPPED_SUBRESOURCE* mapped) {
  if (mapped) *mapped = {};
  const bool noOverwrite = !(desc_.BindFlags & D3D11_BIND_CONSTANT_BUFFER);
  if (!mapped || subresource != 0 || mapped_ || !MapAllowed(desc_.Usage, desc_.CPUAccessFlags, mapType, noOverwrite))
    return E_INVALIDARG;
  mapped_ = true;
  mapType_ = mapType;
  mapped->pData = memory_.data();
  mapped->RowPitch = desc_.ByteWidth;
  mapped->DepthPitch = desc_.ByteWidth;
  return S_OK;
}

void Buffer::Unmap(UINT subresource) {
  if (subresource != 0 || !mapped_) return;
  mapped_ = false;
  if (mapType_ == D3D11_MAP_READ) return;
  stamp_ = NextContentStamp();
  // Orphaning the old storage keeps draws already queued on it from stalling this upload.
  if (name_ && MakeCurrent()) glNamedBufferData(name_, desc_.ByteWidth, memory_.data(), GL_DYNAMIC_DRAW);
}

void Buffer::CopyFrom(const Buffer& source) {
  if (&source == this || source.desc_.ByteWidth != desc_.ByteWidth || mapped_ || source.mapped_ ||
      desc_.Usage == D3D11_USAGE_IMMUTABLE || !MakeCurrent())
    return;
  if (name_ && source.name_) {
    glCopyNamedBufferSubData(source.name_, name_, 0, 0, desc_.ByteWidth);
  } else if (name_) {
    Write(source.memory_.data());
  } else {
    source.Read(memory_.data());
    stamp_ = NextContentStamp();
  }
}

}  // namespace platform::d3d11
