// The one record of all program state, and the program's start-up and shutdown.
#pragma once

#include <windows.h>
#include <d3d11.h>
#include <d3dx10math.h>

#include "model/Mesh.h"

struct Application {
  HWND hWnd;
  ID3D11Device* device;
  ID3D11DeviceContext* context;
  IDXGISwapChain* swapChain;
  ID3D11RenderTargetView* renderTargetView;
  ID3D11DepthStencilView* depthStencilView;
  ID3D11Texture2D* depthStencilTexture;
  ID3D11RasterizerState* rasterizerState;
  D3DXMATRIX view;
  D3DXMATRIX projection;
  D3DXMATRIX textureBias;  // clip space to texture space: u = x/2 + 1/2, v = -y/2 + 1/2
  ID3D11InputLayout* inputLayout;
  ID3D11VertexShader* vertexShader;
  ID3D11PixelShader* pixelShader;
  ID3D11Buffer* frameConstantBuffer;
  ID3D11Buffer* objectConstantBuffer;
  ID3D11Buffer* materialConstantBuffer;
  Mesh sceneMesh;
  Mesh skyMesh;
  ID3D11SamplerState* samplerState;
  D3DXVECTOR4 lightDirection;
  D3DXVECTOR3 cameraPosition;
  float fogDensity;
  ID3D11ShaderResourceView* sharedTexture;

  // Zero-fills the whole record, then writes the light, camera, fog and texture-bias defaults.
  Application();
};

// The process-wide record, created by WinMain.
extern Application* g_app;

// Releases every device object the record holds and the meshes' material arrays.
void Cleanup();
