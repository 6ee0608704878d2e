// D3DX11CreateShaderResourceViewFromFileA: each format decoded and read back through a staging copy, the
// mip chain, and the bad files that must fail without creating anything.
#include <d3dx11.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "d3d11/implementation_gaps.h"
#include "test_files.h"
#include "test_images.h"

// Under AddressSanitizer an allocation of hundreds of megabytes, what a decompression bomb makes the decoder
// reserve, fails the test: no image here needs more than a few.
extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=256"; }

namespace {

using d3dx_test::Bmp;
using d3dx_test::Bytes;
using d3dx_test::Colours;
using d3dx_test::Gradient;
using d3dx_test::Image;
using d3dx_test::Jpeg;
using d3dx_test::Png;
using d3dx_test::Tga;
using d3dx_test::WriteTestFile;

Bytes Truncated(Bytes bytes, size_t keep) {
  bytes.resize(keep);
  return bytes;
}

// Why the loader cannot be tested here, or empty: an implementation may export it without implementing it,
// and calling it then raises an exception instead of returning. Found once, on the first device.
std::string LoaderMissing(ID3D11Device* device) {
  static const std::string reason = [device] {
    struct Call {
      ID3D11Device* device;
      std::string path;
      ID3D11ShaderResourceView* view;
    } call{device, WriteTestFile("probe.bmp", Bmp(Colours(), 24)), nullptr};
    unsigned long code = 0;
    auto load = [](void* argument) {
      auto* c = static_cast<Call*>(argument);
      D3DX11CreateShaderResourceViewFromFileA(c->device, c->path.c_str(), nullptr, nullptr, &c->view, nullptr);
    };
    const bool returned = d3d11_test::CallReturns(load, &call, &code);
    if (call.view) call.view->Release();
    if (returned) return std::string();
    char why[160];
    snprintf(why, sizeof why,
             "D3DX11CreateShaderResourceViewFromFileA is not implemented here (calling it raised exception 0x%lx)",
             code);
    return std::string(why);
  }();
  return reason;
}

class TextureLoading : public ::testing::Test {
 protected:
  void SetUp() override {
    D3D_FEATURE_LEVEL level;
    ASSERT_EQ(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION, &device_,
                                &level, &context_),
              S_OK);
    const std::string missing = LoaderMissing(device_);
    if (!missing.empty()) GTEST_SKIP() << missing;
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

TEST_F(TextureLoading, RunLengthTgaAsShortAsItsSizeAllows) {
  // 16 x 16, top row first, in two runs of 128 pixels: the fewest bytes run-length data can take.
  const Bytes tga = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 16, 0, 24, 0x20, 0xFF, 30, 20, 10, 0xFF, 60, 50, 40};
  Image image{16, 16, Bytes(16 * 16 * 4, 255)};
  for (size_t i = 0; i < 256; ++i)
    for (size_t c = 0; c < 3; ++c) image.rgba[4 * i + c] = static_cast<unsigned char>((i < 128 ? 10 : 40) + 10 * c);
  ExpectLoadsAs("runs.tga", tga, image, 0);
}

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

// Also, where there are such files, what is no file to read: a FIFO without a writer and devices that never
// end, refused at once.
TEST_F(TextureLoading, MissingFileFailsWithFileNotFound) {
  std::vector<std::string> paths = {d3dx_test::TestFilePath("no_such_texture.bmp")};
#ifndef _WIN32
  const std::string fifo = d3dx_test::TestFilePath("fifo.bmp");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  paths.insert(paths.end(), {fifo, std::string("/dev/zero"), std::string("/dev/urandom")});
#endif
  for (const std::string& path : paths) {
    ID3D11ShaderResourceView* view = nullptr;
    EXPECT_EQ(Load(path, &view), D3D11_ERROR_FILE_NOT_FOUND) << path;
    EXPECT_EQ(view, nullptr);
  }
}

TEST_F(TextureLoading, TruncatedFilesFail) {
  const Image image = Gradient(32, 16);
  const Bytes bmp = Bmp(image, 24), tga = Tga(image), png = Png(image), jpeg = Jpeg(image);
  ExpectRejected("cut_header.bmp", Truncated(bmp, 30));
  ExpectRejected("cut_pixels.bmp", Truncated(bmp, bmp.size() / 2));
  ExpectRejected("cut_last_byte.bmp", Truncated(bmp, bmp.size() - 1));
  ExpectRejected("cut_pixels.tga", Truncated(tga, tga.size() / 2));
  ExpectRejected("cut_last_byte.tga", Truncated(tga, tga.size() - 1));
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
  // A Huffman table claiming more than 256 codes.
  Bytes badHuffman = Jpeg(Gradient(16, 16));
  const Bytes dht = {0xFF, 0xC4};
  const auto table = std::search(badHuffman.begin(), badHuffman.end(), dht.begin(), dht.end());
  ASSERT_NE(table, badHuffman.end());
  std::fill(table + 5, table + 21, 0x40);  // after marker, length and class/id: 16 counts of 64
  ExpectRejected("bad_huffman.jpg", badHuffman);
  badHuffman.insert(badHuffman.begin(), 0xFF);  // a fill byte before the start-of-image marker
  ExpectRejected("fill_bad_huffman.jpg", badHuffman);
}

TEST_F(TextureLoading, ImagesBeyondTheDirect3DSizeLimitFail) {
  // Wider than 16384 with all its pixel data present.
  ExpectRejected("too_wide.bmp", Bmp(Gradient(16385, 1), 24));
  // A header claiming 20000 x 20000 on a few bytes: rejected before anything is decoded.
  ExpectRejected("huge_header.bmp", Bmp(Colours(), 24, 20000, 20000));
  Bytes hugeTga = Tga(Colours());
  hugeTga[12] = 0x20, hugeTga[13] = 0x4E, hugeTga[14] = 0x20, hugeTga[15] = 0x4E;
  ExpectRejected("huge_header.tga", hugeTga);
  // 16384 x 16384, within the limit, on a few bytes (a BMP's few rows, one run of a Targa, a JPEG's few
  // blocks): more pixels than the file can hold.
  ExpectRejected("bomb.bmp", Bmp(Colours(), 24, 16384, 16384));
  ExpectRejected("bomb.tga", {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0x40, 24, 0, 0xFF, 1, 2, 3, 0});
  Bytes jpegBomb = Jpeg(Colours());
  const Bytes sof = {0xFF, 0xC0};
  const auto frame = std::search(jpegBomb.begin(), jpegBomb.end(), sof.begin(), sof.end());
  ASSERT_NE(frame, jpegBomb.end());
  const unsigned char sides[] = {0x40, 0, 0x40, 0};  // height and width, 16384 each
  std::copy(sides, sides + 4, frame + 5);
  ExpectRejected("bomb.jpg", jpegBomb);
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
