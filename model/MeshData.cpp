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

// For an array whose every entry is written at once: its pages are touched only by that write.
template <typename T>
bool AllocateUnfilled(T*& items, size_t count) {
  items = count <= SIZE_MAX / sizeof(T) ? static_cast<T*>(malloc(count != 0 ? count * sizeof(T) : 1)) : NULL;
  return items != NULL;
}

bool AllocateVertexLists(const ObjCounts& counts, size_t positionCount, ObjVertexLists& lists) {
  lists.positionCount = positionCount;
  lists.normalCount = counts.normalCount;
  lists.texcoordCount = counts.texcoordCount;
  return AllocateZeroed(lists.positions, positionCount) && AllocateZeroed(lists.normals, counts.normalCount) &&
         AllocateZeroed(lists.texcoords, counts.texcoordCount);
}

void FreeVertexLists(ObjVertexLists& lists) {
  free(lists.positions);
  free(lists.normals);
  free(lists.texcoords);
}

// The vertex data and the face passes into the face slots; false when memory runs out.
bool PlaceFaces(const char* text, size_t size, const ObjCounts& counts, size_t positionCount,
                const FaceMaterial* materials, MeshData& data) {
  ObjVertexLists lists = {};
  bool allocated = AllocateVertexLists(counts, positionCount, lists);
  if (allocated) {
    ReadObjVertexData(text, size, counts, lists);
    PlaceObjFaces(text, size, counts, lists, materials, data.materialCount, data.faceVertices, data.faceCount,
                  data.materialFaceCounts);
  }
  FreeVertexLists(lists);
  return allocated;
}

size_t LargestFaceCount(const MeshData& data) {
  size_t largest = 0;
  for (size_t i = 0; i < data.materialCount; ++i) {
    if (data.materialFaceCounts[i] > largest) largest = data.materialFaceCounts[i];
  }
  return largest;
}

}  // namespace

bool BuildMeshData(const char* text, size_t size, const ObjCounts& counts, size_t positionCount,
                   size_t faceCount, const FaceMaterial* materials, size_t materialCount, MeshData& data) {
  MeshData empty = {};
  data = empty;
  data.faceCount = faceCount;
  data.materialCount = materialCount;
  bool built = faceCount <= SIZE_MAX / 3 && AllocateZeroed(data.faceVertices, 3 * faceCount) &&
               AllocateZeroed(data.materialFaceCounts, materialCount) &&
               PlaceFaces(text, size, counts, positionCount, materials, data) &&
               AllocateUnfilled(data.indices, 3 * LargestFaceCount(data));
  if (!built) FreeMeshData(data);
  return built;
}

const UINT* MaterialIndices(MeshData& data, size_t material) {
  size_t first = 0;
  for (size_t i = 0; i < material; ++i) first += 3 * data.materialFaceCounts[i];
  size_t count = 3 * static_cast<size_t>(data.materialFaceCounts[material]);
  for (size_t j = 0; j < count; ++j) data.indices[j] = static_cast<UINT>(first + j);
  return data.indices;
}

void FreeMeshData(MeshData& data) {
  free(data.faceVertices);
  free(data.indices);
  free(data.materialFaceCounts);
  data.faceVertices = NULL;
  data.indices = NULL;
  data.materialFaceCounts = NULL;
}
