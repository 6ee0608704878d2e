// How each DXGI format the layer accepts is stored in OpenGL: texture formats, vertex attribute formats
// and index formats.
#pragma once

#include <GL/glcorearb.h>
#include <dxgiformat.h>
#include <windef.h>

namespace platform::d3d11 {

struct TextureFormat {
  GLenum internalFormat;  // for glTextureStorage2D
  GLenum format;          // pixel transfer format and type for uploads and read-backs
  GLenum type;
  UINT bytesPerPixel;
  bool depth;
};

// Null for formats textures cannot have.
const TextureFormat* FindTextureFormat(DXGI_FORMAT format);

struct VertexFormat {
  GLint components;
  GLenum type;
  GLboolean normalized;
  UINT bytes;
};

// Null for formats vertex elements cannot have.
const VertexFormat* FindVertexFormat(DXGI_FORMAT format);

// The index size in bytes (2 or 4), or 0 for any other format.
UINT IndexFormatSize(DXGI_FORMAT format);

}  // namespace platform::d3d11
