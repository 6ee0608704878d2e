#include "test_images.h"

#include <gtest/gtest.h>

#include <algorithm>

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

namespace d3dx_test {
namespace {

void Put16(Bytes* out, unsigned value) {
  out->push_back(value & 0xFF);
  out->push_back((value >> 8) & 0xFF);
}
void Put32(Bytes* out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

void Append(void* context, void* data, int size) {
  auto* out = static_cast<Bytes*>(context);
  out->insert(out->end(), static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
}

}  // namespace

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

Bytes Bmp(const Image& image, int bitsPerPixel, int widthInHeader, int heightInHeader) {
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

}  // namespace d3dx_test
