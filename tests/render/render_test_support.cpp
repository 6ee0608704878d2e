#include "tests/render/render_test_support.h"

#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "app/Window.h"
#include "graphics/Device.h"

namespace fs = std::filesystem;

DataFolder::DataFolder() {
  std::random_device random;
  fs::path folder;
  do {
    folder = fs::temp_directory_path() / ("viewer-render-" + std::to_string(random()));
  } while (fs::exists(folder));
  fs::create_directories(folder);
  for (const fs::directory_entry& entry : fs::directory_iterator(VIEWER_DATA_DIR)) {
    if (entry.is_regular_file() && entry.path().filename() != ".stamp")
      fs::copy_file(entry.path(), folder / entry.path().filename());
  }
  path_ = folder.string();
  previous_ = fs::current_path().string();
  fs::current_path(folder);
}

DataFolder::~DataFolder() {
  std::error_code ignored;
  fs::current_path(previous_, ignored);
  fs::remove_all(path_, ignored);
}

void DataFolder::Write(const std::string& name, const std::string& contents) const {
  std::ofstream out(fs::path(path_) / name, std::ios::binary | std::ios::trunc);
  out << contents;
  ASSERT_TRUE(out.good()) << "cannot write " << name;
}

void DataFolder::Remove(const std::string& name) const { fs::remove(fs::path(path_) / name); }

std::string SolidBmp(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  const int rowSize = (width * 3 + 3) / 4 * 4;
  const uint32_t size = 54 + rowSize * height;
  const uint32_t header[] = {size, 0, 54, 40, uint32_t(width), uint32_t(height), 1 | (24 << 16), 0,
                             uint32_t(rowSize * height), 2835, 2835, 0, 0};
  std::string bmp = "BM";
  bmp.append(reinterpret_cast<const char*>(header), sizeof(header));
  std::string row(rowSize, '\0');
  for (int x = 0; x < width; ++x) row[x * 3] = char(b), row[x * 3 + 1] = char(g), row[x * 3 + 2] = char(r);
  for (int y = 0; y < height; ++y) bmp += row;
  return bmp;
}

const char kFlatShader[] = R"(
cbuffer FrameConstants : register(b0) { float4 lightDirection; float4 fog; float4 eye; float4 ones; float4 half_; };
cbuffer ObjectConstants : register(b1) { float4x4 world; float4x4 worldViewProjection; float4x4 projectionBias; };
cbuffer MaterialConstants : register(b2) { float4 ambient; float4 diffuse; float4 specular; };
Texture2D materialTexture : register(t0);
SamplerState materialSampler : register(s0);
struct PSInput { float4 position : SV_POSITION; float2 texcoord : TEXCOORD0; };
PSInput VS(float3 position : POSITION, float3 normal : NORMAL, float2 texcoord : TEXCOORD0)
{
    PSInput output;
    output.position = mul(float4(position + normal * 0.0, 1.0), worldViewProjection);
    output.texcoord = texcoord;
    return output;
}
float4 PS(PSInput input) : SV_TARGET
{
    return float4(ambient.rgb * materialTexture.Sample(materialSampler, input.texcoord).rgb + diffuse.rgb, 1.0);
}
)";

void ModelText::Square(const std::string& material, bool textured, float x, float y, float z, float halfSize) {
  const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  for (const auto& c : corners) {
    // The loader negates x and flips v: the file holds -x and the bottom-up v.
    text_ += "v " + std::to_string(-(x + c[0] * halfSize)) + " " + std::to_string(y + c[1] * halfSize) + " " +
             std::to_string(z) + "\n";
    if (textured) text_ += "vt " + std::to_string((c[0] + 1) / 2) + " " + std::to_string((c[1] + 1) / 2) + "\n";
  }
  text_ += "vn 0 0 -1\nusemtl " + material + "\n";
  const int normal = ++normals_;
  auto reference = [&](int corner) {
    std::string t = textured ? std::to_string(texcoords_ + corner) : "";
    return " " + std::to_string(positions_ + corner) + "/" + t + "/" + std::to_string(normal);
  };
  text_ += "f" + reference(1) + reference(2) + reference(3) + "\n";
  text_ += "f" + reference(1) + reference(3) + reference(4) + "\n";
  positions_ += 4;
  if (textured) texcoords_ += 4;
}

ViewerSession::ViewerSession() { g_app = new Application(); }

ViewerSession::~ViewerSession() {
  Cleanup();
  if (g_app->hWnd != nullptr) DestroyWindow(g_app->hWnd);
  delete g_app;
  g_app = nullptr;
}

HRESULT ViewerSession::Start() {
  HRESULT hr = InitWindow(GetModuleHandleW(nullptr));
  return FAILED(hr) ? hr : InitDevice();
}

Rgb Image::At(UINT x, UINT y) const {
  const uint8_t* p = &rgba[(size_t(y) * width + x) * 4];
  return Rgb{p[0], p[1], p[2]};
}

double Image::MeanDistanceTo(Rgb colour) const {
  double sum = 0;
  for (size_t i = 0; i < rgba.size(); i += 4)
    sum += std::abs(rgba[i] - colour.r) + std::abs(rgba[i + 1] - colour.g) + std::abs(rgba[i + 2] - colour.b);
  return rgba.empty() ? 0 : sum / (rgba.size() / 4 * 3);
}

size_t Image::Count(Rgb colour, int tolerance) const {
  size_t count = 0;
  for (size_t i = 0; i < rgba.size(); i += 4) {
    count += std::abs(rgba[i] - colour.r) <= tolerance && std::abs(rgba[i + 1] - colour.g) <= tolerance &&
             std::abs(rgba[i + 2] - colour.b) <= tolerance;
  }
  return count;
}

size_t Image::DistinctColours() const {
  std::set<uint32_t> colours;
  for (size_t i = 0; i < rgba.size(); i += 4) colours.insert(rgba[i] << 16 | rgba[i + 1] << 8 | rgba[i + 2]);
  return colours.size();
}

namespace {

template <typename Desc>
void MakeStaging(Desc& desc) {
  desc.Usage = D3D11_USAGE_STAGING;
  desc.BindFlags = 0;
  desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  desc.MiscFlags = 0;
}

// Copies source into staging, maps the copy for reading and hands the mapping to read; releases staging.
template <typename Read>
HRESULT ReadThroughStaging(Application& app, ID3D11Resource* source, ID3D11Resource* staging, Read read) {
  app.context->CopyResource(staging, source);
  D3D11_MAPPED_SUBRESOURCE mapped;
  HRESULT hr = app.context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped);
  if (SUCCEEDED(hr)) {
    read(mapped);
    app.context->Unmap(staging, 0);
  }
  staging->Release();
  EXPECT_TRUE(SUCCEEDED(hr)) << "mapping a staging copy failed: " << std::hex << hr;
  return hr;
}

}  // namespace

Image ReadBackBuffer(Application& app) {
  Image image;
  ID3D11Texture2D* backBuffer = nullptr;
  ID3D11Texture2D* staging = nullptr;
  D3D11_TEXTURE2D_DESC desc;
  if (FAILED(app.swapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), (void**)&backBuffer))) {
    ADD_FAILURE() << "GetBuffer failed";
    return image;
  }
  backBuffer->GetDesc(&desc);
  MakeStaging(desc);
  if (SUCCEEDED(app.device->CreateTexture2D(&desc, nullptr, &staging))) {
    ReadThroughStaging(app, backBuffer, staging, [&](const D3D11_MAPPED_SUBRESOURCE& mapped) {
      image.width = desc.Width;
      image.height = desc.Height;
      image.rgba.resize(size_t(desc.Width) * desc.Height * 4);
      for (UINT y = 0; y < desc.Height; ++y)
        memcpy(&image.rgba[size_t(y) * desc.Width * 4], (const uint8_t*)mapped.pData + size_t(y) * mapped.RowPitch,
               size_t(desc.Width) * 4);
    });
  } else {
    ADD_FAILURE() << "no staging texture";
  }
  backBuffer->Release();
  return image;
}

std::vector<uint8_t> ReadBuffer(Application& app, ID3D11Buffer* buffer) {
  std::vector<uint8_t> bytes;
  ID3D11Buffer* staging = nullptr;
  D3D11_BUFFER_DESC desc;
  if (buffer == nullptr) {
    ADD_FAILURE() << "no buffer to read";
    return bytes;
  }
  buffer->GetDesc(&desc);
  MakeStaging(desc);
  if (SUCCEEDED(app.device->CreateBuffer(&desc, nullptr, &staging))) {
    ReadThroughStaging(app, buffer, staging, [&](const D3D11_MAPPED_SUBRESOURCE& mapped) {
      bytes.assign((const uint8_t*)mapped.pData, (const uint8_t*)mapped.pData + desc.ByteWidth);
    });
  } else {
    ADD_FAILURE() << "no staging buffer";
  }
  return bytes;
}

std::vector<float> ReadFloats(Application& app, ID3D11Buffer* buffer) {
  std::vector<uint8_t> bytes = ReadBuffer(app, buffer);
  std::vector<float> floats(bytes.size() / sizeof(float));
  if (!floats.empty()) memcpy(floats.data(), bytes.data(), floats.size() * sizeof(float));
  return floats;
}
