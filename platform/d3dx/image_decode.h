// Layer-internal: image files (BMP, PNG, JPEG, TGA) to RGBA texels and their mip chain, for
// D3DX11CreateShaderResourceViewFromFileA. The bytes come from a file a downloaded model may name, so
// the decoder (stb_image) only sees files that passed checks of its own: no truncation, no side larger
// than Direct3D 11 allows, no header declaring more pixels than the file's size can hold (a few bytes
// must not make the decoder reserve a gigabyte), no JPEG Huffman table stb_image would overrun.
#pragma once

#include <stddef.h>

#include <vector>

namespace platform {

// Read no image file larger than this: a 16384 x 16384 image of 4 bytes per pixel stored uncompressed,
// with room for headers, palettes and metadata.
constexpr size_t kMaxImageFileBytes = (size_t(1) << 30) + (size_t(1) << 20);

struct RgbaImage {
  unsigned width = 0;
  unsigned height = 0;
  std::vector<unsigned char> rgba;  // 4 bytes per texel, top row first, rows unpadded
};

// Decodes the whole file's bytes. False for anything Direct3D's loader would refuse or that the checks
// above turn away; *image is then unchanged. std::bad_alloc passes through.
bool DecodeImage(const unsigned char* data, size_t size, RgbaImage* image);

// The full mip chain, level 0 being the image: each next level halves each side (rounding down, never
// below 1), each texel the rounded mean of a 2 x 2 block of the level above; the last level is 1 x 1.
std::vector<RgbaImage> BuildMipChain(RgbaImage image);

}  // namespace platform
