#include "model/MaterialPasses.h"

#include <limits.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "model/FaceBlockRead.h"
#include "model/ObjKeywords.h"
#include "model/TextScanner.h"

namespace {

template <typename T>
ReferencedList<T> ReferTo(const T* items, size_t count) {
  ReferencedList<T> list;
  list.items = items;
  list.limit = static_cast<uint32_t>(count < INT_MAX ? count : INT_MAX);
  return list;
}

// Which materials' passes may repeat another's: those whose name and form some other material has too.
bool FindRepeats(FacePassPlan& plan) {
  const size_t pairs = 2 * plan.groups.groupCount;  // (name, form) as 2 * group + textured
  size_t* idOfPair = plan.groups.groupCount < SIZE_MAX / 2 / sizeof(size_t)
                         ? static_cast<size_t*>(calloc(pairs + 1, sizeof(size_t)))
                         : NULL;
  plan.repeatOfMaterial = static_cast<size_t*>(malloc((plan.materialCount + 1) * sizeof(size_t)));
  if (idOfPair == NULL || plan.repeatOfMaterial == NULL) {
    free(idOfPair);
    return false;
  }
  for (size_t i = 0; i < plan.materialCount; ++i)
    ++idOfPair[2 * plan.groups.groupOfMaterial[i] + plan.materials[i].textured];
  for (size_t pair = 0; pair < pairs; ++pair) idOfPair[pair] = idOfPair[pair] > 1 ? plan.repeatCount++ : kNoRepeat;
  for (size_t i = 0; i < plan.materialCount; ++i)
    plan.repeatOfMaterial[i] = idOfPair[2 * plan.groups.groupOfMaterial[i] + plan.materials[i].textured];
  free(idOfPair);
  return true;
}

// The usual reference, unsigned numbers of up to seven digits, read in one go well before the end of the
// data; false (nothing consumed) for anything else, which ReadReference then reads piece by piece.
bool ReadPlainReference(TextScanner& scanner, bool textured, int reference[3]) {
  const size_t kMinimumRoom = 64;  // every eight-byte digit load below stays inside the data
  const int kMostSpaceBefore = 8;  // white-space bytes before the reference; more are left to ReadReference
  const int kWordDigits = 8;       // a digit run that fills the loaded word may go on past it
  const char* p = scanner.cursor;
  if (scanner.atEnd || static_cast<size_t>(scanner.end - p) < kMinimumRoom) return false;
  for (int space = 0; IsTextSpace(static_cast<unsigned char>(*p)); ++p) {
    if (++space > kMostSpaceBefore) return false;
  }
  uint32_t values[3] = {0, 0, 0};
  for (int part = 0; part < 3; ++part) {
    if (part == 1 && !textured) {
      if (*p++ != '/') return false;
      continue;
    }
    int digits = ReadDigitWord(p, values[part]);
    if (digits == 0 || digits == kWordDigits) return false;
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
  const unsigned kUsed = kTextured ? kAllReferences : kPositionAndNormalReferences;
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
  const uint32_t kSecondAndThirdBytes = 0x00FFFF00;
  if ((start & kSecondAndThirdBytes) == kFace << 8 && IsTextSpace(static_cast<unsigned char>(p[0])) && IsDigit(p[3])) {
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

// Where a pass's statement loop stands.
struct PassCursor {
  TextScanner scanner;
  size_t span;           // the face-free span the skips hold to
  const char* nextSkip;  // where the loop may next pass over a span (see NextSkip)
  size_t entry;          // where the skips look on in the material's group (see NextSelectionRead)
};

// Where the loop may next pass over a face-free span: at the start of the span it holds to, or never.
const char* NextSkip(const FacePassPlan& plan, size_t span) {
  const ObjCounts& counts = *plan.counts;
  return span < counts.faceFreeSpanCount ? plan.text + counts.faceFreeSpans[span].begin : plan.text + plan.size;
}

// The first span that ends after offset.
size_t FirstSpanAfter(const ObjCounts& counts, size_t offset) {
  size_t low = 0, high = counts.faceFreeSpanCount;
  while (low < high) {
    size_t middle = low + (high - low) / 2;
    if (counts.faceFreeSpans[middle].end <= offset) low = middle + 1;
    else high = middle;
  }
  return low;
}

// Where the statement loop would next find "usemtl" or "f" when reading token by token from the cursor.
// With the flag off only a "usemtl" the pass reads that names its material can turn it on: the loop goes
// to the next one (the others leave the flag off). With the flag on, long face-free spans are passed
// over. False when no such "usemtl" lies ahead while the flag is off: nothing the pass reads from there on
// changes anything.
bool SkipToNextStatement(const FacePlacement& placement, size_t group, PassCursor& at) {
  const FacePassPlan& plan = *placement.plan;
  const ObjCounts& counts = *plan.counts;
  size_t offset = static_cast<size_t>(at.scanner.cursor - plan.text);
  if (!placement.match) {
    size_t next = NextSelectionRead(plan.groups, group, FirstSelectionFrom(counts, offset), at.entry);
    if (next == kNoSelection) return false;
    offset = counts.selections[next].offset;
    at.scanner.cursor = plan.text + offset;
    at.span = FirstSpanAfter(counts, offset);
    at.nextSkip = NextSkip(plan, at.span);
    return true;
  }
  while (at.span < counts.faceFreeSpanCount && counts.faceFreeSpans[at.span].end <= offset) ++at.span;
  if (at.span < counts.faceFreeSpanCount && counts.faceFreeSpans[at.span].begin <= offset &&
      AtTokenBoundary(at.scanner, plan.text))
    at.scanner.cursor = plan.text + counts.faceFreeSpans[at.span].end;
  at.nextSkip = NextSkip(plan, at.span);
  return true;
}

// A statement read token by token: the keyword and, after "usemtl", the name, which sets the match flag.
// True when a face follows with the flag on; selection tells whether the keyword was "usemtl".
bool ReadStatement(FacePlacement& placement, const char* name, TextScanner& scanner, bool& selection) {
  Token token = TokenOf("", 0);
  ReadTokenAndSpace(scanner, kTokenBufferSize, token);
  selection = IsSelection(token);
  if (selection) {
    ReadToken(scanner, kTokenBufferSize, token);
    placement.match = TokenEquals(token, name);
  }
  return IsFace(token) && placement.match;
}

// What a pass read: where the references of its faces begin, as a stretch of the memo's list.
struct PassTrace {
  size_t first;
  size_t count;
  bool made;
  // A whole pass: the flag it left. A prefix: whether it ends at a "usemtl" (else the pass read no
  // "usemtl" and ended at the end of the data).
  bool flag;
};

}  // namespace

struct PassMemo {
  size_t* faces;  // the traces' offsets, one trace after another
  size_t faceCount;
  size_t capacity;
  bool full;              // memory for the list ran out: no trace is made any more
  PassTrace* passes;      // two per repeated (name, form) pair, by the flag the pass starts with
  PassTrace prefixes[2];  // by form: what a pass that starts with the flag on reads before its first "usemtl"
  PassCursor prefixEnds[2];  // and where its loop stands then, about to read that "usemtl"
};

namespace {

const size_t kFirstTraceCapacity = 1024;  // offsets the memo's list holds before it first grows

void Note(PassMemo& memo, size_t offset) {
  if (memo.full) return;
  if (memo.faceCount == memo.capacity) {
    size_t capacity = memo.capacity == 0 ? kFirstTraceCapacity : 2 * memo.capacity;
    size_t* grown = capacity < SIZE_MAX / sizeof(size_t)
                        ? static_cast<size_t*>(realloc(memo.faces, capacity * sizeof(size_t)))
                        : NULL;
    if (grown == NULL) {
      memo.full = true;
      return;
    }
    memo.faces = grown;
    memo.capacity = capacity;
  }
  memo.faces[memo.faceCount++] = offset;
}

void MakeTrace(const PassMemo& memo, size_t first, bool flag, PassTrace& trace) {
  if (memo.full) return;
  trace.first = first;
  trace.count = memo.faceCount - first;
  trace.made = true;
  trace.flag = flag;
}

// One pass as it runs: where its loop stands and what it records.
struct PassRun {
  PassCursor at;
  UINT placed;         // faces this pass placed
  size_t first;        // where its faces begin in the memo's list
  bool wholeWanted;    // the whole pass is to be traced
  bool prefixWanted;   // the pass is before its first "usemtl", and that stretch is to be traced
};

// The faces the loop reads: placed, and noted where the pass is traced. False at the limit.
template <bool kTextured>
bool TakeFace(FacePlacement& placement, PassRun& run, TextScanner& scanner) {
  size_t offset = static_cast<size_t>(scanner.cursor - placement.plan->text);
  if (!PlaceFace<kTextured>(placement, scanner)) return false;
  ++run.placed;
  if (placement.memo != NULL && (run.wholeWanted || run.prefixWanted)) Note(*placement.memo, offset);
  return true;
}

// The faces of a trace placed again, each read from where the pass that made the trace read it. False when
// the slots ran out first: the pass then ends as that one would have there, with the flag on.
template <bool kTextured>
bool ReplayFaces(FacePlacement& placement, const PassTrace& trace, PassRun& run) {
  const FacePassPlan& plan = *placement.plan;
  for (size_t k = 0; k < trace.count; ++k) {
    size_t offset = placement.memo->faces[trace.first + k];
    TextScanner scanner = ResumeScan(plan.text + offset, plan.text + plan.size);
    if (placement.placed == placement.faceCount || !TakeFace<kTextured>(placement, run, scanner)) {
      placement.match = true;
      return false;
    }
  }
  return true;
}

// The statement loop from where run stands; with pending set, its first step reads the statement at the
// cursor at once, as the step at which a traced prefix ended did. True when the pass read all it reads,
// false when it ended at the last slot or at the limit.
template <bool kTextured>
bool RunStatementLoop(FacePlacement& placement, size_t material, PassRun& run, bool pending) {
  const FacePassPlan& plan = *placement.plan;
  PassCursor& at = run.at;
  while (placement.placed < placement.faceCount && !at.scanner.atEnd) {
    bool face = !pending && placement.match && TakeFaceToken(at.scanner, at.nextSkip);
    if (!face) {
      if (!pending && !SkipToNextStatement(placement, plan.groups.groupOfMaterial[material], at)) return true;
      pending = false;
      PassCursor before = at;
      bool selection = false;
      face = ReadStatement(placement, plan.materials[material].name, at.scanner, selection);
      if (selection && run.prefixWanted) {
        MakeTrace(*placement.memo, run.first, true, placement.memo->prefixes[kTextured]);
        placement.memo->prefixEnds[kTextured] = before;
        run.prefixWanted = false;
      }
    }
    if (face && !TakeFace<kTextured>(placement, run, at.scanner)) return false;
  }
  return placement.placed < placement.faceCount;
}

// The trace of this material's pass from this flag, when its name and form are another material's too.
PassTrace* WholeTrace(const FacePlacement& placement, size_t material) {
  const size_t repeat = placement.plan->repeatOfMaterial[material];
  if (placement.memo == NULL || repeat == kNoRepeat) return NULL;
  return &placement.memo->passes[2 * repeat + placement.match];
}

// One material's pass: the statement loop of a rewound file, ended early once every counted face is placed.
template <bool kTextured>
UINT RunMaterialPass(FacePlacement& placement, size_t material) {
  const FacePassPlan& plan = *placement.plan;
  PassMemo* memo = placement.memo;
  if (placement.placed == placement.faceCount) return 0;
  PassTrace* whole = WholeTrace(placement, material);
  PassRun run = {};
  run.at.scanner = ScanText(plan.text, plan.size);
  run.at.nextSkip = NextSkip(plan, 0);
  run.first = memo != NULL ? memo->faceCount : 0;
  run.wholeWanted = whole != NULL;
  if (whole != NULL && whole->made) {
    if (ReplayFaces<kTextured>(placement, *whole, run)) placement.match = whole->flag;
    return run.placed;
  }
  bool completed = true, loop = true, pending = false;
  if (placement.match && memo != NULL) {
    const PassTrace& prefix = memo->prefixes[kTextured];
    run.prefixWanted = !prefix.made;
    if (prefix.made) {
      completed = ReplayFaces<kTextured>(placement, prefix, run);
      loop = pending = completed && prefix.flag;  // else the pass ends with the prefix, the flag still on
      if (pending) run.at = memo->prefixEnds[kTextured];
    }
  }
  if (loop) completed = RunStatementLoop<kTextured>(placement, material, run, pending);
  if (completed && run.prefixWanted) MakeTrace(*memo, run.first, false, memo->prefixes[kTextured]);
  if (completed && whole != NULL) MakeTrace(*memo, run.first, placement.match, *whole);
  return run.placed;
}

}  // namespace

bool MakeFacePassPlan(const FacePassInput& input, FacePassPlan& plan) {
  plan = FacePassPlan();
  plan.text = input.text;
  plan.size = input.size;
  plan.counts = input.counts;
  plan.materials = input.materials;
  plan.materialCount = input.materialCount;
  bool made = GroupSelections(input, plan.groups) && FindRepeats(plan);
  if (!made) FreeFacePassPlan(plan);
  return made;
}

void FreeFacePassPlan(FacePassPlan& plan) {
  FreeSelectionGroups(plan.groups);
  free(plan.repeatOfMaterial);
  plan.repeatOfMaterial = NULL;
  plan.repeatCount = 0;
}

void StartPlacement(const FacePassPlan& plan, const ObjVertexLists& lists, const FaceSlots& slots,
                    FacePlacement& placement) {
  placement = FacePlacement();
  placement.plan = &plan;
  placement.positions = ReferTo(lists.positions, lists.positionCount);
  placement.normals = ReferTo(lists.normals, lists.normalCount);
  placement.texcoords = ReferTo(lists.texcoords, lists.texcoordCount);
  placement.faceVertices = slots.vertices;
  placement.faceCount = slots.count;
  placement.limit = slots.count;
  placement.ownReferences = kAllReferences;
  UseOwnReferences(placement);
}

void UseOwnReferences(FacePlacement& placement) {
  placement.references = placement.sets[0];
  placement.spare = placement.sets[1];
}

PassMemo* CreatePassMemo(const FacePassPlan& plan) {
  PassMemo* memo = static_cast<PassMemo*>(calloc(1, sizeof(PassMemo)));
  if (memo == NULL) return NULL;
  memo->passes = plan.repeatCount < SIZE_MAX / 2 / sizeof(PassTrace)
                     ? static_cast<PassTrace*>(calloc(2 * plan.repeatCount + 1, sizeof(PassTrace)))
                     : NULL;
  if (memo->passes == NULL) {
    free(memo);
    return NULL;
  }
  return memo;
}

void FreePassMemo(PassMemo* memo) {
  if (memo == NULL) return;
  free(memo->faces);
  free(memo->passes);
  free(memo);
}

void RunPasses(FacePlacement& placement, size_t first, size_t end, UINT* materialFaceCounts) {
  const FacePassPlan& plan = *placement.plan;
  for (size_t i = first; i < end && !placement.overflow; ++i) {
    materialFaceCounts[i] = plan.materials[i].textured ? RunMaterialPass<true>(placement, i)
                                                       : RunMaterialPass<false>(placement, i);
  }
}
