// The three constant blocks shared with "Fog.hlsl": b0 per frame, b1 per mesh, b2 per material.
// Matrices are stored transposed, so each 16-byte row of a block holds one column of the D3DX matrix.
#pragma once

#include <windows.h>
#include <d3d11.h>
#include <d3dx10math.h>

#include <stddef.h>

// Register b0, written once per frame.
struct FrameConstants {
  D3DXVECTOR4 lightDirection;  // normalised
  float fogDensity;
  float unused0[3];
  D3DXVECTOR4 eyePosition;  // (x, y, z, 0)
  D3DXVECTOR4 fogColor;     // (1, 1, 1, 1)
  float sharedTextureWeight;  // 0.5: how strongly the projected shared texture tints the scene
  float unused1[3];
};
static_assert(sizeof(FrameConstants) == 80, "FrameConstants is an 80-byte block");
static_assert(offsetof(FrameConstants, fogDensity) == 16 && offsetof(FrameConstants, eyePosition) == 32 &&
                  offsetof(FrameConstants, fogColor) == 48 && offsetof(FrameConstants, sharedTextureWeight) == 64,
              "FrameConstants offsets");

// Register b1, written before each mesh.
struct ObjectConstants {
  D3DXMATRIX world;
  D3DXMATRIX worldViewProjection;
  D3DXMATRIX worldProjectionBias;  // projects the shared texture from the origin; no view matrix in it
};
static_assert(sizeof(ObjectConstants) == 192, "ObjectConstants is a 192-byte block");
static_assert(offsetof(ObjectConstants, worldViewProjection) == 64 &&
                  offsetof(ObjectConstants, worldProjectionBias) == 128,
              "ObjectConstants offsets");

// Register b2, written before each material's draw; the same layout as Material's three colours.
struct MaterialConstants {
  D3DXVECTOR4 ambient;
  D3DXVECTOR4 diffuse;
  D3DXVECTOR4 specular;
};
static_assert(sizeof(MaterialConstants) == 48, "MaterialConstants is a 48-byte block");
static_assert(offsetof(MaterialConstants, diffuse) == 16 && offsetof(MaterialConstants, specular) == 32,
              "MaterialConstants offsets");

// Replaces the whole contents of a dynamic constant buffer. When the buffer cannot be mapped it keeps what
// it held, and the caller draws on with that.
void WriteConstants(ID3D11DeviceContext* context, ID3D11Buffer* buffer, const void* data, size_t size);
