// The face passes PlaceObjFaces runs (model/ObjFaces.cpp), one per material: the statement loop of a
// rewound file, which places the faces read while the match flag is on, folded over what the counting pass
// found.
//
// Each pass takes time for what it reads with the flag on, not for the whole file:
// - With the flag off a pass reads nothing but selections, and of those only its own name's change the
//   flag: it goes from one of them to the next through the selections grouped by name
//   (model/SelectionGroups.h), and over long stretches without faces by the skip lists.
// - Passes that would read the same do not read it again. What a pass reads depends only on its name, its
//   face form and the flag it starts with (the face counter and the references change what it writes, not
//   what it reads), so a pass with the same three as an earlier one places the faces that one read, from
//   where it read them (model files may name a material many times). Likewise, what a pass that starts
//   with the flag on reads before its first "usemtl" is the same for every name: it is read once per form.
// Where memory for these records runs out, the passes read everything themselves; the faces are the same.
#pragma once

#include <stddef.h>

#include "model/FacePassInput.h"
#include "model/ObjVertexData.h"
#include "model/SelectionGroups.h"

// What the placements of one model share, read only.
struct FacePassPlan {
  const char* text;
  size_t size;
  const ObjCounts* counts;
  const FaceMaterial* materials;
  size_t materialCount;
  SelectionGroups groups;
  // Per material: which of the (name, form) pairs that several materials have is its own, or kNoRepeat.
  size_t* repeatOfMaterial;
  size_t repeatCount;
};
const size_t kNoRepeat = ~static_cast<size_t>(0);

// False when memory runs out (plan then holds nothing).
bool MakeFacePassPlan(const FacePassInput& input, FacePassPlan& plan);
void FreeFacePassPlan(FacePassPlan& plan);

// A vertex list with the bound its references are checked against: min(count, INT_MAX), so that a
// reference r is inside exactly when unsigned(r) - 1 is below it (zero and negative ones wrap above).
template <typename T>
struct ReferencedList {
  const T* items;
  uint32_t limit;
};

// The records of what passes read, kept by one placement (see CreatePassMemo).
struct PassMemo;

// The nine references of a face, one bit each (3 * corner + part, part 0 the position, 1 the texcoord,
// 2 the normal): all nine are read from a face "p/t/n", the positions' and normals' six from "p//n".
const unsigned kAllReferences = 0x1FF;
const unsigned kPositionAndNormalReferences = 0x16D;

// The state the face passes share: the face counter F, the match flag and the nine references, none of
// which is reset between passes.
struct FacePlacement {
  const FacePassPlan* plan;
  PassMemo* memo;  // null: every pass reads for itself
  ReferencedList<D3DXVECTOR3> positions;
  ReferencedList<D3DXVECTOR3> normals;
  ReferencedList<D3DXVECTOR2> texcoords;
  Vertex* faceVertices;
  size_t faceCount;
  size_t placed;
  size_t limit;   // the slot no face may take: faceCount, or where the slots of a second thread begin
  bool overflow;  // a face found the limit reached (only below faceCount)
  bool match;
  // The references this placement has read itself since it began, one bit per reference (3 * corner +
  // part), and whether a face took one it had not: a placement that starts partway does not have the
  // references the passes before it left.
  unsigned ownReferences;
  bool borrowed;
  // Position, texcoord and normal of the three vertices, 0 before the first face, in one of the two sets;
  // the other takes a face read from its block before the block is known to hold one. Three more ints
  // each take the whole groups of four that the block read writes.
  int sets[2][12];
  int* references;
  int* spare;
};

// A placement from the first slot with the flag off and zero references, as the passes begin, without a
// memo. A copy of a placement must call UseOwnReferences.
void StartPlacement(const FacePassPlan& plan, const ObjVertexLists& lists, const FaceSlots& slots,
                    FacePlacement& placement);
// Points references and spare at the placement's own sets (after it was copied).
void UseOwnReferences(FacePlacement& placement);

// Records for one placement's passes; null when out of memory, and then the passes read for themselves.
PassMemo* CreatePassMemo(const FacePassPlan& plan);
void FreePassMemo(PassMemo* memo);

// The passes of materials first .. end - 1, each material's face count into materialFaceCounts; they stop
// at an overflow.
void RunPasses(FacePlacement& placement, size_t first, size_t end, UINT* materialFaceCounts);
