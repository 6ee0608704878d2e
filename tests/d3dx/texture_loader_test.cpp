// D3DX11CreateShaderResourceViewFromFileA: each format decoded and read back through a staging copy, the
// mip chain, and the bad files that must fail without creating anything.
#include <d3dx11.h>
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_files.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

using d3dx_test::WriteTestFile;
using Bytes = std::vector<unsigned char>;

// An RGBA image, top row first.
struct Image {
  int width = 0;
  int height = 0;
  Bytes rgba;
  const unsigned char* At(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
};

// 4 x 2, every texel a different opaque colour.
Image Colours() {
  Image image{4, 2, {}};
  const unsigned char texels[8][4] = {{255, 0, 0, 255},   {0, 255, 0, 255},  {0, 0, 255, 255},    {255, 255, 0, 255},
                                      {0, 255, 255, 255}, {255, 0, 255, 255}, {128, 64, 32, 255}, {10, 20, 30, 255}};
  for (const auto& texel : texels) image.rgba.insert(image.rgba.end(), texel, texel + 4);
  return image;
}

Image Gradient(int width, int height) {
  Image image{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.rgba.insert(image.rgba.end(), {static_cast<unsigned char>(x * 255 / std::max(width - 1, 1)),
                                           static_cast<unsigned char>(y * 255 / std::max(height - 1, 1)), 77, 255});
  return image;
}

void Put16(Bytes* out, unsigned value) {
  out->push_back(value & 0xFF);
  out->push_back((value >> 8) & 0xFF);
}
void Put32(Bytes* out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// Windows bitmap, bottom row first, rows padded to 4 bytes. bitsPerPixel 24 or 32 store BGR(A); 8 stores
// palette indices, the palette being the image's distinct colours (at most 256).
Bytes Bmp(const Image& image, int bitsPerPixel, int widthInHeader = 0, int heightInHeader = 0) {
  std::vector<uint32_t> palette;
  std::vector<unsigned char> indices;
  if (bitsPerPixel == 8) {
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
      const uint32_t bgr = image.rgba[i + 2] | (image.rgba[i + 1] << 8) | (image.rgba[i] << 16);
      size_t index = std::find(palette.begin(), palette.end(), bgr) - palette.begin();
      if (index == palette.size()) palette.push_back(bgr);
      indices.push_back(static_cast<unsigned char>(index));
    }
  }
  const int stride = (image.width * bitsPerPixel / 8 + 3) & ~3;
  const uint32_t offset = 14 + 40 + 4 * uint32_t(palette.size());
  Bytes out = {'B', 'M'};
  Put32(&out, offset + stride * image.height);
  Put32(&out, 0);
  Put32(&out, offset);
  Put32(&out, 40);
  Put32(&out, widthInHeader ? widthInHeader : image.width);
  Put32(&out, heightInHeader ? heightInHeader : image.height);
  Put16(&out, 1);
  Put16(&out, bitsPerPixel);
  Put32(&out, 0);  // BI_RGB
  Put32(&out, stride * image.height);
  Put32(&out, 2835);
  Put32(&out, 2835);
  Put32(&out, uint32_t(palette.size()));
  Put32(&out, 0);
  for (uint32_t bgr : palette) Put32(&out, bgr);
  for (int y = image.height - 1; y >= 0; --y) {
    const size_t rowStart = out.size();
    for (int x = 0; x < image.width; ++x) {
      const unsigned char* p = image.At(x, y);
      if (bitsPerPixel == 8) {
        out.push_back(indices[size_t(y) * image.width + x]);
      } else {
        out.insert(out.end(), {p[2], p[1], p[0]});
        if (bitsPerPixel == 32) out.push_back(p[3]);
      }
    }
    out.resize(rowStart + stride, 0);
  }
  return out;
}

// Uncompressed true-colour Targa, 24 bits, bottom row first (the format's default origin).
Bytes Tga(const Image& image) {
  Bytes out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Put16(&out, image.width);
  Put16(&out, image.height);
  out.push_back(24);
  out.push_back(0);
  for (int y = image.height - 1; y >= 0; --y)
    for (int x = 0; x < image.width; ++x) out.insert(out.end(), {image.At(x, y)[2], image.At(x, y)[1], image.At(x, y)[0]});
  return out;
}

void Append(void* context, void* data, int size) {
  auto* out = static_cast<Bytes*>(context);
  out->insert(out->end(), static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
}

Bytes Png(const Image& image) {
  Bytes out;
  EXPECT_TRUE(stbi_write_png_to_func(&Append, &out, image.width, image.height, 4, image.rgba.data(), image.width * 4));
  return out;
}

Bytes Jpeg(const Image& image) {
  Bytes out;
  EXPECT_TRUE(stbi_write_jpg_to_func(&Append, &out, image.width, image.height, 4, image.rgba.data(), 100));
  return out;
}

Bytes Truncated(Bytes bytes, size_t keep) {
  bytes.resize(keep);
  return bytes;
}

class TextureLoading : public ::testing::Test {
 protected:
  void SetUp() override {
    D3D_FEATURE_LEVEL level;
    ASSERT_EQ(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION, &device_,
                                &level, &context_),
              S_OK);
  }
  void TearDown() override {
    if (context_) context_->Release();
    if (device_) device_->Release();
  }

  HRESULT Load(const std::string& path, ID3D11ShaderResourceView** view) {
    HRESULT reported = S_OK;
    *view = reinterpret_cast<ID3D11ShaderResourceView*>(&reported);  // must be overwritten
    const HRESULT hr = D3DX11CreateShaderResourceViewFromFileA(device_, path.c_str(), nullptr, nullptr, view, &reported);
    EXPECT_EQ(reported, hr);
    return hr;
  }

  // Expects the file to be rejected with a failing result and no view.
  void ExpectRejected(const std::string& name, const Bytes& bytes) {
    ID3D11ShaderResourceView* view = nullptr;
    EXPECT_TRUE(FAILED(Load(WriteTestFile(name, bytes), &view))) << name;
    EXPECT_EQ(view, nullptr) << name;
    if (view) view->Release();
  }

  // Every mip level of the view's texture, read back through a staging copy.
  std::vector<Image> ReadBack(ID3D11ShaderResourceView* view, D3D11_TEXTURE2D_DESC* desc) {
    std::vector<Image> levels;
    ID3D11Resource* resource = nullptr;
    view->GetResource(&resource);
    ID3D11Texture2D* texture = nullptr;
    EXPECT_EQ(resource->QueryInterface(__uuidof(ID3D11Texture2D), reinterpret_cast<void**>(&texture)), S_OK);
    resource->Release();
    if (!texture) return levels;
    texture->GetDesc(desc);
    D3D11_TEXTURE2D_DESC stagingDesc = *desc;
    stagingDesc.Usage = D3D11_USAGE_STAGING;
    stagingDesc.BindFlags = 0;
    stagingDesc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    ID3D11Texture2D* staging = nullptr;
    EXPECT_EQ(device_->CreateTexture2D(&stagingDesc, nullptr, &staging), S_OK);
    if (staging) {
      context_->CopyResource(staging, texture);
      for (UINT level = 0; level < desc->MipLevels; ++level) {
        Image image{std::max(int(desc->Width >> level), 1), std::max(int(desc->Height >> level), 1), {}};
        D3D11_MAPPED_SUBRESOURCE mapped = {};
        EXPECT_EQ(context_->Map(staging, level, D3D11_MAP_READ, 0, &mapped), S_OK);
        if (!mapped.pData) break;
        for (int y = 0; y < image.height; ++y) {
          const auto* row = static_cast<const unsigned char*>(mapped.pData) + size_t(y) * mapped.RowPitch;
          image.rgba.insert(image.rgba.end(), row, row + image.width * 4);
        }
        context_->Unmap(staging, level);
        levels.push_back(std::move(image));
      }
      staging->Release();
    }
    texture->Release();
    return levels;
  }

  // Loads the file and compares its top level with the image, each channel within the tolerance.
  void ExpectLoadsAs(const std::string& name, const Bytes& bytes, const Image& expected, int tolerance) {
    ID3D11ShaderResourceView* view = nullptr;
    ASSERT_EQ(Load(WriteTestFile(name, bytes), &view), S_OK) << name;
    ASSERT_NE(view, nullptr);
    D3D11_TEXTURE2D_DESC desc = {};
    const std::vector<Image> levels = ReadBack(view, &desc);
    view->Release();
    EXPECT_EQ(desc.Width, UINT(expected.width));
    EXPECT_EQ(desc.Height, UINT(expected.height));
    EXPECT_EQ(desc.Format, DXGI_FORMAT_R8G8B8A8_UNORM);
    EXPECT_EQ(desc.Usage, D3D11_USAGE_DEFAULT);
    EXPECT_EQ(desc.BindFlags, UINT(D3D11_BIND_SHADER_RESOURCE));
    ASSERT_FALSE(levels.empty());
    ASSERT_EQ(levels[0].rgba.size(), expected.rgba.size());
    for (size_t i = 0; i < expected.rgba.size(); ++i)
      ASSERT_NEAR(levels[0].rgba[i], expected.rgba[i], tolerance) << name << " byte " << i;
  }

  ID3D11Device* device_ = nullptr;
  ID3D11DeviceContext* context_ = nullptr;
};

// ---- Formats ------------------------------------------------------------------------------------------------

TEST_F(TextureLoading, Bmp24Bit) { ExpectLoadsAs("colours24.bmp", Bmp(Colours(), 24), Colours(), 0); }

TEST_F(TextureLoading, Bmp32Bit) { ExpectLoadsAs("colours32.bmp", Bmp(Colours(), 32), Colours(), 0); }

TEST_F(TextureLoading, Bmp8BitPalettised) { ExpectLoadsAs("colours8.bmp", Bmp(Colours(), 8), Colours(), 0); }

TEST_F(TextureLoading, Bmp24BitOddWidthWithRowPadding) {
  ExpectLoadsAs("gradient24.bmp", Bmp(Gradient(5, 3), 24), Gradient(5, 3), 0);
}

TEST_F(TextureLoading, Tga) { ExpectLoadsAs("colours.tga", Tga(Colours()), Colours(), 0); }

TEST_F(TextureLoading, PngWithAlpha) {
  Image image = Colours();
  image.rgba[3] = 0;
  image.rgba[7] = 128;
  ExpectLoadsAs("colours.png", Png(image), image, 0);
}

TEST_F(TextureLoading, Jpeg) {
  // Flat 8 x 8 blocks survive JPEG nearly unchanged.
  Image image{16, 8, {}};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x)
      image.rgba.insert(image.rgba.end(), x < 8 ? std::initializer_list<unsigned char>{200, 40, 40, 255}
                                                : std::initializer_list<unsigned char>{30, 60, 220, 255});
  ExpectLoadsAs("blocks.jpg", Jpeg(image), image, 12);
}

// ---- Mip chain ------------------------------------------------------------------------------------------------

TEST_F(TextureLoading, FullMipChainDownToOneByOne) {
  const struct {
    int width, height;
    UINT levels;
  } cases[] = {{4, 2, 3}, {5, 3, 3}, {16, 4, 5}, {1, 1, 1}, {1, 9, 4}};
  for (const auto& c : cases) {
    ID3D11ShaderResourceView* view = nullptr;
    const std::string name = "mips" + std::to_string(c.width) + "x" + std::to_string(c.height) + ".bmp";
    ASSERT_EQ(Load(WriteTestFile(name, Bmp(Gradient(c.width, c.height), 24)), &view), S_OK);
    D3D11_TEXTURE2D_DESC desc = {};
    const std::vector<Image> levels = ReadBack(view, &desc);
    view->Release();
    EXPECT_EQ(desc.MipLevels, c.levels) << name;
    ASSERT_EQ(levels.size(), c.levels) << name;
    EXPECT_EQ(levels.back().width, 1) << name;
    EXPECT_EQ(levels.back().height, 1) << name;
  }
}

TEST_F(TextureLoading, EachMipLevelAveragesTheLevelAbove) {
  ID3D11ShaderResourceView* view = nullptr;
  ASSERT_EQ(Load(WriteTestFile("average.bmp", Bmp(Colours(), 24)), &view), S_OK);
  D3D11_TEXTURE2D_DESC desc = {};
  const std::vector<Image> levels = ReadBack(view, &desc);
  view->Release();
  ASSERT_EQ(levels.size(), 3u);
  const Image source = Colours();
  for (int x = 0; x < 2; ++x)
    for (int c = 0; c < 4; ++c) {
      const int sum = source.At(2 * x, 0)[c] + source.At(2 * x + 1, 0)[c] + source.At(2 * x, 1)[c] + source.At(2 * x + 1, 1)[c];
      EXPECT_NEAR(levels[1].At(x, 0)[c], sum / 4.0, 1.0) << "texel " << x << " channel " << c;
    }
  for (int c = 0; c < 4; ++c)
    EXPECT_NEAR(levels[2].At(0, 0)[c], (levels[1].At(0, 0)[c] + levels[1].At(1, 0)[c]) / 2.0, 1.0) << "channel " << c;
}

// ---- Bad input ------------------------------------------------------------------------------------------------

TEST_F(TextureLoading, MissingFileFailsWithFileNotFound) {
  ID3D11ShaderResourceView* view = nullptr;
  EXPECT_EQ(Load(d3dx_test::TestFilePath("no_such_texture.bmp"), &view), D3D11_ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(view, nullptr);
}

TEST_F(TextureLoading, TruncatedFilesFail) {
  const Image image = Gradient(32, 16);
  const Bytes bmp = Bmp(image, 24), tga = Tga(image), png = Png(image), jpeg = Jpeg(image);
  ExpectRejected("cut_header.bmp", Truncated(bmp, 30));
  ExpectRejected("cut_pixels.bmp", Truncated(bmp, bmp.size() / 2));
  ExpectRejected("cut_last_byte.bmp", Truncated(bmp, bmp.size() - 1));
  ExpectRejected("cut_pixels.tga", Truncated(tga, tga.size() / 2));
  ExpectRejected("cut_data.png", Truncated(png, png.size() / 2));
  ExpectRejected("cut_data.jpg", Truncated(jpeg, jpeg.size() / 2));
  ExpectRejected("empty.png", Bytes());
}

TEST_F(TextureLoading, CorruptFilesFail) {
  const std::string text = "this is not an image, whatever its name says";
  ExpectRejected("text.bmp", Bytes(text.begin(), text.end()));
  Bytes badDepth = Bmp(Colours(), 24);
  badDepth[28] = 7;  // bits per pixel
  ExpectRejected("bad_depth.bmp", badDepth);
  Bytes badPng = Png(Gradient(32, 16));
  for (size_t i = 40; i < badPng.size() - 12; ++i) badPng[i] ^= 0x5A;  // scramble the compressed data
  ExpectRejected("scrambled.png", badPng);
}

TEST_F(TextureLoading, ImagesBeyondTheDirect3DSizeLimitFail) {
  // Wider than 16384 with all its pixel data present.
  ExpectRejected("too_wide.bmp", Bmp(Gradient(16385, 1), 24));
  // A header claiming 20000 x 20000 on a few bytes: rejected before anything is decoded.
  ExpectRejected("huge_header.bmp", Bmp(Colours(), 24, 20000, 20000));
  Bytes hugeTga = Tga(Colours());
  hugeTga[12] = 0x20, hugeTga[13] = 0x4E, hugeTga[14] = 0x20, hugeTga[15] = 0x4E;
  ExpectRejected("huge_header.tga", hugeTga);
}

TEST_F(TextureLoading, NullArgumentsFail) {
  const std::string path = WriteTestFile("null_args.bmp", Bmp(Colours(), 24));
  ID3D11ShaderResourceView* view = nullptr;
  EXPECT_TRUE(FAILED(D3DX11CreateShaderResourceViewFromFileA(nullptr, path.c_str(), nullptr, nullptr, &view, nullptr)));
  EXPECT_EQ(view, nullptr);
  EXPECT_TRUE(FAILED(D3DX11CreateShaderResourceViewFromFileA(device_, nullptr, nullptr, nullptr, &view, nullptr)));
  EXPECT_EQ(view, nullptr);
  EXPECT_TRUE(FAILED(D3DX11CreateShaderResourceViewFromFileA(device_, path.c_str(), nullptr, nullptr, nullptr, nullptr)));
}

}  // namespace
