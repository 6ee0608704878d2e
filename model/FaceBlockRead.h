// The face passes' read of a whole face statement from the byte classes of the 64-byte block at its first
// reference (see ReadFaceFromBlock), shared by model/MaterialPasses.cpp and the tests that check its two
// kinds of digit arithmetic against each other.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <utility>

#include "model/ByteClasses.h"
#include "model/TextScanner.h"

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
// else. Eight bytes from each run's first must lie in the data. Two kinds give the same values: word
// arithmetic, which every target has, and SSE2; DigitRuns is the build's own.
template <int kRuns>
class PortableDigitRuns {
 public:
  void Set(int i, const char* block, size_t start, size_t end) {
    values_[i] = static_cast<int>(LeadingDigitsValue(LoadWord(block + start), static_cast<int>(end - start)));
  }
  // values[0 .. kRuns - 1]; values has room for kRuns rounded up to a multiple of four.
  void Values(int* values) const { memcpy(values, values_, sizeof values_); }

 private:
  int values_[kRuns];
};

#if VIEWER_BYTE_CLASSES_SSE2
// Each run moved to the top of a 64-bit half as LeadingDigitsValue does, two runs to a register; then the same
// steps on sixteen digits at once: pairs of digits by one multiplication, fours and eights by
// multiply-adds, with no 64-bit multiplications left.
template <int kRuns>
class Sse2DigitRuns {
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
template <int kRuns>
using DigitRuns = Sse2DigitRuns<kRuns>;
#else
template <int kRuns>
using DigitRuns = PortableDigitRuns<kRuns>;
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
// before the checks: after false it holds anything. Runs is the digit arithmetic.
template <bool kTextured, template <int> class Runs = DigitRuns>
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
  Runs<kNumbers> runs;
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
