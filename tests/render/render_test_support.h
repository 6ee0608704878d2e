// Support for the render tests: a private data folder as the working directory, the viewer's own start-up
// on a real window, and pixels and constant blocks read back through STAGING copies.
#pragma once

#include <windows.h>
#include <d3d11.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "app/Application.h"

// A new folder holding a copy of the viewer's data files; it is the working directory while it lives.
class DataFolder {
 public:
  DataFolder();
  ~DataFolder();
  DataFolder(const DataFolder&) = delete;
  DataFolder& operator=(const DataFolder&) = delete;

  const std::string& Path() const { return path_; }
  void Write(const std::string& name, const std::string& contents) const;
  void Remove(const std::string& name) const;

 private:
  std::string path_;
  std::string previous_;
};

// A 24-bit BMP of one colour, as bytes.
std::string SolidBmp(int width, int height, uint8_t r, uint8_t g, uint8_t b);

// A shader source that paints every surface with the material's ambient colour times the t0 texel plus its
// diffuse colour, and ignores light, fog and the shared texture, so tests can expect exact colours.
extern const char kFlatShader[];

// A model file in the loader's conventions, built from squares that face the camera (normal towards -z).
class ModelText {
 public:
  explicit ModelText(const std::string& library) : text_("mtllib " + library + "\n") {}
  // A square of material centred at world (x, y, z); a textured one spans the whole texture.
  void Square(const std::string& material, bool textured, float x, float y, float z, float halfSize);
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
  int positions_ = 0, texcoords_ = 0, normals_ = 0;
};

// The viewer set up as WinMain does it: a new Application, InitWindow and InitDevice in the working
// directory. The destructor runs Cleanup, destroys the window and deletes the record.
class ViewerSession {
 public:
  ViewerSession();
  ~ViewerSession();
  ViewerSession(const ViewerSession&) = delete;
  ViewerSession& operator=(const ViewerSession&) = delete;

  HRESULT Start();
  Application& App() { return *g_app; }
};

struct Rgb {
  int r, g, b;
};

struct Image {
  UINT width = 0, height = 0;
  std::vector<uint8_t> rgba;  // rows top to bottom

  Rgb At(UINT x, UINT y) const;
  // Mean over all pixels and channels of |pixel - colour|, in 0..255.
  double MeanDistanceTo(Rgb colour) const;
  // Pixels within tolerance of colour in every channel.
  size_t Count(Rgb colour, int tolerance) const;
  size_t DistinctColours() const;
};

// The swap chain's back buffer, copied to a STAGING texture and mapped.
Image ReadBackBuffer(Application& app);
// The bytes of a buffer, copied to a STAGING buffer and mapped.
std::vector<uint8_t> ReadBuffer(Application& app, ID3D11Buffer* buffer);
// The floats of a buffer.
std::vector<float> ReadFloats(Application& app, ID3D11Buffer* buffer);
