#include "d3dx/image_decode.h"

#include <d3d11.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <utility>

#include <stb_image.h>

namespace platform {
namespace {

constexpr unsigned kBytesPerPixel = 4;
constexpr uint64_t kMaxSide = D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION;

// The file's bytes, read as stb_image reads them: zero past the end.
struct Bytes {
  const unsigned char* data;
  size_t size;

  uint64_t At(uint64_t at) const { return at < size ? data[at] : 0; }
  uint64_t Le16(uint64_t at) const { return At(at) | At(at + 1) << 8; }
  uint64_t Le32(uint64_t at) const { return Le16(at) | Le16(at + 2) << 16; }
  uint64_t Be16(uint64_t at) const { return At(at) << 8 | At(at + 1); }
  uint64_t Be32(uint64_t at) const { return Be16(at) << 16 | Be16(at + 2); }
};

// stb_image reads through these callbacks so that a truncated file is noticed: stb itself pads a short
// BMP, TGA or JPEG with zeros, while Direct3D's loader rejects it. Any request for bytes past the end marks
// the image as truncated.
class ImageSource {
 public:
  explicit ImageSource(const Bytes& bytes) : bytes_(bytes) {}

  static const stbi_io_callbacks* Callbacks() {
    static const stbi_io_callbacks callbacks = {&Read, &Skip, &AtEnd};
    return &callbacks;
  }
  bool Overran() const { return overran_; }

 private:
  static int Read(void* user, char* data, int size) {
    auto* self = static_cast<ImageSource*>(user);
    const size_t left = self->bytes_.size - self->at_;
    if (left == 0 && size > 0) self->overran_ = true;
    const size_t count = std::min(left, static_cast<size_t>(std::max(size, 0)));
    if (count > 0) memcpy(data, self->bytes_.data + self->at_, count);
    self->at_ += count;
    return static_cast<int>(count);
  }
  static void Skip(void* user, int n) {
    auto* self = static_cast<ImageSource*>(user);
    if (n < 0) {
      self->at_ -= std::min(self->at_, static_cast<size_t>(-static_cast<long long>(n)));
      return;
    }
    const size_t left = self->bytes_.size - self->at_;
    if (static_cast<size_t>(n) > left) self->overran_ = true;
    self->at_ += std::min(left, static_cast<size_t>(n));
  }
  static int AtEnd(void* user) {
    auto* self = static_cast<ImageSource*>(user);
    return self->at_ >= self->bytes_.size;
  }

  const Bytes& bytes_;
  size_t at_ = 0;
  bool overran_ = false;
};

// ---- Checks before decoding -------------------------------------------------------------------------------
// stb_image tries PNG, BMP, JPEG and TGA in that order; a file is each one's only when it starts with the
// PNG signature, with "BM", with 0xFF (fill bytes) 0xD8, or has 0 or 1 in byte 1 (the Targa colour-map type),
// which no file of the other three has. Each check passes what is not of its format, and refuses only what
// stb_image refuses as well, or what no valid file of the format can be.

// Where the JPEG start-of-image marker ends, as stb finds it after any 0xFF fill bytes; 0 for no JPEG.
size_t JpegStart(const Bytes& bytes) {
  size_t at = 0;
  while (at < bytes.size && bytes.data[at] == 0xFF) ++at;
  return at > 0 && bytes.At(at) == 0xD8 ? at + 1 : 0;
}

// stb_image 2.27 fills a Huffman table from a DHT segment without checking that its 16 code counts add up
// to at most 256, and writes past the table's arrays when they do not. markerAt is the 0xC4 byte.
bool HuffmanCountsFit(const Bytes& bytes, size_t markerAt) {
  int64_t left = int64_t(bytes.Be16(markerAt + 1)) - 2;
  for (uint64_t table = markerAt + 3; left > 0;) {
    uint64_t codes = 0;
    for (uint64_t i = 1; i <= 16; ++i) codes += bytes.At(table + i);
    if (codes > 256) return false;
    table += 17 + codes;
    left -= int64_t(17 + codes);
  }
  return true;
}

// A frame header (SOF0, SOF1, SOF2: what stb decodes) at markerAt, against the file's size. Every 8 x 8
// block of every component has its DC coefficient coded (in the one scan of a sequential file, in the
// first DC scan of a progressive one) by a Huffman code of at least one bit, so the file holds at least a
// bit per block. stb reserves the components' planes before it reads any scan.
bool FrameFitsFile(const Bytes& bytes, size_t markerAt) {
  const uint64_t height = bytes.Be16(markerAt + 4), width = bytes.Be16(markerAt + 6);
  const uint64_t components = bytes.At(markerAt + 8);
  uint64_t hMax = 1, vMax = 1;
  for (uint64_t i = 0; i < components; ++i) {
    const uint64_t sampling = bytes.At(markerAt + 10 + 3 * i);
    hMax = std::max(hMax, sampling >> 4);
    vMax = std::max(vMax, sampling & 15);
  }
  uint64_t blocks = 0;
  for (uint64_t i = 0; i < components; ++i) {
    const uint64_t sampling = bytes.At(markerAt + 10 + 3 * i);
    const uint64_t x = (width * (sampling >> 4) + hMax - 1) / hMax, y = (height * (sampling & 15) + vMax - 1) / vMax;
    blocks += ((x + 7) / 8) * ((y + 7) / 8);
  }
  return (blocks + 7) / 8 <= bytes.size;
}

// The markers are walked as stb walks them: segments by their lengths; 0xFF fill bytes before any marker;
// bytes that are no marker skipped (stb skips them between segments before the frame header and in the
// entropy-coded data after a scan header; elsewhere it fails on them); in entropy-coded data a stuffed
// zero or a restart marker carries on. stb stops at the end-of-image marker. Wherever stb reads a
// segment, this walk reads it too, so every Huffman table and the frame header stb uses are checked.
bool JpegFits(const Bytes& bytes) {
  bool framed = false;
  for (size_t at = JpegStart(bytes); at < bytes.size;) {
    if (bytes.data[at] != 0xFF) {
      ++at;
      continue;
    }
    size_t markerAt = at + 1;
    while (markerAt < bytes.size && bytes.data[markerAt] == 0xFF) ++markerAt;
    const uint64_t marker = bytes.At(markerAt);
    if (marker == 0xD9) break;
    if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      at = markerAt + 1;  // stuffed zero, TEM or restart marker: no segment follows
      continue;
    }
    if (marker == 0xC4 && !HuffmanCountsFit(bytes, markerAt)) return false;
    if (marker >= 0xC0 && marker <= 0xC2 && !framed) {
      framed = true;
      if (!FrameFitsFile(bytes, markerAt)) return false;
    }
    at = markerAt + 1 + bytes.Be16(markerAt + 1);
  }
  return true;
}

// stb_image reserves the whole image for an uncompressed BMP (all it decodes) before reading a pixel.
// Rows are padded to 4 bytes; stb knows 1, 4, 8, 16, 24 and 32 bits per pixel only.
bool BmpFits(const Bytes& bytes) {
  const uint64_t headerSize = bytes.Le32(14);
  const bool core = headerSize == 12;  // OS/2 1.x: 16-bit sides
  const uint64_t width = core ? bytes.Le16(18) : bytes.Le32(18);
  const int64_t height = core ? int64_t(bytes.Le16(20)) : int64_t(int32_t(uint32_t(bytes.Le32(22))));
  const uint64_t bits = bytes.Le16(core ? 24 : 28);
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  if (width > kMaxSide || height > int64_t(kMaxSide) || height < -int64_t(kMaxSide)) return false;
  const uint64_t rowBytes = (width * bits + 31) / 32 * 4;
  return rowBytes * uint64_t(height < 0 ? -height : height) <= bytes.size;
}

// stb_image reserves the whole image of a Targa before reading a pixel, and takes a short last row of an
// uncompressed one without noticing. Uncompressed data is all its pixels; run-length data (types 9 to 11)
// is at least one packet per 128 pixels, each a header byte and one pixel value.
bool TargaFits(const Bytes& bytes) {
  const uint64_t type = bytes.At(2);
  const bool runLength = type >= 9 && type <= 11;
  if (!runLength && (type < 1 || type > 3)) return true;
  const uint64_t palette = bytes.At(1) ? bytes.Le16(5) * ((bytes.At(7) + 7) / 8) : 0;
  const uint64_t pixels = bytes.Le16(12) * bytes.Le16(14), pixelBytes = (bytes.At(16) + 7) / 8;
  const uint64_t data = runLength ? (pixels + 127) / 128 * (1 + pixelBytes) : pixels * pixelBytes;
  return bytes.size >= 18 + bytes.At(0) + palette + data;
}

// stb_image reserves an IDAT chunk's declared length before reading it, and the image's decompressed
// size before inflating. Every chunk up to IEND must lie within the file (stb fails otherwise, reading
// zeros as a critical chunk of type 0), and the IDAT data must hold the pixel data at deflate's greatest
// ratio, 1032 to 1 (a 258-byte match in two bits), with a margin.
bool PngFits(const Bytes& bytes) {
  uint64_t compressed = 0, pixelBits = 0;
  for (uint64_t at = 8;; at += 12 + bytes.Be32(at)) {
    if (at + 8 > bytes.size) return false;
    const uint64_t type = bytes.Be32(at + 4);
    if (type == 0x49454E44) break;  // IEND
    if (at + 8 + bytes.Be32(at) > bytes.size) return false;
    if (type == 0x49444154) compressed += bytes.Be32(at);  // IDAT
    if (type == 0x49484452 && pixelBits == 0) {  // IHDR: width, height, bit depth, colour type
      const uint64_t width = bytes.Be32(at + 8), height = bytes.Be32(at + 12), colour = bytes.At(at + 17);
      const uint64_t channels[] = {1, 0, 3, 1, 2, 0, 4};
      if (width > kMaxSide || height > kMaxSide || colour > 6) return false;
      pixelBits = std::max<uint64_t>(width * height * channels[colour] * bytes.At(at + 16), 1);
    }
  }
  return pixelBits / 8 <= compressed * 1032 + 1024;
}

bool IsPng(const Bytes& bytes) {
  static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return bytes.size >= 8 && memcmp(bytes.data, signature, 8) == 0;
}

bool FitsItsFile(const Bytes& bytes) {
  if (IsPng(bytes)) return PngFits(bytes);
  if (bytes.At(0) == 'B' && bytes.At(1) == 'M') return BmpFits(bytes);
  if (JpegStart(bytes) > 0) return JpegFits(bytes);
  if (bytes.At(1) <= 1) return TargaFits(bytes);
  return true;
}

// ---- Mip chain --------------------------------------------------------------------------------------------

// An odd side loses its last row or column (5 texels become 2); a side of 1 stays 1, its texels counted twice.
RgbaImage Downsample(const RgbaImage& source) {
  RgbaImage target;
  target.width = std::max(source.width / 2, 1u);
  target.height = std::max(source.height / 2, 1u);
  target.rgba.resize(size_t(target.width) * target.height * kBytesPerPixel);
  auto texel = [&source](unsigned x, unsigned y) {
    return &source.rgba[(size_t(y) * source.width + x) * kBytesPerPixel];
  };
  for (unsigned y = 0; y < target.height; ++y) {
    const unsigned y0 = std::min(2 * y, source.height - 1), y1 = std::min(2 * y + 1, source.height - 1);
    for (unsigned x = 0; x < target.width; ++x) {
      const unsigned x0 = std::min(2 * x, source.width - 1), x1 = std::min(2 * x + 1, source.width - 1);
      unsigned char* out = &target.rgba[(size_t(y) * target.width + x) * kBytesPerPixel];
      for (unsigned c = 0; c < kBytesPerPixel; ++c) {
        const unsigned sum = texel(x0, y0)[c] + texel(x1, y0)[c] + texel(x0, y1)[c] + texel(x1, y1)[c];
        out[c] = static_cast<unsigned char>((sum + 2) / 4);
      }
    }
  }
  return target;
}

}  // namespace

bool DecodeImage(const unsigned char* data, size_t size, RgbaImage* image) {
  const Bytes bytes{data, size};
  if (!FitsItsFile(bytes)) return false;  // before stb reads anything, stbi_info included
  int width = 0, height = 0, components = 0;
  {
    ImageSource source(bytes);
    if (!stbi_info_from_callbacks(ImageSource::Callbacks(), &source, &width, &height, &components)) return false;
  }
  if (width <= 0 || height <= 0 || uint64_t(width) > kMaxSide || uint64_t(height) > kMaxSide) return false;
  ImageSource source(bytes);
  const std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
      stbi_load_from_callbacks(ImageSource::Callbacks(), &source, &width, &height, &components, kBytesPerPixel),
      &stbi_image_free);
  if (!pixels || source.Overran() || uint64_t(width) > kMaxSide || uint64_t(height) > kMaxSide) return false;
  image->rgba.assign(pixels.get(), pixels.get() + size_t(width) * size_t(height) * kBytesPerPixel);
  image->width = static_cast<unsigned>(width);
  image->height = static_cast<unsigned>(height);
  return true;
}

std::vector<RgbaImage> BuildMipChain(RgbaImage image) {
  std::vector<RgbaImage> levels;
  levels.push_back(std::move(image));
  while (levels.back().width > 1 || levels.back().height > 1) levels.push_back(Downsample(levels.back()));
  return levels;
}

}  // namespace platform
