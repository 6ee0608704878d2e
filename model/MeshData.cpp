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

// The face passes into the face slots; the lists are freed before the index list is made.
void PlaceFaces(const char* text, size_t size, const ObjCounts& counts, ObjVertexLists& lists,
                const FaceMaterial* materials, MeshData& data) {
  PlaceObjFaces(text, size, counts, lists, materials, data.materialCount, data.faceVertices, data.faceCount,
                data.materialFaceCounts);
  FreeObjVertexLists(lists);
}

// The fresh pages of a new array are made at their first write. While the data pass still runs on its
// thread, this thread, which has nothing else to do until then, writes them in (zeros, as they hold).
void TouchPagesWhileRunning(const VertexDataJob* job, void* items, size_t bytes) {
  const size_t kPage = 4096;
  volatile char* bytesToTouch = static_cast<volatile char*>(items);
  for (size_t offset = 0; offset < bytes && VertexDataRunning(job); offset += kPage) bytesToTouch[offset] = 0;
}

size_t LargestFaceCount(const MeshData& data) {
  size_t largest = 0;
  for (size_t i = 0; i < data.materialCount; ++i) {
    if (data.materialFaceCounts[i] > largest) largest = data.materialFaceCounts[i];
  }
  return largest;
}

}  // namespace

bool BuildMeshData(const char* text, size_t size, VertexDataJob* job, const ObjCounts& counts, size_t positionCount,
                   size_t faceCount, const FaceMaterial* materials, size_t materialCount, MeshData& data) {
  MeshData empty = {};
  data = empty;
  data.faceCount = faceCount;
  data.materialCount = materialCount;
  HandOverCounts(job, positionCount, counts.normalCount, counts.texcoordCount);
  bool placed = faceCount <= SIZE_MAX / 3 && AllocateZeroed(data.faceVertices, 3 * faceCount) &&
                AllocateZeroed(data.materialFaceCounts, materialCount);
  if (placed) TouchPagesWhileRunning(job, data.faceVertices, 3 * faceCount * sizeof(Vertex));
  ObjVertexLists lists;
  bool listed = FinishVertexData(job, text, size, positionCount, counts.normalCount, counts.texcoordCount, lists);
  placed = placed && listed;
  if (placed) PlaceFaces(text, size, counts, lists, materials, data);
  else if (listed) FreeObjVertexLists(lists);
  bool built = placed && AllocateUnfilled(data.indices, 3 * LargestFaceCount(data));
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
