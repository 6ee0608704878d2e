// Classes of the bytes of a 64-byte block as bit masks, bit i standing for byte i: the fast paths of the
// readers find the numbers, separators and token starts of a whole statement from these masks at once
// instead of walking the bytes one after another.
//
// Where SSE2 is part of the target (every x86-64 compiler) the block is classified 16 bytes to an
// instruction; elsewhere eight bytes to a word by carry-free byte arithmetic. Both give the same masks.
#pragma once

#include <stdint.h>
#include <string.h>

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#include <emmintrin.h>
#define VIEWER_BYTE_CLASSES_SSE2 1
#endif

struct ByteClasses {
  uint64_t digit;    // '0' .. '9'
  uint64_t space;    // the readers' white space: NUL, '\t' .. '\r' and ' '
  uint64_t slash;    // '/'
  uint64_t point;    // '.'
  uint64_t minus;    // '-'
  uint64_t keyword;  // 'f' .. 'v', the bytes a model keyword can start with
};

const int kByteClassBlock = 64;

namespace byte_classes {

const uint64_t kOnes = 0x0101010101010101ull;
const uint64_t kHigh = 0x8080808080808080ull;
const uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;

// Bit 7 of each byte set where the byte is below n (n from 1 to 128): exact for every byte.
inline uint64_t Below(uint64_t word, unsigned n) {
  return ~(((word & kLow7) + kOnes * (128 - n)) | word) & kHigh;
}
inline uint64_t Equal(uint64_t word, unsigned char c) { return Below(word ^ (kOnes * c), 1); }
inline uint64_t InRange(uint64_t word, unsigned low, unsigned high) {  // low >= 1, high <= 126
  return Below(word, high + 1) & ~Below(word, low);
}

// Bit 7 of byte i moved to bit i.
inline uint64_t Gather(uint64_t flags) { return ((flags >> 7) * 0x0102040810204080ull) >> 56; }

}  // namespace byte_classes

// The same masks by word arithmetic alone; kept callable everywhere so that tests can compare the two.
inline ByteClasses ClassifyBlockPortable(const char* p) {
  using namespace byte_classes;
  ByteClasses classes = {};
  for (int i = 0; i < 8; ++i) {
    uint64_t word;
    memcpy(&word, p + 8 * i, sizeof word);
    int shift = 8 * i;
    uint64_t space = Equal(word, ' ') | Equal(word, 0) | InRange(word, '\t', '\r');
    classes.digit |= Gather(InRange(word, '0', '9')) << shift;
    classes.space |= Gather(space) << shift;
    classes.slash |= Gather(Equal(word, '/')) << shift;
    classes.point |= Gather(Equal(word, '.')) << shift;
    classes.minus |= Gather(Equal(word, '-')) << shift;
    classes.keyword |= Gather(InRange(word, 'f', 'v')) << shift;
  }
  return classes;
}

#if VIEWER_BYTE_CLASSES_SSE2
namespace byte_classes {

inline uint64_t Bits(__m128i flags, int shift) {
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(flags))) << shift;
}
// Signed comparison: bytes from 0x80 up are negative and so outside every range here.
inline __m128i Within(__m128i bytes, char low, char high) {
  return _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(static_cast<char>(low - 1))),
                       _mm_cmplt_epi8(bytes, _mm_set1_epi8(static_cast<char>(high + 1))));
}

// Sixteen bytes into bits shift .. shift + 15 of the masks.
inline void ClassifySixteen(const char* p, int shift, ByteClasses& classes) {
  __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i space = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')),
                                            _mm_cmpeq_epi8(bytes, _mm_setzero_si128())),
                               Within(bytes, '\t', '\r'));
  classes.digit |= Bits(Within(bytes, '0', '9'), shift);
  classes.space |= Bits(space, shift);
  classes.slash |= Bits(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('/')), shift);
  classes.point |= Bits(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('.')), shift);
  classes.minus |= Bits(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('-')), shift);
  classes.keyword |= Bits(Within(bytes, 'f', 'v'), shift);
}

}  // namespace byte_classes

// Written out four times rather than looped, so that every shift is a constant.
inline ByteClasses ClassifyBlock(const char* p) {
  ByteClasses classes = {};
  byte_classes::ClassifySixteen(p, 0, classes);
  byte_classes::ClassifySixteen(p + 16, 16, classes);
  byte_classes::ClassifySixteen(p + 32, 32, classes);
  byte_classes::ClassifySixteen(p + 48, 48, classes);
  return classes;
}
#else
inline ByteClasses ClassifyBlock(const char* p) { return ClassifyBlockPortable(p); }
#endif
