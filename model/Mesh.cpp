// The GPU buffers a mesh owns.
#include "model/Mesh.h"

void ReleaseMeshBuffers(Mesh& mesh) {
  if (mesh.vertexBuffer != nullptr) {
    mesh.vertexBuffer->Release();
    mesh.vertexBuffer = nullptr;
  }
  if (mesh.indexBuffers == nullptr) return;
  for (UINT i = 0; i < mesh.materialCount; ++i) {
    if (mesh.indexBuffers[i] != nullptr) mesh.indexBuffers[i]->Release();
  }
  delete[] mesh.indexBuffers;
  mesh.indexBuffers = nullptr;
}
