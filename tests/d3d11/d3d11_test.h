// Helpers for the Direct3D 11 tests, written against the Direct3D 11 API only (no layer internals), so the
// tests run unchanged on Windows: a device without a window, an offscreen target, shaders compiled from
// this folder's HLSL, geometry, and pixels read back through a STAGING copy.
#pragma once

#include <d3d11.h>
#include <d3dx11.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace d3d11_test {

// Owns one reference.
template <class T>
class Com {
 public:
  Com() = default;
  explicit Com(T* object) : object_(object) {}
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  Com(Com&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
  Com& operator=(Com&& other) noexcept {
    if (this != &other) {
      Reset();
      object_ = other.object_;
      other.object_ = nullptr;
    }
    return *this;
  }
  ~Com() { Reset(); }
  void Reset() {
    if (object_) object_->Release();
    object_ = nullptr;
  }
  T* get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // For out parameters: releases what was held first.
  T** put() {
    Reset();
    return &object_;
  }
  T* const* address() const { return &object_; }

 private:
  T* object_ = nullptr;
};

struct Rgba {
  uint8_t r, g, b, a;
  bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};
std::ostream& operator<<(std::ostream& out, const Rgba& c);

constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kGreen{0, 255, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};
constexpr Rgba kWhite{255, 255, 255, 255};
constexpr Rgba kZero{0, 0, 0, 0};

HRESULT CreateHeadlessDevice(ID3D11Device** device, ID3D11DeviceContext** context);

// A top-level window of a class with the default window procedure; null without a display.
HWND CreateTestWindow(const wchar_t* className, int width, int height);
// The viewer's kind of swap chain: one RGBA8 buffer, windowed, discard.
DXGI_SWAP_CHAIN_DESC WindowedSwapChainDesc(HWND window, UINT width, UINT height);

// Copies a 2D texture into a STAGING one, maps it and returns its rows packed top first (width x bytes
// per pixel each); empty when any step fails.
std::vector<uint8_t> ReadTexture(ID3D11Device* device, ID3D11DeviceContext* context, ID3D11Texture2D* texture,
                                 UINT bytesPerPixel = 4);

// Compiles an entry point of tests/d3d11/<file> ("vs_5_0" / "ps_5_0"); fails the test on errors.
Com<ID3D10Blob> Compile(const char* file, const char* entry, const char* profile);

struct ColorVertex {
  float x, y, z;
  float r, g, b, a;
};
struct TexturedVertex {
  float x, y, z;
  float u, v;
};

// A device, its context and a Size x Size RGBA8 target with a D32 depth buffer, bound with a full viewport.
class RenderTest : public ::testing::Test {
 protected:
  static constexpr UINT kSize = 64;

  void SetUp() override;
  void Clear(const float color[4]);
  // Reads the target (or any 2D RGBA8 texture) back through a STAGING texture, rows top first.
  std::vector<Rgba> ReadBack(ID3D11Texture2D* texture);
  std::vector<Rgba> ReadTarget() { return ReadBack(target.get()); }
  static Rgba At(const std::vector<Rgba>& pixels, UINT x, UINT y) { return pixels[y * kSize + x]; }
  // Checks the middle row of the target: the centres of its left and right halves, or of its quarters.
  void ExpectHalves(const Rgba& left, const Rgba& right);
  void ExpectQuarters(const Rgba& first, const Rgba& second, const Rgba& third, const Rgba& fourth);

  Com<ID3D11Buffer> MakeBuffer(UINT bindFlags, const void* data, UINT bytes);
  Com<ID3D11Buffer> MakeDynamicConstantBuffer(UINT bytes);
  // Writes a whole dynamic buffer through Map(WRITE_DISCARD).
  void Fill(ID3D11Buffer* buffer, const void* data, UINT bytes);

  // Shaders for coloured triangles (VSColor or VSPlaced with PSColor) and textured quads.
  void UseColorShaders(const char* vertexEntry = "VSColor");
  void UseTexturedShaders(const char* pixelEntry);
  // Binds a view at t0 and a sampler at s0 of the pixel shader.
  void BindTexture(ID3D11ShaderResourceView* view, ID3D11SamplerState* sampler);
  // Draws triangles from a vertex list (indices 0..n-1).
  void DrawColored(const std::vector<ColorVertex>& vertices);
  void DrawTextured(const std::vector<TexturedVertex>& vertices);

  Com<ID3D11Texture2D> MakeTexture(UINT width, UINT height, const std::vector<std::vector<Rgba>>& levels);
  Com<ID3D11ShaderResourceView> MakeView(ID3D11Texture2D* texture);
  Com<ID3D11SamplerState> MakeSampler(D3D11_FILTER filter, D3D11_TEXTURE_ADDRESS_MODE address, float maxLod);
  Com<ID3D11RasterizerState> MakeRasterizer(D3D11_CULL_MODE cull, BOOL frontCounterClockwise, BOOL depthClip);

  Com<ID3D11Device> device;
  Com<ID3D11DeviceContext> context;
  Com<ID3D11Texture2D> target;
  Com<ID3D11RenderTargetView> targetView;
  Com<ID3D11Texture2D> depth;
  Com<ID3D11DepthStencilView> depthView;

 private:
  void UseShaders(const char* vertexEntry, const char* pixelEntry, const D3D11_INPUT_ELEMENT_DESC* elements,
                  UINT count);
  template <class Vertex>
  void Draw(const std::vector<Vertex>& vertices);
  Com<ID3D11VertexShader> vertexShader_;
  Com<ID3D11PixelShader> pixelShader_;
  Com<ID3D11InputLayout> layout_;
};

// A quad from (x0, y0) to (x1, y1) in clip space at depth z, as two clockwise triangles (front-facing with
// the default rasterizer state).
std::vector<ColorVertex> ColorQuad(float x0, float y0, float x1, float y1, float z, const float color[4]);
std::vector<TexturedVertex> TexturedQuad(float x0, float y0, float x1, float y1, float u1, float v1);

}  // namespace d3d11_test
