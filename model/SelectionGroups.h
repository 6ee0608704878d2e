// The "usemtl" selections the counting pass found, grouped by the name each selects, so that a material's
// face pass goes from one of its own selections to the next without reading the others
// (model/MaterialPasses.h).
//
// While its match flag is off, a pass reads nothing but selections: from its cursor it goes to the first
// selection at or after it, reads "usemtl" and the name, and goes on from after the name. So it reads
// every selection from there on except one whose "usemtl" token is the name of the selection it read just
// before ("usemtl usemtl red" selects "usemtl", and the second "usemtl" is never read as a statement). In a
// run of selections each of which is the name of the one before, the pass reads every other one, counting
// from the first it reads. The groups keep, for each selection, where its run begins, so that a pass can
// tell which of its own selections it reads without reading the ones between.
#pragma once

#include <stddef.h>

#include "model/FacePassInput.h"
#include "model/ObjCounting.h"
#include "model/TextScanner.h"

struct SelectionGroups {
  // The names: first those selections select (groups with selections), then the materials' names that no
  // selection selects. Equal names are one group; a name is compared as the pass loop reads it, cut to
  // the model's token buffer.
  size_t groupCount;
  size_t selectedGroupCount;
  size_t* groupOfSelection;  // per selection
  size_t* groupOfMaterial;   // per material: materials with equal names share a group
  size_t* runStart;          // per selection: the first selection of its run (itself when it is no name)
  size_t* memberStart;       // per group with selections, and one more: where its members begin
  size_t* members;           // the selections of each group in turn, each group's in file order
};

// Reads each selection's name once, as the pass loop reads it, and groups the selections and the
// materials by name. False when memory runs out (groups then holds nothing).
bool GroupSelections(const FacePassInput& input, SelectionGroups& groups);
void FreeSelectionGroups(SelectionGroups& groups);

// The name the pass loop reads after the "usemtl" of this selection, as it reads it.
Token SelectedName(const char* text, size_t size, const Selection& selection);

// The first selection at or after offset (counts.selectionCount when there is none).
size_t FirstSelectionFrom(const ObjCounts& counts, size_t offset);

// Of the selections a pass reads when it starts reading them at selection first, the first one of the
// group, or kNoSelection. entry is the place in the group's members to look from; it only moves forward,
// so a pass that keeps it looks at each of its members once.
const size_t kNoSelection = ~static_cast<size_t>(0);
size_t NextSelectionRead(const SelectionGroups& groups, size_t group, size_t first, size_t& entry);
