#include "TestDevice.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>

#include "model/MeshLoader.h"

bool CreateTestDevice(Application& app) {
  D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0};
  D3D_FEATURE_LEVEL level;
  HRESULT hr = D3D11CreateDevice(NULL, D3D_DRIVER_TYPE_HARDWARE, NULL, 0, levels, 1, D3D11_SDK_VERSION,
                                 &app.device, &level, &app.context);
  return SUCCEEDED(hr);
}

void ReleaseTestDevice(Application& app) {
  ReleaseMesh(app.sceneMesh);
  ReleaseMesh(app.skyMesh);
  if (app.context != NULL) app.context->Release();
  if (app.device != NULL) app.device->Release();
  app.context = NULL;
  app.device = NULL;
}

void ReleaseMesh(Mesh& mesh) {
  ReleaseMeshBuffers(mesh);
  DestroyMaterialArray(mesh.materials);
  mesh = Mesh();
}

UINT BufferByteWidth(ID3D11Buffer* buffer) {
  D3D11_BUFFER_DESC desc;
  buffer->GetDesc(&desc);
  return desc.ByteWidth;
}

std::vector<unsigned char> ReadBuffer(Application& app, ID3D11Buffer* buffer) {
  D3D11_BUFFER_DESC desc;
  buffer->GetDesc(&desc);
  desc.Usage = D3D11_USAGE_STAGING;
  desc.BindFlags = 0;
  desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  desc.MiscFlags = 0;
  std::vector<unsigned char> bytes;
  ID3D11Buffer* staging = NULL;
  if (FAILED(app.device->CreateBuffer(&desc, NULL, &staging))) return bytes;
  app.context->CopyResource(staging, buffer);
  D3D11_MAPPED_SUBRESOURCE mapped;
  if (SUCCEEDED(app.context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped))) {
    const unsigned char* data = static_cast<const unsigned char*>(mapped.pData);
    bytes.assign(data, data + desc.ByteWidth);
    app.context->Unmap(staging, 0);
  }
  staging->Release();
  return bytes;
}

ScratchFolder::ScratchFolder() {
  previous = std::filesystem::current_path().string();
  std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int i = 0;; ++i) {
    std::filesystem::path candidate = base / ("model_tests_" + std::to_string(rand()) + "_" + std::to_string(i));
    if (std::filesystem::create_directory(candidate)) {
      path = candidate.string();
      break;
    }
  }
  std::filesystem::current_path(path);
}

ScratchFolder::~ScratchFolder() {
  std::filesystem::current_path(previous);
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

void WriteFile(const std::string& name, const std::string& contents) {
  FILE* file = fopen(name.c_str(), "wb");
  if (file == NULL) return;
  fwrite(contents.data(), 1, contents.size(), file);
  fclose(file);
}

std::string SmallBmp() {
  // 14-byte file header, 40-byte info header, two rows of two BGR pixels padded to 8 bytes.
  unsigned char bmp[70] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0,
                           1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0};
  const unsigned char pixels[16] = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
  memcpy(bmp + 54, pixels, sizeof pixels);
  return std::string(reinterpret_cast<const char*>(bmp), sizeof bmp);
}

std::vector<Vertex> ReadVertices(Application& app, const Mesh& mesh) {
  std::vector<unsigned char> bytes = ReadBuffer(app, mesh.vertexBuffer);
  std::vector<Vertex> vertices(bytes.size() / sizeof(Vertex));
  memcpy(vertices.data(), bytes.data(), vertices.size() * sizeof(Vertex));
  return vertices;
}

std::vector<UINT> ReadIndices(Application& app, ID3D11Buffer* buffer) {
  std::vector<unsigned char> bytes = ReadBuffer(app, buffer);
  std::vector<UINT> indices(bytes.size() / sizeof(UINT));
  memcpy(indices.data(), bytes.data(), indices.size() * sizeof(UINT));
  return indices;
}
