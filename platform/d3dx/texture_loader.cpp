// D3DX11CreateShaderResourceViewFromFileA: the file is read whole, decoded with its mip chain
// (d3dx/image_decode.h), and the texture and view are made through the public Direct3D 11 API only.
#include <d3dx11tex.h>

#include <new>
#include <utility>
#include <vector>

#include "common/regular_file.h"
#include "common/startup_trace.h"
#include "d3dx/image_decode.h"

namespace platform {
namespace {

constexpr UINT kBytesPerPixel = 4;

HRESULT CreateView(ID3D11Device* device, RgbaImage image, ID3D11ShaderResourceView** view) {
  const std::vector<RgbaImage> levels = BuildMipChain(std::move(image));
  std::vector<D3D11_SUBRESOURCE_DATA> initial(levels.size());
  for (size_t level = 0; level < levels.size(); ++level) {
    initial[level].pSysMem = levels[level].rgba.data();
    initial[level].SysMemPitch = levels[level].width * kBytesPerPixel;
    initial[level].SysMemSlicePitch = levels[level].width * levels[level].height * kBytesPerPixel;
  }

  D3D11_TEXTURE2D_DESC desc = {};
  desc.Width = levels[0].width;
  desc.Height = levels[0].height;
  desc.MipLevels = static_cast<UINT>(levels.size());
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

// What cannot be read as an image file (missing, not a regular file, larger than any image it could
// hold) fails as a missing file does.
HRESULT LoadTextureView(ID3D11Device* device, const char* path, ID3D11ShaderResourceView** view) {
  std::vector<unsigned char> bytes;
  if (!ReadRegularFile(path, kMaxImageFileBytes, &bytes)) return D3D11_ERROR_FILE_NOT_FOUND;
  RgbaImage image;
  if (!DecodeImage(bytes.data(), bytes.size(), &image)) return E_FAIL;
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
