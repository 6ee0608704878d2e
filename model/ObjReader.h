// The passes of the model reader over the model's bytes, without the device: counting, vertex data and
// the placing of faces by material. LoadMesh runs them and uploads the result; the benchmark and the
// fuzzers run them alone. Counting, vertex data and faces live in ObjCounting.cpp, ObjVertexData.cpp and
// ObjFaces.cpp (the passes themselves in MaterialPasses.cpp, over the selections grouped by name in
// SelectionGroups.cpp).
#pragma once

#include <stddef.h>

#include "model/Mesh.h"

// Called for each "mtllib" statement, in file order, during the counting pass.
typedef void (*LibraryLoader)(void* context, const char* fileName);

// A stretch of the file, token boundary to token boundary, with no "f" or "usemtl" token in it.
struct FaceFreeSpan {
  size_t begin;
  size_t end;
};

// A "usemtl" token: where it stands, and how many faces were counted before it.
struct Selection {
  size_t offset;
  size_t facesBefore;
};

// What the counting pass found, and where the later passes may skip ahead.
struct ObjCounts {
  size_t positionCount;
  size_t normalCount;
  size_t texcoordCount;
  size_t faceCount;
  size_t firstVertexToken;  // offset of the first "v", "vn" or "vt" token; the size when there is none
  Selection* selections;    // the "usemtl" tokens, in file order
  size_t selectionCount;
  FaceFreeSpan* faceFreeSpans;  // the long ones, in file order
  size_t faceFreeSpanCount;
};

// The vertex lists, sized by the counts; entries the data pass does not reach stay zero.
struct ObjVertexLists {
  D3DXVECTOR3* positions;
  size_t positionCount;
  D3DXVECTOR3* normals;
  size_t normalCount;
  D3DXVECTOR2* texcoords;
  size_t texcoordCount;
};

// What the face passes need of a material: its name and which face form it takes.
struct FaceMaterial {
  const char* name;
  bool textured;  // faces "p/t/n" when true, "p//n" when false
};

// Counting pass. False when memory for the skip lists runs out (counts is then freed and zero).
bool CountObjStatements(const char* text, size_t size, LibraryLoader loadLibrary, void* context,
                        ObjCounts& counts);
void FreeObjCounts(ObjCounts& counts);

// Data pass into lists allocated by the caller. Statements beyond a list's size are read but dropped.
void ReadObjVertexData(const char* text, size_t size, const ObjCounts& counts, ObjVertexLists& lists);

// The data pass needs the counts only to know where its lists end, so it runs on a thread of its own
// while the counting pass runs: into lists that grow as they fill, until it is handed the counts and
// every list is full, or the data ends. FinishVertexData hands it the counts (the positions' may be the
// mesh's whole count), waits for it, and fits its lists to them: entries past a count are dropped,
// entries the pass did not reach are zero, exactly as ReadObjVertexData leaves lists of those sizes.
// When no thread can be made the pass runs in FinishVertexData; when the job or its lists run out of
// memory, FinishVertexData reads into lists of the counted sizes instead. Its lists are freed with
// FreeObjVertexLists; false (and no lists) only when those cannot be had either.
struct VertexDataJob;
VertexDataJob* StartVertexData(const char* text, size_t size);  // null when out of memory
bool FinishVertexData(VertexDataJob* job, const char* text, size_t size, size_t positionCount, size_t normalCount,
                      size_t texcoordCount, ObjVertexLists& lists);
// The counts, handed over before FinishVertexData (which takes the same ones) so that the job can stop
// as soon as its lists are full while the caller does something else.
void HandOverCounts(VertexDataJob* job, size_t positionCount, size_t normalCount, size_t texcoordCount);
// True while the job's pass runs on its thread.
bool VertexDataRunning(const VertexDataJob* job);
// Stops a job whose lists are not wanted (the counting pass failed) and frees it.
void CancelVertexData(VertexDataJob* job);
void FreeObjVertexLists(ObjVertexLists& lists);

// The model's text, what the counting pass found in it, and the materials whose faces the passes place,
// in pass order.
struct FacePassInput {
  const char* text;
  size_t size;
  const ObjCounts* counts;
  const FaceMaterial* materials;
  size_t materialCount;
};

// The face slots, three zero-filled vertices each, and each material's face count k.
struct FaceSlots {
  Vertex* vertices;
  size_t count;
  UINT* materialFaceCounts;
};

// How the face passes share their work: a model with fewer faces to place is placed on one thread.
struct FacePlacementOptions {
  size_t shortestSplit;
};
const FacePlacementOptions kLoaderFacePlacement = {1 << 16};

enum FacePlacementOutcome {
  kFacesPlacedOnOneThread,
  kFacesPlacedOnTwoThreads,      // the predicted split held
  kFacesPlacedAgainOnOneThread,  // it did not: the slots were cleared and placed again on one thread
  kFacesNotPlaced,               // memory ran out; the slots and counts are as they were
};

// The face passes, one per material in order, folded over the skip lists: the faces each pass reads while
// its match flag is on take the next slots (the slots of material i follow those of materials 0 .. i-1),
// and each material's count of them goes to slots.materialFaceCounts. The passes read each model in time
// linear in its size and the materials' (see model/MaterialPasses.h). On a large model the later
// materials' passes run on a second thread, from the slot and match flag the counting pass predicts for
// them (see the "usemtl" records); where the prediction does not hold, the passes run again on one thread.
FacePlacementOutcome PlaceObjFaces(const FacePassInput& input, const ObjVertexLists& lists, const FaceSlots& slots,
                                   const FacePlacementOptions& options);
