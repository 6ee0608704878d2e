// Small images and their encodings as files, written byte by byte (BMP, TGA) or with stb_image_write (PNG,
// JPEG), for the texture loader tests.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace d3dx_test {

using Bytes = std::vector<unsigned char>;

// An RGBA image, top row first.
struct Image {
  int width = 0;
  int height = 0;
  Bytes rgba;
  const unsigned char* At(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
};

// 4 x 2, every texel a different opaque colour.
Image Colours();
// Red rising to the right, green downwards, opaque.
Image Gradient(int width, int height);

// Windows bitmap, bottom row first, rows padded to 4 bytes. bitsPerPixel 24 or 32 store BGR(A); 8 stores
// palette indices, the palette being the image's distinct colours (at most 256). Non-zero header sizes
// replace the image's in the header only.
Bytes Bmp(const Image& image, int bitsPerPixel, int widthInHeader = 0, int heightInHeader = 0);
// Uncompressed true-colour Targa, 24 bits, bottom row first (the format's default origin).
Bytes Tga(const Image& image);
Bytes Png(const Image& image);
// Quality 100.
Bytes Jpeg(const Image& image);

}  // namespace d3dx_test
