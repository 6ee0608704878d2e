// The viewer's scene read back through Direct3D 11 from the program's own record (g_app, after InitWindow
// and InitDevice), for the raw OpenGL reference: buffers and textures through staging copies, the shader
// code from the same compile of Fog.hlsl (from the current directory), the constants RenderFrame writes.
#pragma once

#include <windows.h>
#include <d3d11.h>

#include "RawScene.h"
#include "app/Application.h"

// Drop-in owner of one COM reference.
template <class T>
struct Released {
  T* p = nullptr;
  Released() = default;
  Released(const Released&) = delete;
  Released& operator=(const Released&) = delete;
  ~Released() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
};

// Reads the mip levels of a 2D texture with 4-byte pixels through a staging texture made once, so that
// repeated reads cost a copy and a map, not a new resource.
class TextureReader {
 public:
  explicit TextureReader(ID3D11Texture2D* texture);
  ~TextureReader();
  TextureReader(const TextureReader&) = delete;
  TextureReader& operator=(const TextureReader&) = delete;

  UINT Levels() const { return levels_; }
  // Level 0 copies the texture to the staging one first.
  const Image& Read(UINT level = 0);

 private:
  ID3D11Texture2D* texture_;
  Released<ID3D11Texture2D> staging_;
  UINT levels_ = 1;
  int width_ = 0;
  int height_ = 0;
  Image image_;
};

// The constants RenderFrame writes for the application's current camera, light and fog.
RawFrame ComputeFrame(const Application& app);

// Everything the reference needs to draw g_app's scene as the viewer does.
RawScene ReadViewerScene();
