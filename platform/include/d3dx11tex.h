// D3DX 11 texture loading.
#pragma once

#include <d3d11.h>
#include <d3dx11core.h>

struct D3DX11_IMAGE_LOAD_INFO;

#ifdef __cplusplus
extern "C" {
#endif

// Loads a BMP (24-bit, 32-bit, 8-bit palettised), PNG, JPEG or TGA file into a new 2D texture and returns a
// view of it. As D3DX does by default, the texture is DXGI_FORMAT_R8G8B8A8_UNORM with the full mip chain
// (each level a 2 x 2 box filter of the one above), usage DEFAULT and bind flag SHADER_RESOURCE; it is made
// with pDevice->CreateTexture2D and CreateShaderResourceView, and the view holds its only reference.
// Results: D3D11_ERROR_FILE_NOT_FOUND for a file that cannot be opened; E_FAIL for a file that is not a
// readable image of those formats, is truncated, or is wider or taller than 16384; E_INVALIDARG for a null
// device, file name or view pointer; otherwise what the device returns. On failure *ppShaderResourceView
// is null and nothing is created. pHResult, when given, receives the returned value.
//
// Linux: pLoadInfo and pPump must be null (E_NOTIMPL otherwise); the call always runs synchronously.
HRESULT WINAPI D3DX11CreateShaderResourceViewFromFileA(ID3D11Device* pDevice, LPCSTR pSrcFile,
                                                       D3DX11_IMAGE_LOAD_INFO* pLoadInfo, ID3DX11ThreadPump* pPump,
                                                       ID3D11ShaderResourceView** ppShaderResourceView,
                                                       HRESULT* pHResult);

#ifdef __cplusplus
}
#endif
