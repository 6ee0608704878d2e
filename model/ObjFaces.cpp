#include "model/ObjReader.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "model/ObjKeywords.h"
#include "model/TextScanner.h"

namespace {

// The state the face passes share: the face counter F, the match flag and the nine references, none of
// which is reset between passes.
struct FacePlacement {
  const char* text;
  size_t size;
  const ObjCounts* counts;
  const ObjVertexLists* lists;
  Vertex* faceVertices;
  size_t faceCount;
  size_t placed;
  bool match;
  int references[9];  // position, texcoord, normal of the three vertices; 0 before the first face
};

// The usual reference, unsigned numbers of up to seven digits, read in one go well before the end of the
// data; false (nothing consumed) for anything else, which ReadReference then reads piece by piece.
bool ReadPlainReference(TextScanner& scanner, bool textured, int reference[3]) {
  const size_t kMinimumRoom = 64;  // every eight-byte digit load below stays inside the data
  const char* p = scanner.cursor;
  if (scanner.atEnd || static_cast<size_t>(scanner.end - p) < kMinimumRoom) return false;
  for (int space = 0; IsTextSpace(static_cast<unsigned char>(*p)); ++p) {
    if (++space > 8) return false;
  }
  uint32_t values[3] = {0, 0, 0};
  for (int part = 0; part < 3; ++part) {
    if (part == 1 && !textured) {
      if (*p++ != '/') return false;
      continue;
    }
    int digits = ReadDigitWord(p, values[part]);
    if (digits == 0 || digits == 8) return false;
    p += digits;
    if (part < 2 && *p++ != '/') return false;
  }
  reference[0] = static_cast<int>(values[0]);
  if (textured) reference[1] = static_cast<int>(values[1]);
  reference[2] = static_cast<int>(values[2]);
  scanner.cursor = p;
  return true;
}

// One vertex reference, "%d/%d/%d" or "%d//%d"; false at the first part that does not match.
bool ReadReference(TextScanner& scanner, bool textured, int reference[3]) {
  if (ReadPlainReference(scanner, textured, reference)) return true;
  if (!ReadInt(scanner, reference[0]) || !ReadChar(scanner, '/')) return false;
  if (textured && !ReadInt(scanner, reference[1])) return false;
  if (!ReadChar(scanner, '/')) return false;
  return ReadInt(scanner, reference[2]);
}

// A reference outside its list (zero, negative or too large) reads as zero.
template <typename T>
T Lookup(const T* list, size_t count, int reference) {
  if (reference < 1 || static_cast<size_t>(reference) > count) return T(0.0f, 0.0f, 0.0f);
  return list[reference - 1];
}
template <>
D3DXVECTOR2 Lookup(const D3DXVECTOR2* list, size_t count, int reference) {
  if (reference < 1 || static_cast<size_t>(reference) > count) return D3DXVECTOR2(0.0f, 0.0f);
  return list[reference - 1];
}

void PlaceFace(FacePlacement& placement, TextScanner& scanner, bool textured) {
  int* references = placement.references;
  for (int corner = 0; corner < 3; ++corner) {
    if (!ReadReference(scanner, textured, references + 3 * corner)) break;
  }
  const ObjVertexLists& lists = *placement.lists;
  Vertex* vertex = placement.faceVertices + 3 * placement.placed;
  for (int corner = 0; corner < 3; ++corner, ++vertex, references += 3) {
    vertex->position = Lookup(lists.positions, lists.positionCount, references[0]);
    vertex->normal = Lookup(lists.normals, lists.normalCount, references[2]);
    if (textured) vertex->texcoord = Lookup(lists.texcoords, lists.texcoordCount, references[1]);
  }
  ++placement.placed;
}

bool AtTokenBoundary(const TextScanner& scanner, const char* text) {
  const char* p = scanner.cursor;
  return p == text || p == scanner.end || IsTextSpace(static_cast<unsigned char>(*p)) ||
         IsTextSpace(static_cast<unsigned char>(p[-1]));
}

// Where the statement loop would next find "usemtl" or "f" when reading token by token from the cursor:
// with the flag false only the next "usemtl" matters; with it true, long face-free spans are passed over.
// False when no "usemtl" lies ahead while the flag is false: the pass then reads on to the end.
bool SkipToNextStatement(const FacePlacement& placement, TextScanner& scanner, size_t& selection,
                         size_t& span) {
  const ObjCounts& counts = *placement.counts;
  size_t offset = static_cast<size_t>(scanner.cursor - placement.text);
  if (!placement.match) {
    while (selection < counts.selectionCount && counts.selections[selection] < offset) ++selection;
    if (selection == counts.selectionCount) return false;
    scanner.cursor = placement.text + counts.selections[selection];
    return true;
  }
  while (span < counts.faceFreeSpanCount && counts.faceFreeSpans[span].end <= offset) ++span;
  if (span < counts.faceFreeSpanCount && counts.faceFreeSpans[span].begin <= offset &&
      AtTokenBoundary(scanner, placement.text))
    scanner.cursor = placement.text + counts.faceFreeSpans[span].end;
  return true;
}

// One material's pass: the statement loop of a rewound file, ended early once every counted face is placed.
UINT RunMaterialPass(FacePlacement& placement, const FaceMaterial& material) {
  TextScanner scanner = ScanText(placement.text, placement.size);
  size_t selection = 0;
  size_t span = 0;
  UINT placedHere = 0;
  while (placement.placed < placement.faceCount && !scanner.atEnd) {
    if (!SkipToNextStatement(placement, scanner, selection, span)) break;
    Token token = {"", 0};
    ReadTokenAndSpace(scanner, kTokenBufferSize, token);
    if (IsSelection(token)) {
      ReadToken(scanner, kTokenBufferSize, token);
      placement.match = TokenEquals(token, material.name);
    }
    if (IsFace(token) && placement.match) {
      PlaceFace(placement, scanner, material.textured);
      ++placedHere;
    }
  }
  return placedHere;
}

}  // namespace

void PlaceObjFaces(const char* text, size_t size, const ObjCounts& counts, const ObjVertexLists& lists,
                   const FaceMaterial* materials, size_t materialCount, Vertex* faceVertices,
                   size_t faceCount, UINT* materialFaceCounts) {
  FacePlacement placement = {text, size, &counts, &lists, faceVertices, faceCount, 0, false, {0}};
  for (size_t i = 0; i < materialCount; ++i) materialFaceCounts[i] = RunMaterialPass(placement, materials[i]);
}
