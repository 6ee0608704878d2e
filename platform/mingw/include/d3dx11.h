// D3DX 11 for the MinGW-w64 build, which ships the d3dx11_43 import library but not the header: the two
// functions the program calls, declared from their documented signatures (d3dx11async.h, d3dx11tex.h).
#pragma once

#include <d3d11.h>  // first: MinGW's d3d10shader.h needs what d3d11.h brings in
#include <d3d10shader.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ID3DX11ThreadPump ID3DX11ThreadPump;
typedef struct D3DX11_IMAGE_LOAD_INFO D3DX11_IMAGE_LOAD_INFO;

HRESULT WINAPI D3DX11CompileFromFileW(LPCWSTR pSrcFile, const D3D10_SHADER_MACRO* pDefines, LPD3D10INCLUDE pInclude,
                                      LPCSTR pFunctionName, LPCSTR pProfile, UINT Flags1, UINT Flags2,
                                      ID3DX11ThreadPump* pPump, ID3D10Blob** ppShader, ID3D10Blob** ppErrorMsgs,
                                      HRESULT* pHResult);

HRESULT WINAPI D3DX11CreateShaderResourceViewFromFileA(ID3D11Device* pDevice, LPCSTR pSrcFile,
                                                       D3DX11_IMAGE_LOAD_INFO* pLoadInfo, ID3DX11ThreadPump* pPump,
                                                       ID3D11ShaderResourceView** ppShaderResourceView,
                                                       HRESULT* pHResult);

#ifdef __cplusplus
}
#endif
