// The records that carry a loaded model from the loaders to the renderer.
#pragma once

#include <windows.h>
#include <d3d11.h>
#include <d3dx10math.h>

#include <stddef.h>

struct Vertex {
  D3DXVECTOR3 position;
  D3DXVECTOR3 normal;
  D3DXVECTOR2 texcoord;
};
static_assert(sizeof(Vertex) == 32, "Vertex is the 32-byte layout of the vertex buffer");
static_assert(offsetof(Vertex, normal) == 12 && offsetof(Vertex, texcoord) == 24, "Vertex field offsets");

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

struct Mesh {
  UINT positionCount;
  UINT faceCount;
  ID3D11Buffer* vertexBuffer;
  ID3D11Buffer** indexBuffers;  // one per material, null for a material without faces; new[] / delete[]
  UINT materialCount;
  Material* materials;
  D3DXMATRIX world;
};

// Releases the vertex buffer and each index buffer, frees the index-buffer array and clears the fields.
void ReleaseMeshBuffers(Mesh& mesh);

// One heap block of zero-filled materials, or null when memory runs out.
Material* CreateMaterialArray(UINT count);
// Destroys the materials from the last to the first, releasing their textures, and frees the block.
void DestroyMaterialArray(Material* materials);
