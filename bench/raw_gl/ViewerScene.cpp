#include "ViewerScene.h"

#include <d3dx11.h>
#include <d3dx10math.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

std::vector<unsigned char> ReadBuffer(ID3D11Buffer* buffer) {
  D3D11_BUFFER_DESC desc;
  buffer->GetDesc(&desc);
  D3D11_BUFFER_DESC stagingDesc = {};
  stagingDesc.ByteWidth = desc.ByteWidth;
  stagingDesc.Usage = D3D11_USAGE_STAGING;
  stagingDesc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  Released<ID3D11Buffer> staging;
  if (FAILED(g_app->device->CreateBuffer(&stagingDesc, nullptr, &staging))) BenchFail("cannot create a staging buffer");
  g_app->context->CopyResource(staging.p, buffer);
  D3D11_MAPPED_SUBRESOURCE mapped;
  if (FAILED(g_app->context->Map(staging.p, 0, D3D11_MAP_READ, 0, &mapped))) BenchFail("cannot map a staging buffer");
  const unsigned char* bytes = static_cast<const unsigned char*>(mapped.pData);
  std::vector<unsigned char> data(bytes, bytes + desc.ByteWidth);
  g_app->context->Unmap(staging.p, 0);
  return data;
}

// Every mip level of the texture a view shows, the largest first.
std::vector<Image> ReadView(ID3D11ShaderResourceView* view) {
  Released<ID3D11Resource> resource;
  view->GetResource(&resource);
  Released<ID3D11Texture2D> texture;
  if (FAILED(resource->QueryInterface(__uuidof(ID3D11Texture2D), reinterpret_cast<void**>(&texture)))) {
    BenchFail("a shader-resource view does not view a 2D texture");
  }
  TextureReader reader(texture.p);
  std::vector<Image> levels;
  for (UINT level = 0; level < reader.Levels(); ++level) levels.push_back(reader.Read(level));
  return levels;
}

std::vector<unsigned char> CompileStage(const char* entry, const char* profile) {
  Released<ID3D10Blob> code;
  Released<ID3D10Blob> errors;
  HRESULT hr = D3DX11CompileFromFileW(L"Fog.hlsl", nullptr, nullptr, entry, profile, 0, 0, nullptr, &code, &errors,
                                      nullptr);
  if (FAILED(hr)) {
    BenchFail(std::string("Fog.hlsl does not compile: ") +
              (errors.p ? static_cast<const char*>(errors->GetBufferPointer()) : "no message"));
  }
  const unsigned char* bytes = static_cast<const unsigned char*>(code->GetBufferPointer());
  return std::vector<unsigned char>(bytes, bytes + code->GetBufferSize());
}

RawSceneMesh ReadMesh(const Mesh& mesh, std::vector<std::vector<Image>>* textures) {
  RawSceneMesh raw;
  if (mesh.vertexBuffer) raw.vertices = ReadBuffer(mesh.vertexBuffer);
  for (UINT i = 0; i < mesh.materialCount; ++i) {
    const Material& material = mesh.materials[i];
    if (material.faceCount == 0) continue;
    RawSceneDraw draw;
    draw.indices = ReadBuffer(mesh.indexBuffers[i]);
    const size_t drawnBytes = size_t{material.faceCount} * 3 * 4;
    if (draw.indices.size() < drawnBytes) BenchFail("an index buffer is shorter than its material's faces");
    draw.indices.resize(drawnBytes);
    draw.colours.ambient = material.ambient;
    draw.colours.diffuse = material.diffuse;
    draw.colours.specular = material.specular;
    if (material.textureFile[0] != '\0' && material.textureView) {
      draw.texture = static_cast<int>(textures->size());
      textures->push_back(ReadView(material.textureView));
    }
    raw.draws.push_back(std::move(draw));
  }
  return raw;
}

}  // namespace

TextureReader::TextureReader(ID3D11Texture2D* texture) : texture_(texture) {
  texture_->AddRef();
  D3D11_TEXTURE2D_DESC desc;
  texture->GetDesc(&desc);
  if (desc.Format != DXGI_FORMAT_R8G8B8A8_UNORM && desc.Format != DXGI_FORMAT_B8G8R8A8_UNORM) {
    BenchFail("a texture has a format other than RGBA8 or BGRA8: " + std::to_string(desc.Format));
  }
  D3D11_TEXTURE2D_DESC stagingDesc = desc;
  stagingDesc.Usage = D3D11_USAGE_STAGING;
  stagingDesc.BindFlags = 0;
  stagingDesc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  stagingDesc.MiscFlags = 0;
  if (FAILED(g_app->device->CreateTexture2D(&stagingDesc, nullptr, &staging_.p))) {
    BenchFail("cannot create a staging texture");
  }
  levels_ = desc.MipLevels;
  image_.format = desc.Format;
  width_ = static_cast<int>(desc.Width);
  height_ = static_cast<int>(desc.Height);
}

TextureReader::~TextureReader() { texture_->Release(); }

const Image& TextureReader::Read(UINT level) {
  if (level == 0) g_app->context->CopyResource(staging_.p, texture_);
  image_.width = std::max(1, width_ >> level);
  image_.height = std::max(1, height_ >> level);
  image_.pixels.resize(static_cast<size_t>(image_.width) * image_.height * 4);
  D3D11_MAPPED_SUBRESOURCE mapped;
  if (FAILED(g_app->context->Map(staging_.p, level, D3D11_MAP_READ, 0, &mapped))) {
    BenchFail("cannot map a staging texture");
  }
  const size_t rowBytes = static_cast<size_t>(image_.width) * 4;
  for (int y = 0; y < image_.height; ++y) {
    memcpy(&image_.pixels[y * rowBytes], static_cast<const unsigned char*>(mapped.pData) + y * mapped.RowPitch,
           rowBytes);
  }
  g_app->context->Unmap(staging_.p, level);
  return image_;
}

RawFrame ComputeFrame(const Application& app) {
  const D3DXVECTOR3& eye = app.cameraPosition;
  D3DXVECTOR3 at(eye.x, eye.y + 0.01f, eye.z + 0.1f);
  D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
  D3DXMATRIX view;
  D3DXMATRIX projection;
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  D3DXMatrixPerspectiveFovLH(&projection, static_cast<float>(M_PI / 3), 4.0f / 3.0f, 0.1f, 100.0f);

  RawFrame constants = {};
  D3DXVec4Normalize(&constants.frame.lightDirection, &app.lightDirection);
  constants.frame.fogDensity = app.fogDensity;
  constants.frame.eyePosition = D3DXVECTOR4(eye.x, eye.y, eye.z, 0.0f);
  constants.frame.fogColor = D3DXVECTOR4(1.0f, 1.0f, 1.0f, 1.0f);
  constants.frame.sharedTextureWeight = 0.5f;

  // Both meshes are drawn with the identity as their world matrix; blocks hold matrices transposed.
  D3DXMATRIX world;
  D3DXMatrixIdentity(&world);
  D3DXMATRIX product;
  D3DXMatrixTranspose(&constants.object.world, &world);
  D3DXMatrixMultiply(&product, &world, &view);
  D3DXMatrixMultiply(&product, &product, &projection);
  D3DXMatrixTranspose(&constants.object.worldViewProjection, &product);
  D3DXMatrixMultiply(&product, &world, &projection);
  D3DXMatrixMultiply(&product, &product, &app.textureBias);
  D3DXMatrixTranspose(&constants.object.worldProjectionBias, &product);
  return constants;
}

RawScene ReadViewerScene() {
  RawScene scene;
  RECT client = {};
  GetClientRect(g_app->hWnd, &client);
  scene.clientWidth = std::max(1, static_cast<int>(client.right - client.left));
  scene.clientHeight = std::max(1, static_cast<int>(client.bottom - client.top));
  scene.vertexCode = CompileStage("VS", "vs_5_0");
  scene.pixelCode = CompileStage("PS", "ps_5_0");
  for (const Mesh* mesh : {&g_app->sceneMesh, &g_app->skyMesh}) {
    RawSceneMesh raw = ReadMesh(*mesh, &scene.textures);
    if (!raw.vertices.empty()) scene.meshes.push_back(std::move(raw));
  }
  scene.sharedTexture = static_cast<int>(scene.textures.size());
  scene.textures.push_back(ReadView(g_app->sharedTexture));
  scene.firstFrame = ComputeFrame(*g_app);
  return scene;
}
