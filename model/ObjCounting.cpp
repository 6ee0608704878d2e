#include "model/ObjCounting.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "model/ByteClasses.h"
#include "model/ObjKeywords.h"
#include "model/TextScanner.h"

namespace {

const size_t kShortestSkippedSpan = 4096;  // shorter face-free stretches are read token by token
const size_t kLongestKeyword = 6;           // "usemtl" and "mtllib": no longer token is counted
// The white-space bits of the two bytes after a token's first byte: a token of one or two bytes ends
// where one of them is set.
const uint64_t kEndOfShortToken = 0x6;

const size_t kFirstSkipListCapacity = 16;

// Appends to a block of 16, 32, 64 ... items that doubles when full; false when memory runs out.
template <typename T>
bool Append(T*& items, size_t& count, const T& item) {
  if (count == 0 || (count >= kFirstSkipListCapacity && (count & (count - 1)) == 0)) {
    size_t capacity = count == 0 ? kFirstSkipListCapacity : count * 2;
    T* grown = static_cast<T*>(realloc(items, capacity * sizeof(T)));
    if (grown == NULL) return false;
    items = grown;
  }
  items[count++] = item;
  return true;
}

// A face or "usemtl" token at offset, length bytes long, ends the face-free stretch before it, which is
// kept when it is long enough to be worth skipping.
inline bool NoteFaceFreeSpan(ObjCounts& counts, size_t offset, size_t length, size_t& faceFreeFrom) {
  if (offset - faceFreeFrom >= kShortestSkippedSpan) {
    FaceFreeSpan span;
    span.begin = faceFreeFrom;
    span.end = offset;
    if (!Append(counts.faceFreeSpans, counts.faceFreeSpanCount, span)) return false;
  }
  faceFreeFrom = offset + length;
  return true;
}

// Notes one token of the counting pass. fresh is false when the read failed and the buffer still holds
// the token before it, which is then tested again as the statement loop would.
bool NoteToken(ObjCounts& counts, const Token& token, bool fresh, size_t offset, size_t& faceFreeFrom) {
  char first = token.length != 0 ? token.text[0] : '\0';
  // No keyword counted here.
  if (token.length > kLongestKeyword || (first != 'v' && first != 'f' && first != 'u')) return true;
  if (IsPosition(token)) ++counts.positionCount;
  if (IsNormal(token)) ++counts.normalCount;
  if (IsTexcoord(token)) ++counts.texcoordCount;
  if (IsFace(token)) ++counts.faceCount;
  if (!fresh) return true;
  if ((IsPosition(token) || IsNormal(token) || IsTexcoord(token)) && counts.firstVertexToken > offset)
    counts.firstVertexToken = offset;
  if (!IsFace(token) && !IsSelection(token)) return true;
  Selection selection;
  selection.offset = offset;
  selection.facesBefore = counts.faceCount;
  return NoteFaceFreeSpan(counts, offset, token.length, faceFreeFrom) &&
         (!IsSelection(token) || Append(counts.selections, counts.selectionCount, selection));
}

// The usual keyword tokens of one or two bytes ("v", "vn", "vt", "f" and the others, which count nothing),
// noted as NoteToken notes a fresh token, without its chain of string tests. The byte after the token is
// readable (the white space that ends it).
inline bool NoteShortToken(ObjCounts& counts, const char* token, size_t length, size_t offset, size_t& faceFreeFrom) {
  if (token[0] == 'f') {
    if (length != 1) return true;
    ++counts.faceCount;
    return NoteFaceFreeSpan(counts, offset, 1, faceFreeFrom);
  }
  if (token[0] != 'v') return true;
  bool position = length == 1, normal = length == 2 && token[1] == 'n', texcoord = length == 2 && token[1] == 't';
  counts.positionCount += position;
  counts.normalCount += normal;
  counts.texcoordCount += texcoord;
  if ((position || normal || texcoord) && counts.firstVertexToken > offset) counts.firstVertexToken = offset;
  return true;
}

// The counting pass's place in the text and what it has found so far.
struct CountingScan {
  const char* text;
  const char* end;
  LibraryLoader loadLibrary;
  void* context;
  ObjCounts* counts;
  size_t faceFreeFrom;
  bool noted;  // false once memory for the skip lists ran out
};

// "mtllib" and its name, as the statement loop reads them: the name stands in the buffer for the counting
// tests; at the end of the file a name followed only by white space is tested once more, as the failed
// read of the next loop leaves it in the buffer. Returns where the counting goes on.
const char* CountLibraryStatement(CountingScan& scan, const char* keywordEnd) {
  TextScanner scanner = ResumeScan(keywordEnd, scan.end);
  if (!scanner.atEnd) SkipSpace(scanner);
  Token name = TokenOf("mtllib", 6);
  bool fresh = ReadToken(scanner, kTokenBufferSize, name);
  char fileName[kTokenBufferSize];
  CopyToken(name, fileName);
  scan.loadLibrary(scan.context, fileName);
  scan.noted = NoteToken(*scan.counts, name, fresh, static_cast<size_t>(name.text - scan.text), scan.faceFreeFrom);
  if (scan.noted && fresh && !scanner.atEnd) {
    SkipSpace(scanner);
    if (scanner.atEnd) {
      if (IsLibrary(name)) scan.loadLibrary(scan.context, fileName);
      scan.noted = NoteToken(*scan.counts, name, false, 0, scan.faceFreeFrom);
    }
  }
  return scanner.cursor;
}

// Notes the token from p to tokenEnd; returns where the scan goes on (after an "mtllib" statement's name).
const char* CountToken(CountingScan& scan, const char* p, const char* tokenEnd) {
  size_t length = static_cast<size_t>(tokenEnd - p);
  Token token = TokenOf(p, length < kTokenBufferSize - 1 ? length : kTokenBufferSize - 1);
  if (IsLibrary(token)) return CountLibraryStatement(scan, tokenEnd);
  scan.noted = NoteToken(*scan.counts, token, true, static_cast<size_t>(p - scan.text), scan.faceFreeFrom);
  return tokenEnd;
}

// Notes the keyword candidates of the 64-byte block at p, whose classes are given; returns where the next
// block begins: p + 64, or further on when a token or an "mtllib" statement ran past this block.
const char* CountBlock(CountingScan& scan, const char* p, const ByteClasses& classes, uint64_t spaceBefore) {
  uint64_t starts = ~classes.space & ((classes.space << 1) | spaceBefore);
  uint64_t candidates = starts & classes.keyword;
  while (candidates != 0 && scan.noted) {
    int position = LowestBit(candidates);
    const char* token = p + position;
    uint64_t spacesAfter = classes.space >> position;
    if ((spacesAfter & kEndOfShortToken) != 0) {  // a token of one or two bytes, ending in this block
      scan.noted = NoteShortToken(*scan.counts, token, static_cast<size_t>(LowestBit(spacesAfter)),
                                  static_cast<size_t>(token - scan.text), scan.faceFreeFrom);
      candidates &= candidates - 1;
      continue;
    }
    const char* tokenEnd = spacesAfter != 0 ? token + LowestBit(spacesAfter)
                                            : FindTokenEnd(p + kByteClassBlock, scan.end);
    size_t consumed = static_cast<size_t>(CountToken(scan, token, tokenEnd) - p);
    if (consumed >= static_cast<size_t>(kByteClassBlock)) return p + consumed;
    candidates &= ~0ull << consumed;  // the name of "mtllib" is no candidate of its own
  }
  return p + kByteClassBlock;
}

}  // namespace

// Only keyword tokens change the counts, so the pass looks at those alone: the tokens that start with a
// byte from 'f' to 'v', found 64 bytes at a time. The statement loop's token by token reading is kept
// where it matters, at "mtllib" (see CountLibraryStatement).
bool CountObjStatements(const char* text, size_t size, LibraryLoader loadLibrary, void* context,
                        ObjCounts& counts) {
  counts = ObjCounts();
  counts.firstVertexToken = size;
  CountingScan scan = {};
  scan.text = text;
  scan.end = text + size;
  scan.loadLibrary = loadLibrary;
  scan.context = context;
  scan.counts = &counts;
  scan.noted = true;
  uint64_t spaceBefore = 1;  // the start of the text counts as white space before the first token
  for (const char* p = text; p < scan.end && scan.noted;) {
    size_t room = static_cast<size_t>(scan.end - p);
    ByteClasses classes;
    if (room >= static_cast<size_t>(kByteClassBlock)) {
      classes = ClassifyBlock(p);
    } else {  // the last bytes, padded with white space, which ends the last token where the data ends
      char last[kByteClassBlock];
      memcpy(last, p, room);
      memset(last + room, ' ', sizeof last - room);
      classes = ClassifyBlock(last);
    }
    const char* next = CountBlock(scan, p, classes, spaceBefore);
    spaceBefore = next == p + kByteClassBlock ? classes.space >> 63 : IsTextSpace(static_cast<unsigned char>(next[-1]));
    p = next;
  }
  if (!scan.noted) FreeObjCounts(counts);
  return scan.noted;
}

void FreeObjCounts(ObjCounts& counts) {
  free(counts.selections);
  free(counts.faceFreeSpans);
  counts = ObjCounts();
}
