// The shader program from "Fog.hlsl", its input layout and the three constant buffers.
#include "graphics/Shaders.h"

#include <d3dx11.h>
#include <d3d10shader.h>

#include "graphics/ShaderConstants.h"

static const WCHAR kShaderFile[] = L"Fog.hlsl";
// Debug information, no optimisation.
static const UINT kCompileFlags = D3D10_SHADER_DEBUG | D3D10_SHADER_SKIP_OPTIMIZATION;

static const D3D11_INPUT_ELEMENT_DESC kVertexLayout[] = {
    {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"NORMAL", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 12, D3D11_INPUT_PER_VERTEX_DATA, 0},
    {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 24, D3D11_INPUT_PER_VERTEX_DATA, 0},
};
static const UINT kVertexLayoutCount = sizeof(kVertexLayout) / sizeof(kVertexLayout[0]);

static void ShowError(LPCWSTR text) { MessageBoxW(NULL, text, NULL, MB_OK); }

// Compiles one entry point of the shader file. The compiler's messages are not shown to the user.
static HRESULT CompileShader(LPCSTR entryPoint, LPCSTR profile, ID3D10Blob** code) {
  ID3D10Blob* errors = NULL;
  HRESULT hr = D3DX11CompileFromFileW(kShaderFile, NULL, NULL, entryPoint, profile, kCompileFlags, 0, NULL, code,
                                      &errors, NULL);
  if (errors) errors->Release();
  return hr;
}

static HRESULT CreateConstantBuffer(ID3D11Device* device, UINT byteWidth, ID3D11Buffer** buffer) {
  D3D11_BUFFER_DESC desc;
  ZeroMemory(&desc, sizeof(desc));
  desc.ByteWidth = byteWidth;
  desc.Usage = D3D11_USAGE_DYNAMIC;
  desc.BindFlags = D3D11_BIND_CONSTANT_BUFFER;
  desc.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
  return device->CreateBuffer(&desc, NULL, buffer);
}

static HRESULT CreateVertexStage(Application& app) {
  ID3D10Blob* code = NULL;
  if (FAILED(CompileShader("VS", "vs_5_0", &code))) {
    ShowError(L"hlsl読み込み失敗");
    return E_FAIL;
  }
  if (FAILED(app.device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), NULL,
                                            &app.vertexShader))) {
    code->Release();
    ShowError(L"バーテックスシェーダー作成失敗");
    return E_FAIL;
  }
  HRESULT hr = app.device->CreateInputLayout(kVertexLayout, kVertexLayoutCount, code->GetBufferPointer(),
                                             code->GetBufferSize(), &app.inputLayout);
  code->Release();
  return FAILED(hr) ? E_FAIL : S_OK;
}

static HRESULT CreatePixelStage(Application& app) {
  ID3D10Blob* code = NULL;
  if (FAILED(CompileShader("PS", "ps_5_0", &code))) {
    ShowError(L"hlsl読み込み失敗");
    return E_FAIL;
  }
  HRESULT hr = app.device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), NULL,
                                             &app.pixelShader);
  code->Release();
  if (FAILED(hr)) {
    ShowError(L"ピクセルシェーダー作成失敗");
    return E_FAIL;
  }
  return S_OK;
}

HRESULT InitShaders(Application& app) {
  if (FAILED(CreateVertexStage(app))) return E_FAIL;
  if (FAILED(CreatePixelStage(app))) return E_FAIL;
  if (FAILED(CreateConstantBuffer(app.device, sizeof(FrameConstants), &app.frameConstantBuffer))) return E_FAIL;
  if (FAILED(CreateConstantBuffer(app.device, sizeof(ObjectConstants), &app.objectConstantBuffer))) return E_FAIL;
  if (FAILED(CreateConstantBuffer(app.device, sizeof(MaterialConstants), &app.materialConstantBuffer)))
    return E_FAIL;
  return S_OK;
}
