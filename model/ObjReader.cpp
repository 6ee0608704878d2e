#include "model/ObjReader.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "model/TextScanner.h"

namespace {

const size_t kTokenBufferSize = 200;       // a token or a file name: at most 199 bytes
const size_t kShortestSkippedSpan = 4096;  // shorter face-free stretches are read token by token

bool IsWord(const Token& token, char first) { return token.length == 1 && token.text[0] == first; }
bool IsWord(const Token& token, char first, char second) {
  return token.length == 2 && token.text[0] == first && token.text[1] == second;
}
bool IsPosition(const Token& token) { return IsWord(token, 'v'); }
bool IsNormal(const Token& token) { return IsWord(token, 'v', 'n'); }
bool IsTexcoord(const Token& token) { return IsWord(token, 'v', 't'); }
bool IsFace(const Token& token) { return IsWord(token, 'f'); }
bool IsSelection(const Token& token) { return TokenIs(token, "usemtl", 6); }
bool IsLibrary(const Token& token) { return TokenIs(token, "mtllib", 6); }

// Appends to a block of 16, 32, 64 ... items that doubles when full; false when memory runs out.
template <typename T>
bool Append(T*& items, size_t& count, const T& item) {
  if (count == 0 || (count >= 16 && (count & (count - 1)) == 0)) {
    size_t capacity = count == 0 ? 16 : count * 2;
    T* grown = static_cast<T*>(realloc(items, capacity * sizeof(T)));
    if (grown == NULL) return false;
    items = grown;
  }
  items[count++] = item;
  return true;
}

// Notes one token of the counting pass. fresh is false when the read failed and the buffer still holds
// the token before it, which is then tested again as the statement loop would.
bool NoteToken(ObjCounts& counts, const Token& token, bool fresh, size_t offset, size_t& faceFreeFrom) {
  char first = token.length != 0 ? token.text[0] : '\0';
  if (token.length > 6 || (first != 'v' && first != 'f' && first != 'u')) return true;  // no keyword counted here
  if (IsPosition(token)) ++counts.positionCount;
  if (IsNormal(token)) ++counts.normalCount;
  if (IsTexcoord(token)) ++counts.texcoordCount;
  if (IsFace(token)) ++counts.faceCount;
  if (!fresh) return true;
  if ((IsPosition(token) || IsNormal(token) || IsTexcoord(token)) && counts.firstVertexToken > offset)
    counts.firstVertexToken = offset;
  if (!IsFace(token) && !IsSelection(token)) return true;
  if (offset - faceFreeFrom >= kShortestSkippedSpan) {
    FaceFreeSpan span = {faceFreeFrom, offset};
    if (!Append(counts.faceFreeSpans, counts.faceFreeSpanCount, span)) return false;
  }
  faceFreeFrom = offset + token.length;
  return !IsSelection(token) || Append(counts.selections, counts.selectionCount, offset);
}

// "%f %f %f" into the shared floats; the components not read keep their values.
void ReadTriple(TextScanner& scanner, float shared[3]) {
  ReadFloat(scanner, shared[0]) && ReadFloat(scanner, shared[1]) && ReadFloat(scanner, shared[2]);
}

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

// The next byte at or after p that could start a keyword: one of 'f' to 'v' right after white space (or at
// the start of the text). Eight bytes at a time: numbers, which make up most of a model, hold none, so a
// word without a byte from 'f' up is passed after two tests.
const char* FindKeywordStart(const char* p, const char* end, const char* text) {
  const uint64_t kHigh = 0x8080808080808080ull, kLow7 = 0x7F7F7F7F7F7F7F7Full;
  // Bit 7 set when the byte before the word is below 0x21 (white space, checked exactly below).
  uint64_t before = p == text || IsTextSpace(static_cast<unsigned char>(p[-1])) ? 0x80 : 0;
  while (end - p >= 8) {
    uint64_t word;
    memcpy(&word, p, sizeof word);
    uint64_t below21 = ~(((word & kLow7) + 0x5F5F5F5F5F5F5F5Full) | word) & kHigh;  // bytes < 0x21
    uint64_t from66 = (((word & kLow7) + 0x1A1A1A1A1A1A1A1Aull) | word) & kHigh;    // bytes >= 'f'
    if (from66 != 0) {
      uint64_t to76 = ~(((word & kLow7) + 0x0909090909090909ull) | word) & kHigh;  // bytes <= 'v'
      for (uint64_t candidates = from66 & to76 & ((below21 << 8) | before); candidates != 0;
           candidates &= candidates - 1) {
        const char* q = p + (LowestBit(candidates) >> 3);
        if (q == text || IsTextSpace(static_cast<unsigned char>(q[-1]))) return q;
      }
    }
    before = below21 >> 56;
    p += 8;
  }
  for (; p != end; ++p) {
    if (*p >= 'f' && *p <= 'v' && (p == text || IsTextSpace(static_cast<unsigned char>(p[-1])))) return p;
  }
  return end;
}

// "mtllib" and its name, as the statement loop reads them: the name stands in the buffer for the counting
// tests; at the end of the file a name followed only by white space is tested once more, as the failed
// read of the next loop leaves it in the buffer. Returns where the counting goes on.
const char* CountLibraryStatement(const char* text, const char* keywordEnd, const char* end, LibraryLoader loadLibrary,
                                  void* context, ObjCounts& counts, size_t& faceFreeFrom, bool& noted) {
  TextScanner scanner = {keywordEnd, end, keywordEnd == end};
  if (!scanner.atEnd) SkipSpace(scanner);
  Token name = {"mtllib", 6};
  bool fresh = ReadToken(scanner, kTokenBufferSize, name);
  char fileName[kTokenBufferSize];
  CopyToken(name, fileName);
  loadLibrary(context, fileName);
  noted = NoteToken(counts, name, fresh, static_cast<size_t>(name.text - text), faceFreeFrom);
  if (noted && fresh && !scanner.atEnd) {
    SkipSpace(scanner);
    if (scanner.atEnd) {
      if (IsLibrary(name)) loadLibrary(context, fileName);
      noted = NoteToken(counts, name, false, 0, faceFreeFrom);
    }
  }
  return scanner.cursor;
}

}  // namespace

// Only keyword tokens change the counts, so the pass looks at those alone; the statement loop's token by
// token reading is kept where it matters, at "mtllib" (see CountLibraryStatement).
bool CountObjStatements(const char* text, size_t size, LibraryLoader loadLibrary, void* context,
                        ObjCounts& counts) {
  ObjCounts empty = {0, 0, 0, 0, size, NULL, 0, NULL, 0};
  counts = empty;
  const char* end = text + size;
  size_t faceFreeFrom = 0;
  bool noted = true;
  for (const char* p = FindKeywordStart(text, end, text); p != end && noted; p = FindKeywordStart(p, end, text)) {
    const char* tokenEnd = FindTokenEnd(p, end);
    size_t length = static_cast<size_t>(tokenEnd - p);
    Token token = {p, length < kTokenBufferSize - 1 ? length : kTokenBufferSize - 1};
    if (IsLibrary(token)) {
      p = CountLibraryStatement(text, tokenEnd, end, loadLibrary, context, counts, faceFreeFrom, noted);
    } else {
      noted = NoteToken(counts, token, true, static_cast<size_t>(p - text), faceFreeFrom);
      p = tokenEnd;
    }
  }
  if (!noted) FreeObjCounts(counts);
  return noted;
}

void FreeObjCounts(ObjCounts& counts) {
  free(counts.selections);
  free(counts.faceFreeSpans);
  ObjCounts empty = {0, 0, 0, 0, 0, NULL, 0, NULL, 0};
  counts = empty;
}

void ReadObjVertexData(const char* text, size_t size, const ObjCounts& counts, ObjVertexLists& lists) {
  if (counts.firstVertexToken >= size) return;
  // Up to the first vertex statement the data pass reads only tokens, as the counting pass did.
  TextScanner scanner = ScanText(text + counts.firstVertexToken, size - counts.firstVertexToken);
  float shared[3] = {0.0f, 0.0f, 0.0f};  // one set for all three statements, never reset
  size_t positions = 0, normals = 0, texcoords = 0;
  // Once every list is full, all later statements would be dropped: the pass can end there.
  while (!scanner.atEnd && (positions < lists.positionCount || normals < lists.normalCount ||
                            texcoords < lists.texcoordCount)) {
    Token token = {"", 0};
    ReadTokenAndSpace(scanner, kTokenBufferSize, token);
    if (IsPosition(token)) {
      ReadTriple(scanner, shared);
      if (positions < lists.positionCount)
        lists.positions[positions++] = D3DXVECTOR3(-shared[0], shared[1], shared[2]);
    } else if (IsNormal(token)) {
      ReadTriple(scanner, shared);
      if (normals < lists.normalCount) lists.normals[normals++] = D3DXVECTOR3(-shared[0], shared[1], shared[2]);
    } else if (IsTexcoord(token)) {
      ReadFloat(scanner, shared[0]) && ReadFloat(scanner, shared[1]);
      if (texcoords < lists.texcoordCount) lists.texcoords[texcoords++] = D3DXVECTOR2(shared[0], 1.0f - shared[1]);
    }
  }
}

void PlaceObjFaces(const char* text, size_t size, const ObjCounts& counts, const ObjVertexLists& lists,
                   const FaceMaterial* materials, size_t materialCount, Vertex* faceVertices,
                   size_t faceCount, UINT* materialFaceCounts) {
  FacePlacement placement = {text, size, &counts, &lists, faceVertices, faceCount, 0, false, {0}};
  for (size_t i = 0; i < materialCount; ++i) materialFaceCounts[i] = RunMaterialPass(placement, materials[i]);
}
