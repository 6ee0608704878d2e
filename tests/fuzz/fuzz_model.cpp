// The model's passes on any bytes, with the materials of the library part of the input: no read or
// write past the input, the lists, the face slots or the index list; indices stay those of placed slots.
#include <stdlib.h>

#include "fuzz_input.h"
#include "model/MeshData.h"

namespace {

void IgnoreLibrary(void*, const char*) {}

const size_t kMaxFaces = 1 << 20;  // a tiny input cannot name more; keeps a pathological count bounded

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzFiles files = SplitFuzzInput(data, size);
  FuzzLibrary library = ReadFuzzLibrary(files.library, files.librarySize);
  FaceMaterial* materials = static_cast<FaceMaterial*>(calloc(library.count + 1, sizeof(FaceMaterial)));
  for (UINT i = 0; i < library.count; ++i) materials[i] = FaceMaterial{library.materials[i].name, library.textured[i]};
  VertexDataJob* job = StartVertexData(files.model, files.modelSize);
  ObjCounts counts;
  bool counted = CountObjStatements(files.model, files.modelSize, IgnoreLibrary, nullptr, counts);
  if (!counted || counts.faceCount >= kMaxFaces) CancelVertexData(job);
  if (counted && counts.faceCount < kMaxFaces) {
    MeshData data;
    // The split from the first face on, so that it and its checks are fuzzed as well.
    FacePassInput input = {files.model, files.modelSize, &counts, materials, library.count};
    const FacePlacementOptions kSplitAlways = {1};
    if (BuildMeshData(input, job, counts.positionCount, counts.faceCount, kSplitAlways, data)) {
      size_t placed = 0;
      for (UINT i = 0; i < library.count; ++i) placed += data.materialFaceCounts[i];
      if (placed > counts.faceCount) __builtin_trap();
      FreeMeshData(data);
    }
  }
  if (counted) FreeObjCounts(counts);
  free(materials);
  FreeFuzzLibrary(library);
  return 0;
}
