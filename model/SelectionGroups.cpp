#include "model/SelectionGroups.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "model/NameTable.h"
#include "model/ObjKeywords.h"

namespace {

// An array of count items (at least one, so that an empty one is no failure); null when out of memory.
template <typename T>
T* AllocateArray(size_t count) {
  return count < SIZE_MAX / sizeof(T) ? static_cast<T*>(malloc((count + 1) * sizeof(T))) : NULL;
}

// The names of the groups while they are made: group g's name is names[g].
Token NameOfGroup(const void* context, size_t value) { return static_cast<const Token*>(context)[value]; }

// The group of the name, a new one when no group has it yet; kNoName when memory runs out.
size_t GroupOfName(NameTable& table, Token* names, size_t& groupCount, Token name) {
  NamePlace place;
  size_t group = FindName(table, name, place);
  if (group != kNoName) return group;
  if (!AddName(table, place, groupCount)) return kNoName;
  names[groupCount] = name;
  return groupCount++;
}

// Each selection's group, and where its run of names begins.
bool GroupByName(const char* text, size_t size, const ObjCounts& counts, NameTable& table, Token* names,
                 SelectionGroups& groups) {
  size_t previousNameAt = SIZE_MAX;  // where the name of the selection before begins
  for (size_t j = 0; j < counts.selectionCount; ++j) {
    Token name = SelectedName(text, size, counts.selections[j]);
    size_t group = GroupOfName(table, names, groups.groupCount, name);
    if (group == kNoName) return false;
    groups.groupOfSelection[j] = group;
    bool isName = counts.selections[j].offset == previousNameAt;
    groups.runStart[j] = isName ? groups.runStart[j - 1] : j;
    previousNameAt = static_cast<size_t>(name.text - text);
  }
  return true;
}

// The members of each group with selections, in file order: a counting sort by group.
void ListMembers(const ObjCounts& counts, SelectionGroups& groups) {
  size_t* start = groups.memberStart;
  for (size_t g = 0; g <= groups.selectedGroupCount; ++g) start[g] = 0;
  for (size_t j = 0; j < counts.selectionCount; ++j) ++start[groups.groupOfSelection[j] + 1];
  for (size_t g = 0; g < groups.selectedGroupCount; ++g) start[g + 1] += start[g];
  for (size_t j = 0; j < counts.selectionCount; ++j) groups.members[start[groups.groupOfSelection[j]]++] = j;
  for (size_t g = groups.selectedGroupCount; g > 0; --g) start[g] = start[g - 1];
  start[0] = 0;
}

bool GroupMaterials(const FaceMaterial* materials, size_t materialCount, NameTable& table, Token* names,
                    SelectionGroups& groups) {
  for (size_t i = 0; i < materialCount; ++i) {
    Token name = TokenOf(materials[i].name, strlen(materials[i].name));
    groups.groupOfMaterial[i] = GroupOfName(table, names, groups.groupCount, name);
    if (groups.groupOfMaterial[i] == kNoName) return false;
  }
  return true;
}

}  // namespace

bool GroupSelections(const FacePassInput& input, SelectionGroups& groups) {
  const ObjCounts& counts = *input.counts;
  const size_t selections = counts.selectionCount;
  const size_t materialCount = input.materialCount;
  groups = SelectionGroups();
  groups.groupOfSelection = AllocateArray<size_t>(selections);
  groups.groupOfMaterial = AllocateArray<size_t>(materialCount);
  groups.runStart = AllocateArray<size_t>(selections);
  groups.memberStart = AllocateArray<size_t>(selections + 1);
  groups.members = AllocateArray<size_t>(selections);
  const size_t most = selections < SIZE_MAX / 2 - materialCount ? selections + materialCount : SIZE_MAX / 2;
  Token* names = static_cast<Token*>(calloc(most + 1, sizeof(Token)));
  NameTable table = {};
  bool made = names != NULL && CreateNameTable(table, most, NameOfGroup, names);
  bool grouped = made && groups.groupOfSelection != NULL && groups.groupOfMaterial != NULL &&
                 groups.runStart != NULL && groups.memberStart != NULL && groups.members != NULL &&
                 GroupByName(input.text, input.size, counts, table, names, groups);
  groups.selectedGroupCount = groups.groupCount;
  if (grouped) ListMembers(counts, groups);
  grouped = grouped && GroupMaterials(input.materials, materialCount, table, names, groups);
  if (made) FreeNameTable(table);
  free(names);
  if (!grouped) FreeSelectionGroups(groups);
  return grouped;
}

void FreeSelectionGroups(SelectionGroups& groups) {
  free(groups.groupOfSelection);
  free(groups.groupOfMaterial);
  free(groups.runStart);
  free(groups.memberStart);
  free(groups.members);
  groups = SelectionGroups();
}

Token SelectedName(const char* text, size_t size, const Selection& selection) {
  TextScanner scanner = ScanText(text + selection.offset, size - selection.offset);
  Token token = TokenOf("", 0);
  ReadTokenAndSpace(scanner, kTokenBufferSize, token);
  ReadToken(scanner, kTokenBufferSize, token);
  return token;
}

size_t FirstSelectionFrom(const ObjCounts& counts, size_t offset) {
  size_t low = 0, high = counts.selectionCount;
  while (low < high) {
    size_t middle = low + (high - low) / 2;
    if (counts.selections[middle].offset < offset) low = middle + 1;
    else high = middle;
  }
  return low;
}

// A selection of a run of names is read when the pass reads the run's selections from an even distance
// before it: from its run's start, or from the first it reads, if that lies in the run.
size_t NextSelectionRead(const SelectionGroups& groups, size_t group, size_t first, size_t& entry) {
  if (group >= groups.selectedGroupCount) return kNoSelection;
  const size_t end = groups.memberStart[group + 1];
  if (entry < groups.memberStart[group]) entry = groups.memberStart[group];
  for (; entry < end; ++entry) {
    size_t j = groups.members[entry];
    if (j < first) continue;
    size_t from = groups.runStart[j] > first ? groups.runStart[j] : first;
    if ((j - from) % 2 == 0) return j;
  }
  return kNoSelection;
}
