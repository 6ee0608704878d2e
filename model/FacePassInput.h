// What the face passes take and fill: the model's text with what the counting pass found in it, the
// materials whose faces they place, and the face slots. Shared by the passes (model/ObjFaces.h,
// model/MaterialPasses.h) and the grouping of selections by name (model/SelectionGroups.h).
#pragma once

#include <stddef.h>

#include "model/Mesh.h"
#include "model/ObjCounting.h"

// What the face passes need of a material: its name and which face form it takes.
struct FaceMaterial {
  const char* name;
  bool textured;  // faces "p/t/n" when true, "p//n" when false
};

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
