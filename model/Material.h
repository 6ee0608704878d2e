// A material of a loaded model, and the arrays the material libraries fill (Material.cpp).
#pragma once

#include <windows.h>
#include <d3d11.h>
#include <d3dx10math.h>

#include <stddef.h>

struct Material {
  char name[100];
  D3DXVECTOR4 ambient;   // Ka (r, g, b, 1); ambient, diffuse and specular are uploaded as one 48-byte block
  D3DXVECTOR4 diffuse;   // Kd
  D3DXVECTOR4 specular;  // Ks
  char textureFile[100];
  ID3D11ShaderResourceView* textureView;
  UINT faceCount;

  // Destroying a material releases its texture view.
  ~Material();
};
static_assert(offsetof(Material, diffuse) == offsetof(Material, ambient) + 16 &&
                  offsetof(Material, specular) == offsetof(Material, ambient) + 32,
              "the three colours lie back to back");

// One heap block of zero-filled materials, or null when memory runs out.
Material* CreateMaterialArray(UINT count);
// Destroys the materials from the last to the first, releasing their textures, and frees the block.
void DestroyMaterialArray(Material* materials);
