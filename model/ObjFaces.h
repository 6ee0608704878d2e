// The model reader's face passes (ObjFaces.cpp): the faces of each material placed into the face slots,
// on one thread, or shared by two when the model is large.
#pragma once

#include <stddef.h>

#include "model/FacePassInput.h"
#include "model/ObjVertexData.h"

// The loader's threshold: a model with fewer faces to place than this is placed on one thread.
const size_t kShortestSplitFaces = 1 << 16;

// How the face passes share their work.
struct FacePlacementOptions {
  size_t shortestSplit = kShortestSplitFaces;  // fewer faces to place than this: one thread
};
const FacePlacementOptions kLoaderFacePlacement = FacePlacementOptions();

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
