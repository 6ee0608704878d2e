#include "model/ObjReader.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "model/ObjKeywords.h"
#include "model/TextScanner.h"

namespace {

const size_t kShortestSkippedSpan = 4096;  // shorter face-free stretches are read token by token

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
