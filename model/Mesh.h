// The records that carry a loaded model from the loaders to the renderer.
#pragma once

#include <windows.h>
#include <d3d11.h>
#include <d3dx10math.h>

#include <stddef.h>

#include "model/Material.h"

struct Vertex {
  D3DXVECTOR3 position;
  D3DXVECTOR3 normal;
  D3DXVECTOR2 texcoord;
};
static_assert(sizeof(Vertex) == 32, "Vertex is the 32-byte layout of the vertex buffer");
static_assert(offsetof(Vertex, normal) == 12 && offsetof(Vertex, texcoord) == 24, "Vertex field offsets");

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
