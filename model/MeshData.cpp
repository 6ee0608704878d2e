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

// The face passes into the face slots; the lists are freed before the index list is made. False when
// memory runs out.
bool PlaceFaces(const FacePassInput& input, ObjVertexLists& lists, const FacePlacementOptions& options,
                MeshData& data) {
  FaceSlots slots;
  slots.vertices = data.faceVertices;
  slots.count = data.faceCount;
  slots.materialFaceCounts = data.materialFaceCounts;
  bool placed = PlaceObjFaces(input, lists, slots, options) != kFacesNotPlaced;
  FreeObjVertexLists(lists);
  return placed;
}

// The fresh pages of a new array are made at their first write. While the data pass still runs on its
// thread, this thread, which has nothing else to do until then, writes them in (zeros, as they hold).
void TouchPagesWhileRunning(const VertexDataJob* job, void* items, size_t bytes) {
  const size_t kPage = 4096;  // the smallest page size of the systems we run on
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

// The index list and where each material's faces begin; false when memory runs out.
bool AllocateIndices(MeshData& data) {
  if (!AllocateUnfilled(data.indices, 3 * LargestFaceCount(data)) ||
      !AllocateUnfilled(data.facesBefore, data.materialCount))
    return false;
  size_t faces = 0;
  for (size_t i = 0; i < data.materialCount; ++i) {
    data.facesBefore[i] = faces;
    faces += data.materialFaceCounts[i];
  }
  return true;
}

}  // namespace

bool BuildMeshData(const FacePassInput& input, VertexDataJob* job, size_t positionCount, size_t faceCount,
                   const FacePlacementOptions& options, MeshData& data) {
  data = MeshData();
  data.faceCount = faceCount;
  data.materialCount = input.materialCount;
  VertexCounts listCounts = CountedVertices(*input.counts);
  listCounts.positionCount = positionCount;  // the mesh's whole count
  HandOverCounts(job, listCounts);
  bool placed = faceCount <= SIZE_MAX / 3 && AllocateZeroed(data.faceVertices, 3 * faceCount) &&
                AllocateZeroed(data.materialFaceCounts, input.materialCount);
  if (placed) TouchPagesWhileRunning(job, data.faceVertices, 3 * faceCount * sizeof(Vertex));
  ObjVertexLists lists;
  bool listed = FinishVertexData(job, input.text, input.size, listCounts, lists);
  placed = placed && listed;
  if (placed) placed = PlaceFaces(input, lists, options, data);
  else if (listed) FreeObjVertexLists(lists);
  bool built = placed && AllocateIndices(data);
  if (!built) FreeMeshData(data);
  return built;
}

const UINT* MaterialIndices(MeshData& data, size_t material) {
  size_t first = 3 * data.facesBefore[material];
  size_t count = 3 * static_cast<size_t>(data.materialFaceCounts[material]);
  for (size_t j = 0; j < count; ++j) data.indices[j] = static_cast<UINT>(first + j);
  return data.indices;
}

void FreeMeshData(MeshData& data) {
  free(data.faceVertices);
  free(data.indices);
  free(data.materialFaceCounts);
  free(data.facesBefore);
  data.faceVertices = NULL;
  data.indices = NULL;
  data.materialFaceCounts = NULL;
  data.facesBefore = NULL;
}
