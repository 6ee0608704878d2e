#include "d3d11_test.h"

#include <string.h>

#include <ostream>

namespace d3d11_test {

std::ostream& operator<<(std::ostream& out, const Rgba& c) {
  return out << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ", " << int(c.a) << ")";
}

HRESULT CreateHeadlessDevice(ID3D11Device** device, ID3D11DeviceContext** context) {
  const D3D_FEATURE_LEVEL level = D3D_FEATURE_LEVEL_11_0;
  return D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, &level, 1, D3D11_SDK_VERSION, device,
                           nullptr, context);
}

Com<ID3D10Blob> Compile(const char* file, const char* entry, const char* profile) {
  const std::string path = std::string(VIEWER_SOURCE_DIR) + "/tests/d3d11/" + file;
  const std::wstring widePath(path.begin(), path.end());
  Com<ID3D10Blob> code;
  Com<ID3D10Blob> errors;
  HRESULT hr = D3DX11CompileFromFileW(widePath.c_str(), nullptr, nullptr, entry, profile, 0, 0, nullptr, code.put(),
                                      errors.put(), nullptr);
  EXPECT_TRUE(SUCCEEDED(hr)) << entry << ": "
                             << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "no message");
  return code;
}

HWND CreateTestWindow(const wchar_t* className, int width, int height) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = className;
  RegisterClassExW(&windowClass);  // fails harmlessly when already registered
  return CreateWindowExW(0, className, className, WS_OVERLAPPEDWINDOW, 0, 0, width, height, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

DXGI_SWAP_CHAIN_DESC WindowedSwapChainDesc(HWND window, UINT width, UINT height) {
  DXGI_SWAP_CHAIN_DESC desc = {};
  desc.BufferDesc = {width, height, {60, 1}, DXGI_FORMAT_R8G8B8A8_UNORM, DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED,
                     DXGI_MODE_SCALING_UNSPECIFIED};
  desc.SampleDesc = {1, 0};
  desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
  desc.BufferCount = 1;
  desc.OutputWindow = window;
  desc.Windowed = TRUE;
  desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
  return desc;
}

std::vector<uint8_t> ReadTexture(ID3D11Device* device, ID3D11DeviceContext* context, ID3D11Texture2D* texture,
                                 UINT bytesPerPixel) {
  D3D11_TEXTURE2D_DESC desc;
  texture->GetDesc(&desc);
  desc.Usage = D3D11_USAGE_STAGING;
  desc.BindFlags = 0;
  desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  desc.MiscFlags = 0;
  Com<ID3D11Texture2D> staging;
  std::vector<uint8_t> bytes;
  EXPECT_EQ(device->CreateTexture2D(&desc, nullptr, staging.put()), S_OK);
  if (!staging) return bytes;
  context->CopyResource(staging.get(), texture);
  D3D11_MAPPED_SUBRESOURCE mapped;
  EXPECT_EQ(context->Map(staging.get(), 0, D3D11_MAP_READ, 0, &mapped), S_OK);
  if (!mapped.pData) return bytes;
  const size_t rowBytes = size_t{desc.Width} * bytesPerPixel;
  EXPECT_GE(mapped.RowPitch, rowBytes);
  bytes.resize(rowBytes * desc.Height);
  for (UINT y = 0; y < desc.Height; ++y)
    memcpy(&bytes[y * rowBytes], static_cast<const uint8_t*>(mapped.pData) + size_t{y} * mapped.RowPitch, rowBytes);
  context->Unmap(staging.get(), 0);
  return bytes;
}

void RenderTest::SetUp() {
  ASSERT_TRUE(SUCCEEDED(CreateHeadlessDevice(device.put(), context.put())));
  D3D11_TEXTURE2D_DESC desc = {};
  desc.Width = desc.Height = kSize;
  desc.MipLevels = desc.ArraySize = 1;
  desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  desc.SampleDesc.Count = 1;
  desc.Usage = D3D11_USAGE_DEFAULT;
  desc.BindFlags = D3D11_BIND_RENDER_TARGET;
  ASSERT_EQ(device->CreateTexture2D(&desc, nullptr, target.put()), S_OK);
  ASSERT_EQ(device->CreateRenderTargetView(target.get(), nullptr, targetView.put()), S_OK);
  desc.Format = DXGI_FORMAT_D32_FLOAT;
  desc.BindFlags = D3D11_BIND_DEPTH_STENCIL;
  ASSERT_EQ(device->CreateTexture2D(&desc, nullptr, depth.put()), S_OK);
  ASSERT_EQ(device->CreateDepthStencilView(depth.get(), nullptr, depthView.put()), S_OK);
  context->OMSetRenderTargets(1, targetView.address(), depthView.get());
  const D3D11_VIEWPORT viewport = {0.0f, 0.0f, float(kSize), float(kSize), 0.0f, 1.0f};
  context->RSSetViewports(1, &viewport);
  context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
  const float black[4] = {0, 0, 0, 1};
  Clear(black);
}

void RenderTest::Clear(const float color[4]) {
  context->ClearRenderTargetView(targetView.get(), color);
  context->ClearDepthStencilView(depthView.get(), D3D11_CLEAR_DEPTH, 1.0f, 0);
}

std::vector<Rgba> RenderTest::ReadBack(ID3D11Texture2D* texture) {
  const std::vector<uint8_t> bytes = ReadTexture(device.get(), context.get(), texture);
  std::vector<Rgba> pixels(bytes.size() / 4);
  if (!bytes.empty()) memcpy(pixels.data(), bytes.data(), bytes.size());
  return pixels;
}

void RenderTest::ExpectHalves(const Rgba& left, const Rgba& right) {
  const std::vector<Rgba> pixels = ReadTarget();
  ASSERT_EQ(pixels.size(), size_t{kSize} * kSize);
  EXPECT_EQ(At(pixels, kSize / 4, kSize / 2), left) << "left half";
  EXPECT_EQ(At(pixels, 3 * kSize / 4, kSize / 2), right) << "right half";
}

void RenderTest::ExpectQuarters(const Rgba& first, const Rgba& second, const Rgba& third, const Rgba& fourth) {
  const std::vector<Rgba> pixels = ReadTarget();
  ASSERT_EQ(pixels.size(), size_t{kSize} * kSize);
  const Rgba expected[4] = {first, second, third, fourth};
  for (UINT i = 0; i < 4; ++i) EXPECT_EQ(At(pixels, kSize / 8 + i * kSize / 4, kSize / 2), expected[i]) << "quarter " << i;
}

Com<ID3D11Buffer> RenderTest::MakeBuffer(UINT bindFlags, const void* data, UINT bytes) {
  D3D11_BUFFER_DESC desc = {bytes, D3D11_USAGE_DEFAULT, bindFlags, 0, 0, 0};
  D3D11_SUBRESOURCE_DATA initial = {data, 0, 0};
  Com<ID3D11Buffer> buffer;
  EXPECT_EQ(device->CreateBuffer(&desc, &initial, buffer.put()), S_OK);
  return buffer;
}

Com<ID3D11Buffer> RenderTest::MakeDynamicConstantBuffer(UINT bytes) {
  D3D11_BUFFER_DESC desc = {bytes, D3D11_USAGE_DYNAMIC, D3D11_BIND_CONSTANT_BUFFER, D3D11_CPU_ACCESS_WRITE, 0, 0};
  ID3D11Buffer* buffer = nullptr;
  EXPECT_EQ(device->CreateBuffer(&desc, nullptr, &buffer), S_OK);
  return Com<ID3D11Buffer>(buffer);
}

void RenderTest::Fill(ID3D11Buffer* buffer, const void* data, UINT bytes) {
  D3D11_MAPPED_SUBRESOURCE mapped;
  ASSERT_EQ(context->Map(buffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped), S_OK);
  memcpy(mapped.pData, data, bytes);
  context->Unmap(buffer, 0);
}

void RenderTest::UseShaders(const char* vertexEntry, const char* pixelEntry, const D3D11_INPUT_ELEMENT_DESC* elements,
                            UINT count) {
  Com<ID3D10Blob> vs = Compile("pipeline.hlsl", vertexEntry, "vs_5_0");
  Com<ID3D10Blob> ps = Compile("pipeline.hlsl", pixelEntry, "ps_5_0");
  ASSERT_TRUE(vs && ps);
  ASSERT_EQ(device->CreateVertexShader(vs->GetBufferPointer(), vs->GetBufferSize(), nullptr, vertexShader_.put()),
            S_OK);
  ASSERT_EQ(device->CreatePixelShader(ps->GetBufferPointer(), ps->GetBufferSize(), nullptr, pixelShader_.put()), S_OK);
  ASSERT_EQ(device->CreateInputLayout(elements, count, vs->GetBufferPointer(), vs->GetBufferSize(), layout_.put()),
            S_OK);
  context->VSSetShader(vertexShader_.get(), nullptr, 0);
  context->PSSetShader(pixelShader_.get(), nullptr, 0);
  context->IASetInputLayout(layout_.get());
}

void RenderTest::UseColorShaders(const char* vertexEntry) {
  const D3D11_INPUT_ELEMENT_DESC elements[] = {
      {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
      {"COLOR", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 12, D3D11_INPUT_PER_VERTEX_DATA, 0},
  };
  UseShaders(vertexEntry, "PSColor", elements, 2);
}

void RenderTest::UseTexturedShaders(const char* pixelEntry) {
  // Lower-case semantic names: the layout matches the shader's TEXCOORD without regard to case.
  const D3D11_INPUT_ELEMENT_DESC elements[] = {
      {"position", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
      {"texcoord", 0, DXGI_FORMAT_R32G32_FLOAT, 0, D3D11_APPEND_ALIGNED_ELEMENT, D3D11_INPUT_PER_VERTEX_DATA, 0},
  };
  UseShaders("VSTextured", pixelEntry, elements, 2);
}

void RenderTest::BindTexture(ID3D11ShaderResourceView* view, ID3D11SamplerState* sampler) {
  context->PSSetShaderResources(0, 1, &view);
  context->PSSetSamplers(0, 1, &sampler);
}

template <class Vertex>
void RenderTest::Draw(const std::vector<Vertex>& vertices) {
  std::vector<uint32_t> indices(vertices.size());
  for (size_t i = 0; i < indices.size(); ++i) indices[i] = uint32_t(i);
  Com<ID3D11Buffer> vertexBuffer =
      MakeBuffer(D3D11_BIND_VERTEX_BUFFER, vertices.data(), UINT(vertices.size() * sizeof(Vertex)));
  Com<ID3D11Buffer> indexBuffer = MakeBuffer(D3D11_BIND_INDEX_BUFFER, indices.data(), UINT(indices.size() * 4));
  const UINT stride = sizeof(Vertex), offset = 0;
  context->IASetVertexBuffers(0, 1, vertexBuffer.address(), &stride, &offset);
  context->IASetIndexBuffer(indexBuffer.get(), DXGI_FORMAT_R32_UINT, 0);
  context->DrawIndexed(UINT(indices.size()), 0, 0);
}

void RenderTest::DrawColored(const std::vector<ColorVertex>& vertices) { Draw(vertices); }
void RenderTest::DrawTextured(const std::vector<TexturedVertex>& vertices) { Draw(vertices); }

Com<ID3D11Texture2D> RenderTest::MakeTexture(UINT width, UINT height, const std::vector<std::vector<Rgba>>& levels) {
  D3D11_TEXTURE2D_DESC desc = {};
  desc.Width = width;
  desc.Height = height;
  desc.MipLevels = UINT(levels.size());
  desc.ArraySize = 1;
  desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  desc.SampleDesc.Count = 1;
  desc.Usage = D3D11_USAGE_DEFAULT;
  desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
  std::vector<D3D11_SUBRESOURCE_DATA> initial;
  for (size_t level = 0; level < levels.size(); ++level)
    initial.push_back({levels[level].data(), std::max(1u, width >> level) * 4, 0});
  ID3D11Texture2D* texture = nullptr;
  EXPECT_EQ(device->CreateTexture2D(&desc, initial.data(), &texture), S_OK);
  return Com<ID3D11Texture2D>(texture);
}

Com<ID3D11ShaderResourceView> RenderTest::MakeView(ID3D11Texture2D* texture) {
  ID3D11ShaderResourceView* view = nullptr;
  EXPECT_EQ(device->CreateShaderResourceView(texture, nullptr, &view), S_OK);
  return Com<ID3D11ShaderResourceView>(view);
}

Com<ID3D11SamplerState> RenderTest::MakeSampler(D3D11_FILTER filter, D3D11_TEXTURE_ADDRESS_MODE address,
                                                float maxLod) {
  D3D11_SAMPLER_DESC desc = {};
  desc.Filter = filter;
  desc.AddressU = desc.AddressV = desc.AddressW = address;
  desc.MaxLOD = maxLod;
  ID3D11SamplerState* sampler = nullptr;
  EXPECT_EQ(device->CreateSamplerState(&desc, &sampler), S_OK);
  return Com<ID3D11SamplerState>(sampler);
}

Com<ID3D11RasterizerState> RenderTest::MakeRasterizer(D3D11_CULL_MODE cull, BOOL frontCounterClockwise,
                                                      BOOL depthClip) {
  D3D11_RASTERIZER_DESC desc = {};
  desc.FillMode = D3D11_FILL_SOLID;
  desc.CullMode = cull;
  desc.FrontCounterClockwise = frontCounterClockwise;
  desc.DepthClipEnable = depthClip;
  ID3D11RasterizerState* state = nullptr;
  EXPECT_EQ(device->CreateRasterizerState(&desc, &state), S_OK);
  return Com<ID3D11RasterizerState>(state);
}

std::vector<ColorVertex> ColorQuad(float x0, float y0, float x1, float y1, float z, const float c[4]) {
  // (x0, y1) top-left, (x1, y1) top-right, (x1, y0) bottom-right, (x0, y0) bottom-left: clockwise on screen.
  const ColorVertex tl{x0, y1, z, c[0], c[1], c[2], c[3]}, tr{x1, y1, z, c[0], c[1], c[2], c[3]},
      br{x1, y0, z, c[0], c[1], c[2], c[3]}, bl{x0, y0, z, c[0], c[1], c[2], c[3]};
  return {tl, tr, br, tl, br, bl};
}

std::vector<TexturedVertex> TexturedQuad(float x0, float y0, float x1, float y1, float u1, float v1) {
  const TexturedVertex tl{x0, y1, 0.5f, 0, 0}, tr{x1, y1, 0.5f, u1, 0}, br{x1, y0, 0.5f, u1, v1},
      bl{x0, y0, 0.5f, 0, v1};
  return {tl, tr, br, tl, br, bl};
}

}  // namespace d3d11_test
