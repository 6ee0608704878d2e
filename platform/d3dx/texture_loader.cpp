// D3DX11CreateShaderResourceViewFromFileA: stb_image decodes, the CPU builds the mip chain, and the texture
// and view are made through the public Direct3D 11 API only.
#include <d3dx11tex.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "common/startup_trace.h"

// Decoding only the formats D3DX's loader is asked for keeps the rest of stb_image out.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION
// Zeroed allocations: a decoder that skips a short read leaves zeros, never uninitialised memory.
#define STBI_MALLOC(size) calloc(1, size)
#define STBI_REALLOC(pointer, size) realloc(pointer, size)
#define STBI_FREE(pointer) free(pointer)
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace platform {
namespace {

constexpr UINT kBytesPerPixel = 4;

bool ReadFileBytes(const char* path, std::vector<unsigned char>* bytes) {
  FILE* file = fopen(path, "rb");
  if (!file) return false;
  unsigned char chunk[65536];
  size_t got = 0;
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
  const bool ok = !ferror(file);
  fclose(file);
  return ok;
}

// stb_image reads through these callbacks so that a truncated file is noticed: stb itself pads a short
// BMP, TGA or JPEG with zeros, while Direct3D's loader rejects it. Any request for bytes past the end marks
// the image as truncated.
class ImageSource {
 public:
  explicit ImageSource(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}

  static const stbi_io_callbacks* Callbacks() {
    static const stbi_io_callbacks callbacks = {&Read, &Skip, &AtEnd};
    return &callbacks;
  }
  bool Overran() const { return overran_; }

 private:
  static int Read(void* user, char* data, int size) {
    auto* self = static_cast<ImageSource*>(user);
    const size_t left = self->bytes_.size() - self->at_;
    if (left == 0 && size > 0) self->overran_ = true;
    const size_t count = std::min(left, static_cast<size_t>(std::max(size, 0)));
    if (count > 0) memcpy(data, self->bytes_.data() + self->at_, count);
    self->at_ += count;
    return static_cast<int>(count);
  }
  static void Skip(void* user, int n) {
    auto* self = static_cast<ImageSource*>(user);
    if (n < 0) {
      self->at_ -= std::min(self->at_, static_cast<size_t>(-static_cast<long long>(n)));
      return;
    }
    const size_t left = self->bytes_.size() - self->at_;
    if (static_cast<size_t>(n) > left) self->overran_ = true;
    self->at_ += std::min(left, static_cast<size_t>(n));
  }
  static int AtEnd(void* user) {
    auto* self = static_cast<ImageSource*>(user);
    return self->at_ >= self->bytes_.size();
  }

  const std::vector<unsigned char>& bytes_;
  size_t at_ = 0;
  bool overran_ = false;
};

struct DecodedImage {
  UINT width = 0;
  UINT height = 0;
  std::vector<unsigned char> rgba;  // top row first
};

// stb_image reads an uncompressed Targa a row at a time and takes a short last row without noticing, so
// the length its header implies is checked here. stb takes a file for a Targa only when byte 1 (colour-map
// type) is 0 or 1, which no BMP ('M'), PNG ('P') or JPEG (0xD8) has.
bool TargaIsComplete(const std::vector<unsigned char>& bytes) {
  if (bytes.size() < 18 || bytes[1] > 1) return true;
  const unsigned type = bytes[2];
  if (type != 1 && type != 2 && type != 3) return true;  // run-length data is read byte by byte: overruns show
  auto u16 = [&bytes](size_t at) { return size_t(bytes[at]) | size_t(bytes[at + 1]) << 8; };
  const size_t palette = bytes[1] ? u16(5) * ((bytes[7] + 7u) / 8u) : 0;
  const size_t pixels = u16(12) * u16(14) * ((bytes[16] + 7u) / 8u);
  return bytes.size() >= 18 + bytes[0] + palette + pixels;
}

// stb_image 2.27 fills a JPEG Huffman table from a DHT segment without checking that its 16 code counts
// add up to at most 256, and writes past the table when they do not. Such a file is corrupt: the markers
// are walked here as stb walks them (segments by their lengths; after a scan, the first 0xFF followed by
// anything but a stuffed zero or a restart marker) and the file is refused before stb sees it.
bool JpegHuffmanTablesFit(const std::vector<unsigned char>& bytes) {
  if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xD8) return true;
  auto byte = [&bytes](size_t at) -> size_t { return at < bytes.size() ? bytes[at] : 0; };  // stb reads 0 past the end
  for (size_t at = 2; at < bytes.size();) {
    if (bytes[at] != 0xFF) {
      ++at;
      continue;
    }
    size_t markerAt = at + 1;
    while (markerAt < bytes.size() && bytes[markerAt] == 0xFF) ++markerAt;  // fill bytes
    const size_t marker = byte(markerAt);
    if (marker == 0xD9) break;  // end of image
    if (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
      at = markerAt + 1;  // stuffed zero, restart marker, TEM: no segment follows
      continue;
    }
    const size_t length = byte(markerAt + 1) << 8 | byte(markerAt + 2);
    if (marker == 0xC4) {
      long left = long(length) - 2;
      for (size_t table = markerAt + 3; left > 0;) {
        size_t codes = 0;
        for (size_t i = 1; i <= 16; ++i) codes += byte(table + i);
        if (codes > 256) return false;
        table += 17 + codes;
        left -= long(17 + codes);
      }
    }
    at = markerAt + 1 + length;
  }
  return true;
}

// Checks the dimensions from the header before decoding, so that no header can make the decoder allocate
// more than the largest texture Direct3D 11 accepts.
bool Decode(const std::vector<unsigned char>& bytes, DecodedImage* image) {
  int width = 0, height = 0, components = 0;
  if (!JpegHuffmanTablesFit(bytes)) return false;  // before stb reads any table, stbi_info included
  {
    ImageSource source(bytes);
    if (!stbi_info_from_callbacks(ImageSource::Callbacks(), &source, &width, &height, &components)) return false;
  }
  if (width <= 0 || height <= 0 || width > D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION ||
      height > D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION || !TargaIsComplete(bytes))
    return false;
  ImageSource source(bytes);
  stbi_uc* pixels =
      stbi_load_from_callbacks(ImageSource::Callbacks(), &source, &width, &height, &components, kBytesPerPixel);
  if (!pixels) return false;
  const bool complete = !source.Overran() && static_cast<UINT>(width) <= D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION &&
                        static_cast<UINT>(height) <= D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION;
  if (complete) {
    image->width = static_cast<UINT>(width);
    image->height = static_cast<UINT>(height);
    image->rgba.assign(pixels, pixels + size_t(width) * size_t(height) * kBytesPerPixel);
  }
  stbi_image_free(pixels);
  return complete;
}

UINT MipLevelCount(UINT width, UINT height) {
  UINT levels = 1;
  for (UINT size = std::max(width, height); size > 1; size /= 2) ++levels;
  return levels;
}

// The next mip level: each texel the rounded mean of a 2 x 2 block of the level above. An odd side loses
// its last row or column (5 texels become 2); a side of 1 stays 1, its texels counted twice.
void Downsample(const unsigned char* source, UINT width, UINT height, unsigned char* target) {
  const UINT targetWidth = std::max(width / 2, 1u), targetHeight = std::max(height / 2, 1u);
  for (UINT y = 0; y < targetHeight; ++y) {
    const UINT y0 = std::min(2 * y, height - 1), y1 = std::min(2 * y + 1, height - 1);
    for (UINT x = 0; x < targetWidth; ++x) {
      const UINT x0 = std::min(2 * x, width - 1), x1 = std::min(2 * x + 1, width - 1);
      for (UINT c = 0; c < kBytesPerPixel; ++c) {
        const UINT sum = source[(size_t(y0) * width + x0) * kBytesPerPixel + c] +
                         source[(size_t(y0) * width + x1) * kBytesPerPixel + c] +
                         source[(size_t(y1) * width + x0) * kBytesPerPixel + c] +
                         source[(size_t(y1) * width + x1) * kBytesPerPixel + c];
        target[(size_t(y) * targetWidth + x) * kBytesPerPixel + c] = static_cast<unsigned char>((sum + 2) / 4);
      }
    }
  }
}

HRESULT CreateView(ID3D11Device* device, DecodedImage image, ID3D11ShaderResourceView** view) {
  const UINT levels = MipLevelCount(image.width, image.height);
  std::vector<std::vector<unsigned char>> mips(levels);
  std::vector<D3D11_SUBRESOURCE_DATA> initial(levels);
  UINT width = image.width, height = image.height;
  for (UINT level = 0; level < levels; ++level) {
    if (level == 0) {
      mips[0] = std::move(image.rgba);
    } else {
      mips[level].resize(size_t(std::max(width / 2, 1u)) * std::max(height / 2, 1u) * kBytesPerPixel);
      Downsample(mips[level - 1].data(), width, height, mips[level].data());
      width = std::max(width / 2, 1u);
      height = std::max(height / 2, 1u);
    }
    initial[level].pSysMem = mips[level].data();
    initial[level].SysMemPitch = width * kBytesPerPixel;
    initial[level].SysMemSlicePitch = width * height * kBytesPerPixel;
  }

  D3D11_TEXTURE2D_DESC desc = {};
  desc.Width = image.width;
  desc.Height = image.height;
  desc.MipLevels = levels;
  desc.ArraySize = 1;
  desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  desc.SampleDesc.Count = 1;
  desc.Usage = D3D11_USAGE_DEFAULT;
  desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
  ID3D11Texture2D* texture = nullptr;
  HRESULT hr = device->CreateTexture2D(&desc, initial.data(), &texture);
  if (FAILED(hr)) return hr;
  hr = device->CreateShaderResourceView(texture, nullptr, view);
  texture->Release();  // the view keeps the texture alive
  return hr;
}

HRESULT LoadTextureView(ID3D11Device* device, const char* path, ID3D11ShaderResourceView** view) {
  std::vector<unsigned char> bytes;
  if (!ReadFileBytes(path, &bytes)) return D3D11_ERROR_FILE_NOT_FOUND;
  DecodedImage image;
  if (!Decode(bytes, &image)) return E_FAIL;
  bytes = std::vector<unsigned char>();
  return CreateView(device, std::move(image), view);
}

}  // namespace
}  // namespace platform

HRESULT WINAPI D3DX11CreateShaderResourceViewFromFileA(ID3D11Device* pDevice, LPCSTR pSrcFile,
                                                       D3DX11_IMAGE_LOAD_INFO* pLoadInfo, ID3DX11ThreadPump* pPump,
                                                       ID3D11ShaderResourceView** ppShaderResourceView,
                                                       HRESULT* pHResult) {
  HRESULT hr = E_INVALIDARG;
  if (ppShaderResourceView) *ppShaderResourceView = nullptr;
  if (pLoadInfo || pPump) {
    hr = E_NOTIMPL;
  } else if (pDevice && pSrcFile && ppShaderResourceView) {
    try {
      hr = platform::LoadTextureView(pDevice, pSrcFile, ppShaderResourceView);
    } catch (const std::bad_alloc&) {
      hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr)) *ppShaderResourceView = nullptr;
    platform::TraceStartupStep(pSrcFile);  // each image file once: where the start-up time goes
  }
  if (pHResult) *pHResult = hr;
  return hr;
}
