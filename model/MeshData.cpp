#include "model/MeshData.h"

#include <stdint.h>
#include <stdlib.h>

namespace {

// calloc checks count * size for overflow and hands back zeroed pages without touching them.
template <typename T>
bool AllocateZeroed(T*& items, size_t count) {
  items = static_cast<T*>(calloc(count != 0 ? count : 1, sizeof(T)));
  return items != NULL;
}

bool AllocateMeshData(const ObjCounts& counts, size_t positionCount, size_t faceCount, size_t materialCount,
                      MeshData& data) {
  data.lists.positionCount = positionCount;
  data.lists.normalCount = counts.normalCount;
  data.lists.texcoordCount = counts.texcoordCount;
  data.faceCount = faceCount;
  data.materialCount = materialCount;
  if (faceCount > SIZE_MAX / 3) return false;
  return AllocateZeroed(data.lists.positions, positionCount) &&
         AllocateZeroed(data.lists.normals, counts.normalCount) &&
         AllocateZeroed(data.lists.texcoords, counts.texcoordCount) &&
         AllocateZeroed(data.faceVertices, 3 * faceCount) && AllocateZeroed(data.indices, 3 * faceCount) &&
         AllocateZeroed(data.materialFaceCounts, materialCount);
}

}  // namespace

bool BuildMeshData(const char* text, size_t size, const ObjCounts& counts, size_t positionCount,
                   size_t faceCount, const FaceMaterial* materials, size_t materialCount, MeshData& data) {
  MeshData empty = {};
  data = empty;
  if (!AllocateMeshData(counts, positionCount, faceCount, materialCount, data)) {
    FreeMeshData(data);
    return false;
  }
  ReadObjVertexData(text, size, counts, data.lists);
  PlaceObjFaces(text, size, counts, data.lists, materials, materialCount, data.faceVertices, faceCount,
                data.materialFaceCounts);
  for (size_t i = 0; i < 3 * faceCount; ++i) data.indices[i] = static_cast<UINT>(i);
  return true;
}

void FreeMeshData(MeshData& data) {
  free(data.lists.positions);
  free(data.lists.normals);
  free(data.lists.texcoords);
  free(data.faceVertices);
  data.lists.positions = NULL;
  data.lists.normals = NULL;
  data.lists.texcoords = NULL;
  data.faceVertices = NULL;
  free(data.indices);
  free(data.materialFaceCounts);
  data.indices = NULL;
  data.materialFaceCounts = NULL;
}
