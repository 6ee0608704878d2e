// The GPU buffers a mesh owns.
#include "model/Mesh.h"

void ReleaseMeshBuffers(Mesh& mesh) {
  if (mesh.vertexBuffer != NULL) {
    mesh.vertexBuffer->Release();
    mesh.vertexBuffer = NULL;
  }
  if (mesh.indexBuffers == NULL) return;
  for (UINT i = 0; i < mesh.materialCount; ++i) {
    if (mesh.indexBuffers[i] != NULL) mesh.indexBuffers[i]->Release();
  }
  delete[] mesh.indexBuffers;
  mesh.indexBuffers = NULL;
}
