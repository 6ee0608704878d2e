// PlaceObjFaces: the passes of model/MaterialPasses.h over the model, on one thread, or shared by two
// when the model is large.
#include "model/ObjFaces.h"

#include <stdlib.h>
#include <string.h>

#include "model/MaterialPasses.h"

namespace {

// The faces each pass will place when every counted face is read as a statement: the faces counted after
// a "usemtl" (up to the next) go to each material it names; those before the first "usemtl" go to the
// pass after that of the material the last one names, whose match flag is still set. Also the match flag
// each pass will start with. False when memory runs out.
bool PredictPasses(const FacePassPlan& plan, size_t* faces, bool* startMatch) {
  const ObjCounts& counts = *plan.counts;
  const SelectionGroups& groups = plan.groups;
  size_t* groupFaces = static_cast<size_t*>(calloc(groups.selectedGroupCount + 1, sizeof(size_t)));
  if (groupFaces == NULL) return false;
  for (size_t j = 0; j < counts.selectionCount; ++j) {
    size_t last = j + 1 < counts.selectionCount ? counts.selections[j + 1].facesBefore : counts.faceCount;
    groupFaces[groups.groupOfSelection[j]] += last - counts.selections[j].facesBefore;
  }
  const size_t lastGroup = counts.selectionCount != 0 ? groups.groupOfSelection[counts.selectionCount - 1] : groups.groupCount;
  for (size_t i = 0; i < plan.materialCount; ++i) {
    size_t group = groups.groupOfMaterial[i];
    faces[i] = group < groups.selectedGroupCount ? groupFaces[group] : 0;
    startMatch[i] = i > 0 && groups.groupOfMaterial[i - 1] == lastGroup;
  }
  free(groupFaces);
  size_t before = counts.selectionCount != 0 ? counts.selections[0].facesBefore : counts.faceCount;
  for (size_t i = 0; i < plan.materialCount; ++i) {
    if (startMatch[i]) faces[i] += before;
  }
  return true;
}

// The material whose pass begins the second thread's share, so that the two place about as many faces;
// 0 when the placement is not worth splitting. start receives that pass's first slot.
size_t SplitByFaces(const size_t* faces, size_t materialCount, size_t faceCount, size_t shortestSplit,
                    size_t& start) {
  size_t total = 0;
  for (size_t i = 0; i < materialCount; ++i) total += faces[i];
  if (materialCount < 2 || total < shortestSplit) return 0;
  size_t split = 1;
  start = faces[0];
  while (split + 1 < materialCount && start + faces[split] <= total / 2) start += faces[split++];
  if (start > faceCount) start = faceCount;
  return split;
}

// The split as the counting pass predicts it: the material, the slot and the match flag its pass starts
// with; 0 when there is none.
size_t ChooseSplit(const FacePlacement& placement, size_t shortestSplit, size_t& start, bool& startMatch) {
  const FacePassPlan& plan = *placement.plan;
  size_t* faces = static_cast<size_t*>(malloc((plan.materialCount + 1) * sizeof(size_t)));
  bool* starts = static_cast<bool*>(malloc(plan.materialCount + 1));
  size_t split = 0;
  if (faces != NULL && starts != NULL && PredictPasses(plan, faces, starts)) {
    split = SplitByFaces(faces, plan.materialCount, placement.faceCount, shortestSplit, start);
    startMatch = split != 0 && starts[split];
  }
  free(faces);
  free(starts);
  return split;
}

// The second thread's share: the passes of the materials from first on, from a predicted start.
struct SecondPlacement {
  FacePlacement placement;
  size_t first;
  size_t end;
  UINT* materialFaceCounts;
};

DWORD WINAPI RunSecondPlacement(LPVOID parameter) {
  SecondPlacement& second = *static_cast<SecondPlacement*>(parameter);
  RunPasses(second.placement, second.first, second.end, second.materialFaceCounts);
  return 0;
}

// The passes of the later materials on a second thread, from the slot and match flag predicted for
// them, while this thread runs the earlier ones up to that slot. Held when the prediction held: the first
// share placed exactly up to the slot and left that match flag, and the second never used a reference
// the first share would have left it. When it did not, the slots are cleared and the caller places
// everything again; kFacesPlacedOnOneThread when nothing was placed here.
FacePlacementOutcome PlaceOnTwoThreads(FacePlacement& placement, UINT* materialFaceCounts, size_t shortestSplit) {
  size_t start = 0;
  bool assumedMatch = false;
  size_t split = ChooseSplit(placement, shortestSplit, start, assumedMatch);
  if (split == 0) return kFacesPlacedOnOneThread;
  SecondPlacement second;
  second.placement = placement;
  second.first = split;
  second.end = placement.plan->materialCount;
  second.materialFaceCounts = materialFaceCounts;
  UseOwnReferences(second.placement);
  second.placement.placed = start;
  second.placement.match = assumedMatch;
  second.placement.ownReferences = 0;
  second.placement.memo = CreatePassMemo(*placement.plan);
  HANDLE thread = CreateThread(NULL, 0, RunSecondPlacement, &second, 0, NULL);
  if (thread == NULL) {
    FreePassMemo(second.placement.memo);
    return kFacesPlacedOnOneThread;
  }
  placement.limit = start;
  RunPasses(placement, 0, split, materialFaceCounts);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  FreePassMemo(second.placement.memo);
  bool held = !placement.overflow && placement.placed == start && placement.match == assumedMatch &&
              !second.placement.borrowed;
  // What the second share wrote lies between start and where it stopped: cleared when it must be redone.
  if (!held) {
    size_t written = second.placement.placed > placement.placed ? second.placement.placed : placement.placed;
    memset(static_cast<void*>(placement.faceVertices), 0, 3 * written * sizeof(Vertex));
  }
  placement.placed = second.placement.placed;
  return held ? kFacesPlacedOnTwoThreads : kFacesPlacedAgainOnOneThread;
}

}  // namespace

FacePlacementOutcome PlaceObjFaces(const FacePassInput& input, const ObjVertexLists& lists, const FaceSlots& slots,
                                   const FacePlacementOptions& options) {
  if (input.materialCount == 0) return kFacesPlacedOnOneThread;  // no pass, no face placed
  FacePassPlan plan;
  if (!MakeFacePassPlan(input, plan)) return kFacesNotPlaced;
  FacePlacement placement;
  StartPlacement(plan, lists, slots, placement);
  // The records of one placement hold for the other: what a pass reads does not depend on the slots.
  PassMemo* memo = CreatePassMemo(plan);
  placement.memo = memo;
  FacePlacementOutcome outcome = PlaceOnTwoThreads(placement, slots.materialFaceCounts, options.shortestSplit);
  if (outcome != kFacesPlacedOnTwoThreads) {
    StartPlacement(plan, lists, slots, placement);  // one thread, all passes
    placement.memo = memo;
    RunPasses(placement, 0, plan.materialCount, slots.materialFaceCounts);
  }
  FreePassMemo(memo);
  FreeFacePassPlan(plan);
  return outcome;
}
