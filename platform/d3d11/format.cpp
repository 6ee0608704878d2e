#include "d3d11/format.h"

#include <d3d11.h>

namespace platform::d3d11 {

const TextureFormat* FindTextureFormat(DXGI_FORMAT format) {
  // B8G8R8A8 is stored as RGBA and transferred as BGRA, so memory keeps Direct3D's byte order.
  static const TextureFormat kRgba8 = {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, false};
  static const TextureFormat kSrgba8 = {GL_SRGB8_ALPHA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, false};
  static const TextureFormat kBgra8 = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4, false};
  static const TextureFormat kRgba32f = {GL_RGBA32F, GL_RGBA, GL_FLOAT, 16, false};
  static const TextureFormat kR32f = {GL_R32F, GL_RED, GL_FLOAT, 4, false};
  static const TextureFormat kD32f = {GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT, GL_FLOAT, 4, true};
  switch (format) {
    case DXGI_FORMAT_R8G8B8A8_UNORM: return &kRgba8;
    case DXGI_FORMAT_R8G8B8A8_UNORM_SRGB: return &kSrgba8;
    case DXGI_FORMAT_B8G8R8A8_UNORM: return &kBgra8;
    case DXGI_FORMAT_R32G32B32A32_FLOAT: return &kRgba32f;
    case DXGI_FORMAT_R32_FLOAT: return &kR32f;
    case DXGI_FORMAT_D32_FLOAT: return &kD32f;
    default: return nullptr;
  }
}

const VertexFormat* FindVertexFormat(DXGI_FORMAT format) {
  static const VertexFormat kFloat1 = {1, GL_FLOAT, GL_FALSE, 4};
  static const VertexFormat kFloat2 = {2, GL_FLOAT, GL_FALSE, 8};
  static const VertexFormat kFloat3 = {3, GL_FLOAT, GL_FALSE, 12};
  static const VertexFormat kFloat4 = {4, GL_FLOAT, GL_FALSE, 16};
  static const VertexFormat kUnorm4 = {4, GL_UNSIGNED_BYTE, GL_TRUE, 4};
  switch (format) {
    case DXGI_FORMAT_R32_FLOAT: return &kFloat1;
    case DXGI_FORMAT_R32G32_FLOAT: return &kFloat2;
    case DXGI_FORMAT_R32G32B32_FLOAT: return &kFloat3;
    case DXGI_FORMAT_R32G32B32A32_FLOAT: return &kFloat4;
    case DXGI_FORMAT_R8G8B8A8_UNORM: return &kUnorm4;
    default: return nullptr;
  }
}

UINT IndexFormatSize(DXGI_FORMAT format) {
  switch (format) {
    case DXGI_FORMAT_R16_UINT: return 2;
    case DXGI_FORMAT_R32_UINT: return 4;
    default: return 0;
  }
}

}  // namespace platform::d3d11
