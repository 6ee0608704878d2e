#include "model/ObjReader.h"

#include <limits.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <new>
#include <utility>

#include "model/ByteClasses.h"
#include "model/ObjKeywords.h"
#include "model/TextScanner.h"

namespace {

// A vertex list with the bound its references are checked against: min(count, INT_MAX), so that a
// reference r is inside exactly when unsigned(r) - 1 is below it (zero and negative ones wrap above).
template <typename T>
struct ReferencedList {
  const T* items;
  uint32_t limit;
};

template <typename T>
ReferencedList<T> ReferTo(const T* items, size_t count) {
  ReferencedList<T> list = {items, static_cast<uint32_t>(count < INT_MAX ? count : INT_MAX)};
  return list;
}

// The state the face passes share: the face counter F, the match flag and the nine references, none of
// which is reset between passes.
struct FacePlacement {
  const char* text;
  size_t size;
  const ObjCounts* counts;
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

// Calls step(0) .. step(N - 1) as straight-line code: the compilers keep such short loops rolled, their
// arrays then live in memory and every step waits on the loop counter.
template <typename Step, int... I>
inline void Unrolled(Step&& step, std::integer_sequence<int, I...>) {
  (step(I), ...);
}
template <int N, typename Step>
inline void Unrolled(Step&& step) {
  Unrolled(step, std::make_integer_sequence<int, N>());
}

// LowestBit as an offset.
inline size_t BitIndex(uint64_t word) { return static_cast<unsigned>(LowestBit(word)); }

// The values of a statement's digit runs, turned into ints together. Run i is given by the block and the
// offsets of its first byte and of the byte after it: the value when it has 1 to 8 digits, some number
// else. Eight bytes from each run's first must lie in the data. VIEWER_PORTABLE_FACES picks the word
// arithmetic on any target, so that a test can compare it with the SSE2 one.
#if VIEWER_BYTE_CLASSES_SSE2 && !defined(VIEWER_PORTABLE_FACES)
// Each run moved to the top of a 64-bit half as LeadingDigitsValue does, two runs to a register; then the same
// steps on sixteen digits at once: pairs of digits by one multiplication, fours and eights by
// multiply-adds, with no 64-bit multiplications left.
template <int kRuns>
class DigitRuns {
 public:
  void Set(int i, const char* block, size_t start, size_t end) {
    __m128i word = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(block + start));
    int shift = static_cast<int>(8 * (start - end) + 64);  // a shift of 64 and up (or below 0) gives 0
    words_[i] = _mm_sll_epi64(word, _mm_cvtsi32_si128(shift));
  }
  // values[0 .. kRuns - 1]; values has room for kRuns rounded up to a multiple of four.
  void Values(int* values) const {
    const int kPairs = (kRuns + 1) / 2;
    __m128i fours[kPairs];
    Unrolled<kPairs>([&](int k) {
      __m128i pair = _mm_unpacklo_epi64(words_[2 * k], words_[2 * k + 1 < kRuns ? 2 * k + 1 : 2 * k]);
      pair = _mm_and_si128(pair, _mm_set1_epi8(0x0F));
      pair = _mm_srli_epi16(_mm_mullo_epi16(pair, _mm_set1_epi16(10 * 256 + 1)), 8);  // 10 * first + second
      fours[k] = _mm_madd_epi16(pair, _mm_set1_epi32(0x00010000 | 100));             // 100 * first + second
    });
    Unrolled<(kPairs + 1) / 2>([&](int k) {
      __m128i groups = _mm_packs_epi32(fours[2 * k], fours[2 * k + 1 < kPairs ? 2 * k + 1 : 2 * k]);
      __m128i eights = _mm_madd_epi16(groups, _mm_set1_epi32(0x00010000 | 10000));  // 10000 * first + second
      _mm_storeu_si128(reinterpret_cast<__m128i*>(values + 4 * k), eights);
    });
  }

 private:
  __m128i words_[kRuns];
};
#else
template <int kRuns>
class DigitRuns {
 public:
  void Set(int i, const char* block, size_t start, size_t end) {
    values_[i] = static_cast<int>(LeadingDigitsValue(LoadWord(block + start), static_cast<int>(end - start)));
  }
  void Values(int* values) const { memcpy(values, values_, sizeof values_); }

 private:
  int values_[kRuns];
};
#endif

// The bytes the block read may touch: a run is taken to start at most two bytes after the last end taken,
// byte 63 when the ends run out, and eight bytes are loaded from there.
const ptrdiff_t kBlockRoom = kByteClassBlock + 1 + 8;

// A face's references read from the classes of the 64-byte block at the cursor, without walking its
// bytes: the numbers' ends come from the digit mask alone, so no position waits on a number's value, and
// the whole statement is checked against its form at once. Taken only where the exact reads would give
// the same: unsigned numbers of one to eight digits, slashes exactly where the form has them ("p/t/n" or
// "p//n"), nothing but white space between references, and the byte that ends the last number inside the
// block. False (nothing consumed) for anything else. references has room for twelve ints and is written
// before the checks: after false it holds anything.

template <bool kTextured>
bool ReadFaceFromBlock(TextScanner& scanner, int references[12]) {
  const int kParts = kTextured ? 3 : 2;    // numbers per reference
  const int kSlashes = kTextured ? 1 : 2;  // slashes between two numbers of a reference
  const int kNumbers = 3 * kParts;
  const uint64_t kTop = 1ull << 63;        // keeps LowestBit's word non-zero; the places it gives are checked
  const char* block = scanner.cursor;
  if (scanner.atEnd || scanner.end - block < kBlockRoom) return false;
  ByteClasses classes = ClassifyBlock(block);
  const uint64_t digits = classes.digit;
  // Bit i set where byte i ends a digit run; a run still going at byte 63 has no end here.
  uint64_t ends = ~digits & (digits << 1);
  // The numbers' places and values are taken as if the form held, before it is checked, so that no step
  // waits on a check.
  DigitRuns<kNumbers> runs;
  uint64_t firstSlashes = 0;  // the first slash of each separator inside a reference
  uint64_t endsBeforeLast = 0;
  size_t end = 0;
  Unrolled<kNumbers>([&](int i) {
    size_t start = 0;
    if (i % kParts != 0) {
      start = end + kSlashes;
      firstSlashes |= 1ull << end;
    } else if (i != 0) {  // after white space: the next digit
      start = BitIndex((digits & (~0ull << end)) | kTop);
    }
    if (i == kNumbers - 1) endsBeforeLast = ends;
    end = BitIndex(ends | kTop);
    ends &= ends - 1;
    runs.Set(i, block, start, end);
  });
  if (kTextured) {
    runs.Values(references);
  } else {  // the texcoords' references keep their values
    int values[8];
    runs.Values(values);
    Unrolled<3>([&](int corner) {
      references[3 * corner] = values[2 * corner];
      references[3 * corner + 2] = values[2 * corner + 1];
    });
  }
  const uint64_t slashes = kSlashes == 1 ? firstSlashes : firstSlashes | firstSlashes << 1;
  const uint64_t statement = (1ull << end) - 1;  // bytes 0 to end - 1: the numbers and what separates them
  uint64_t nineDigits = digits & digits >> 1;    // bit i: bytes i to i + 8 all digits
  nineDigits &= nineDigits >> 2;
  nineDigits &= nineDigits >> 4;
  nineDigits &= digits >> 8;
  // Every number ends in the block (the last one below byte 63 too); the slashes exactly those of the
  // form, each group followed by a digit, so that the other gaps between runs are those between
  // references, at least one byte each; no number longer than eight digits; only digits, those slashes
  // and white space up to the last number. Then each place and count taken above is the true one.
  if ((digits & 1) == 0 || endsBeforeLast == 0 || (classes.slash & statement) != slashes ||
      ((firstSlashes << kSlashes) & ~digits) != 0 || (nineDigits & statement) != 0 ||
      (statement & ~(digits | slashes | classes.space)) != 0)
    return false;
  scanner.cursor = block + end;
  return true;
}

const D3DXVECTOR3 kZero3(0.0f, 0.0f, 0.0f);
const D3DXVECTOR2 kZero2(0.0f, 0.0f);

// A reference outside its list (zero, negative or too large) reads as zero: one unsigned comparison.
template <typename T>
const T& Lookup(const ReferencedList<T>& list, int reference, const T& zero) {
  uint32_t index = static_cast<uint32_t>(reference) - 1u;
  return index < list.limit ? list.items[index] : zero;
}

// Places the face whose references follow; false (nothing read) when the limit is reached.
template <bool kTextured>
bool PlaceFace(FacePlacement& placement, TextScanner& scanner) {
  if (placement.placed == placement.limit) {
    placement.overflow = true;
    return false;
  }
  const unsigned kUsed = kTextured ? 0x1FF : 0x16D;  // all nine, or the positions' and normals' six
  int* references = placement.references;
  int* spare = placement.spare;
  if (ReadFaceFromBlock<kTextured>(scanner, spare)) {
    if (!kTextured) Unrolled<3>([&](int corner) { spare[3 * corner + 1] = references[3 * corner + 1]; });
    placement.spare = references;
    placement.references = references = spare;
    placement.ownReferences |= kUsed;
  } else {
    int corner = 0;
    while (corner < 3 && ReadReference(scanner, kTextured, references + 3 * corner)) ++corner;
    if (corner == 3) placement.ownReferences |= kUsed;
    else if ((placement.ownReferences & kUsed) != kUsed) placement.borrowed = true;
  }
  Vertex* vertex = placement.faceVertices + 3 * placement.placed;
  Unrolled<3>([&](int corner) {
    vertex[corner].position = Lookup(placement.positions, references[3 * corner], kZero3);
    vertex[corner].normal = Lookup(placement.normals, references[3 * corner + 2], kZero3);
    if (kTextured) vertex[corner].texcoord = Lookup(placement.texcoords, references[3 * corner + 1], kZero2);
  });
  ++placement.placed;
  return true;
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
    while (selection < counts.selectionCount && counts.selections[selection].offset < offset) ++selection;
    if (selection == counts.selectionCount) return false;
    scanner.cursor = placement.text + counts.selections[selection].offset;
    return true;
  }
  while (span < counts.faceFreeSpanCount && counts.faceFreeSpans[span].end <= offset) ++span;
  if (span < counts.faceFreeSpanCount && counts.faceFreeSpans[span].begin <= offset &&
      AtTokenBoundary(scanner, placement.text))
    scanner.cursor = placement.text + counts.faceFreeSpans[span].end;
  return true;
}

// Where SkipToNextStatement would next pass over a face-free span: at the start of the span it holds to,
// or never.
const char* NextSkip(const FacePlacement& placement, size_t span) {
  const ObjCounts& counts = *placement.counts;
  return span < counts.faceFreeSpanCount ? placement.text + counts.faceFreeSpans[span].begin
                                         : placement.text + placement.size;
}

// The usual statement of a matched run before the skip lists' next span: "f" with one or two white-space
// bytes before it and one after it, then a digit. Consumed up to the digit, as the statement loop's "%s "
// read would consume it; false (nothing consumed) for anything else, which the loop then reads as always.
inline bool TakeFaceToken(TextScanner& scanner, const char* nextSkip) {
  const char* p = scanner.cursor;
  if (p >= nextSkip || scanner.end - p < 8) return false;
  // One white-space byte and "f ", or CRLF and "f ", tested from one load, so that no read waits on another.
  uint32_t start;
  memcpy(&start, p, sizeof start);
  const uint32_t kFace = 'f' | ' ' << 8;
  if ((start & 0xFFFF00) == kFace << 8 && IsTextSpace(static_cast<unsigned char>(p[0])) && IsDigit(p[3])) {
    scanner.cursor = p + 3;
    return true;
  }
  if (start == ('\r' | '\n' << 8 | kFace << 16) && IsDigit(p[4])) {
    scanner.cursor = p + 4;
    return true;
  }
  bool space = IsTextSpace(static_cast<unsigned char>(p[0]));
  p += space + (space & IsTextSpace(static_cast<unsigned char>(p[1])));
  if (p[0] != 'f' || !IsTextSpace(static_cast<unsigned char>(p[1])) || !IsDigit(p[2])) return false;
  scanner.cursor = p + 2;
  return true;
}

// One material's pass: the statement loop of a rewound file, ended early once every counted face is placed.
template <bool kTextured>
UINT RunMaterialPass(FacePlacement& placement, const char* materialName) {
  TextScanner scanner = ScanText(placement.text, placement.size);
  size_t selection = 0;
  size_t span = 0;
  const char* nextSkip = NextSkip(placement, span);
  UINT placedHere = 0;
  while (placement.placed < placement.faceCount && !scanner.atEnd) {
    bool face = placement.match && TakeFaceToken(scanner, nextSkip);
    if (!face) {
      if (!SkipToNextStatement(placement, scanner, selection, span)) break;
      nextSkip = NextSkip(placement, span);
      Token token = {"", 0};
      ReadTokenAndSpace(scanner, kTokenBufferSize, token);
      if (IsSelection(token)) {
        ReadToken(scanner, kTokenBufferSize, token);
        placement.match = TokenEquals(token, materialName);
      }
      face = IsFace(token) && placement.match;
    }
    if (face) {
      if (!PlaceFace<kTextured>(placement, scanner)) break;
      ++placedHere;
    }
  }
  return placedHere;
}

// The passes of materials first .. end - 1; they stop at an overflow.
void RunPasses(FacePlacement& placement, const FaceMaterial* materials, size_t first, size_t end,
               UINT* materialFaceCounts) {
  for (size_t i = first; i < end && !placement.overflow; ++i) {
    const FaceMaterial& material = materials[i];
    materialFaceCounts[i] = material.textured ? RunMaterialPass<true>(placement, material.name)
                                              : RunMaterialPass<false>(placement, material.name);
  }
}

// The name the pass loop reads after the "usemtl" of this selection, as it reads it.
Token SelectedName(const char* text, size_t size, const Selection& selection) {
  TextScanner scanner = ScanText(text + selection.offset, size - selection.offset);
  Token token = {"", 0};
  ReadTokenAndSpace(scanner, kTokenBufferSize, token);
  ReadToken(scanner, kTokenBufferSize, token);
  return token;
}

// The faces each pass will place when every counted face is read as a statement: the faces counted after
// a "usemtl" (up to the next) go to each material it names; those before the first "usemtl" go to the
// pass after that of the material the last one names, whose match flag is still set. Also the match flag
// each pass will start with.
void PredictPasses(const FacePlacement& placement, const FaceMaterial* materials, size_t materialCount,
                   size_t* faces, bool* startMatch) {
  const ObjCounts& counts = *placement.counts;
  for (size_t i = 0; i < materialCount; ++i) {
    faces[i] = 0;
    startMatch[i] = false;
  }
  for (size_t j = 0; j < counts.selectionCount; ++j) {
    size_t last = j + 1 < counts.selectionCount ? counts.selections[j + 1].facesBefore : counts.faceCount;
    size_t run = last - counts.selections[j].facesBefore;
    Token name = SelectedName(placement.text, placement.size, counts.selections[j]);
    for (size_t i = 0; i < materialCount; ++i) {
      bool named = TokenEquals(name, materials[i].name);
      if (named) faces[i] += run;
      if (named && j + 1 == counts.selectionCount && i + 1 < materialCount) startMatch[i + 1] = true;
    }
  }
  size_t before = counts.selectionCount != 0 ? counts.selections[0].facesBefore : counts.faceCount;
  for (size_t i = 0; i < materialCount; ++i) {
    if (startMatch[i]) faces[i] += before;
  }
}

// Fewer faces are placed on one thread. A test build sets it lower to run the split on small models.
#ifndef VIEWER_SHORTEST_SPLIT
#define VIEWER_SHORTEST_SPLIT (1 << 16)
#endif
const size_t kShortestSplit = VIEWER_SHORTEST_SPLIT;

// The second thread's share: the passes of the materials from first on, from a predicted start.
struct SecondPlacement {
  FacePlacement placement;
  const FaceMaterial* materials;
  size_t first, end;
  UINT* materialFaceCounts;
};

DWORD WINAPI RunSecondPlacement(LPVOID parameter) {
  SecondPlacement& second = *static_cast<SecondPlacement*>(parameter);
  RunPasses(second.placement, second.materials, second.first, second.end, second.materialFaceCounts);
  return 0;
}

// The material whose pass begins the second thread's share, so that the two place about as many faces;
// 0 when the placement is not worth splitting. start receives that pass's first slot.
size_t ChooseSplit(const size_t* faces, size_t materialCount, size_t faceCount, size_t& start) {
  size_t total = 0;
  for (size_t i = 0; i < materialCount; ++i) total += faces[i];
  if (materialCount < 2 || total < kShortestSplit) return 0;
  size_t split = 1;
  start = faces[0];
  while (split + 1 < materialCount && start + faces[split] <= total / 2) start += faces[split++];
  if (start > faceCount) start = faceCount;
  return split;
}

// The passes of the later materials on a second thread, from the slot and match flag predicted for
// them, while this thread runs the earlier ones up to that slot. True when the prediction held: the first
// share placed exactly up to the slot and left that match flag, and the second never used a reference
// the first share would have left it. Otherwise the caller places everything again.
bool PlaceOnTwoThreads(FacePlacement& placement, const FaceMaterial* materials, size_t materialCount,
                       UINT* materialFaceCounts) {
  size_t* faces = new (std::nothrow) size_t[materialCount];
  bool* startMatch = new (std::nothrow) bool[materialCount];
  size_t start = 0, split = 0;
  const size_t kMostComparisons = 1 << 24;  // names of selections against names of materials
  const ObjCounts& counts = *placement.counts;
  bool predictable = materialCount != 0 && counts.selectionCount <= kMostComparisons / materialCount;
  if (predictable && faces != NULL && startMatch != NULL) {
    PredictPasses(placement, materials, materialCount, faces, startMatch);
    split = ChooseSplit(faces, materialCount, placement.faceCount, start);
  }
  SecondPlacement second = {placement, materials, split, materialCount, materialFaceCounts};
  second.placement.references = second.placement.sets[0];
  second.placement.spare = second.placement.sets[1];
  second.placement.placed = start;
  second.placement.match = split != 0 && startMatch[split];
  second.placement.ownReferences = 0;
  const bool assumedMatch = second.placement.match;
  HANDLE thread = split != 0 ? CreateThread(NULL, 0, RunSecondPlacement, &second, 0, NULL) : NULL;
  delete[] faces;
  delete[] startMatch;
  if (thread == NULL) return false;
  placement.limit = start;
  RunPasses(placement, materials, 0, split, materialFaceCounts);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  bool held = !placement.overflow && placement.placed == start && placement.match == assumedMatch &&
              !second.placement.borrowed;
#ifdef VIEWER_SPLIT_OUTCOME
  VIEWER_SPLIT_OUTCOME(held);  // a test build counts how the splits went
#endif
  // What the second share wrote lies between start and where it stopped: cleared when it must be redone.
  if (!held) {
    size_t written = second.placement.placed > placement.placed ? second.placement.placed : placement.placed;
    memset(static_cast<void*>(placement.faceVertices), 0, 3 * written * sizeof(Vertex));
  }
  placement.placed = second.placement.placed;
  return held;
}

}  // namespace

void PlaceObjFaces(const char* text, size_t size, const ObjCounts& counts, const ObjVertexLists& lists,
                   const FaceMaterial* materials, size_t materialCount, Vertex* faceVertices,
                   size_t faceCount, UINT* materialFaceCounts) {
  FacePlacement placement = {text,
                              size,
                              &counts,
                              ReferTo(lists.positions, lists.positionCount),
                              ReferTo(lists.normals, lists.normalCount),
                              ReferTo(lists.texcoords, lists.texcoordCount),
                              faceVertices,
                              faceCount,
                              0,
                              faceCount,
                              false,
                              false,
                              0x1FF,
                              false,
                              {{0}},
                              NULL,
                              NULL};
  placement.references = placement.sets[0];
  placement.spare = placement.sets[1];
  FacePlacement fresh = placement;
  if (PlaceOnTwoThreads(placement, materials, materialCount, materialFaceCounts)) return;
  placement = fresh;  // one thread, all passes
  placement.references = placement.sets[0];
  placement.spare = placement.sets[1];
  RunPasses(placement, materials, 0, materialCount, materialFaceCounts);
}
