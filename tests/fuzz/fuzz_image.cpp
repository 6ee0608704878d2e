// The texture loader's image path on any bytes: the checks before decoding, stb_image's decoding and the
// mip chain. No read or write past a buffer, no undefined behaviour, and no decompression bomb: fuzz.sh
// runs this target with a malloc limit far below what a header declaring 16384 x 16384 makes the decoder
// reserve, while a valid image of the fuzzer's input size needs much less.
#include <stddef.h>
#include <stdint.h>

#include <utility>
#include <vector>

#include "d3dx/image_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::RgbaImage image;
  if (!platform::DecodeImage(data, size, &image)) return 0;
  if (image.width == 0 || image.height == 0 || image.rgba.size() != size_t(image.width) * image.height * 4)
    __builtin_trap();
  const std::vector<platform::RgbaImage> levels = platform::BuildMipChain(std::move(image));
  if (levels.back().width != 1 || levels.back().height != 1) __builtin_trap();
  return 0;
}
