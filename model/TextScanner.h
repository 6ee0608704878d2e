// Formatted reading of whitespace-separated tokens, numbers and single characters from a file held in
// memory, the way the loaders read their files: each read first skips white space, as "%s", "%f" and "%d"
// do, and a read that finds no match consumes nothing after that white space.
//
// The rules every reader of the model and material files keeps:
// - White space is ' ', '\t', '\n', '\v', '\f', '\r' and also the NUL byte, so that every token is a plain
//   C string and CRLF files read exactly like LF files.
// - A token is a maximal run of other bytes. A token longer than its buffer allows (limit - 1 bytes) is cut
//   to that length and the rest of it is dropped, never read as a further token.
// - A number stops at the first byte that cannot continue it: the longest prefix of the form
//   [+-] digits [. digits] [(e|E) [+-] digits] (either side of the point may be empty, not both). What
//   follows, a keyword written straight after the number included, is read whole by the next read. Only
//   decimal forms are numbers: "inf", "nan" and hexadecimal forms are not. Floats are rounded to nearest;
//   a magnitude beyond the float range reads as infinity, one below it as zero.
// - An integer is [+-] digits; one beyond the int range is consumed whole and reads as INT_MAX or INT_MIN.
// - The end flag is set by any read or skip that arrives at the end of the data; reads after that fail.
//   A loop "until end of file" stops once the flag is set, as a loop over feof() does.
#pragma once

#include <limits.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

struct TextScanner {
  const char* cursor;
  const char* end;
  bool atEnd;  // a read has arrived at the end of the data
};

// A token as it stands in the data, already cut to the length its buffer allows.
struct Token {
  const char* text;
  size_t length;
};

inline TextScanner ScanText(const char* data, size_t size) {
  TextScanner scanner;
  scanner.cursor = data;
  scanner.end = data + size;
  scanner.atEnd = false;
  return scanner;
}

// A statement loop taken up again at cursor: the end flag is set when no data is left there, as the read
// that arrived there set it.
inline TextScanner ResumeScan(const char* cursor, const char* end) {
  TextScanner scanner = ScanText(cursor, static_cast<size_t>(end - cursor));
  scanner.atEnd = cursor == end;
  return scanner;
}

inline Token TokenOf(const char* text, size_t length) {
  Token token;
  token.text = text;
  token.length = length;
  return token;
}

// One entry per byte value, set for NUL, '\t' .. '\r' and ' ': a single load per test in the scanning loops.
struct TextSpaceTable {
  bool space[256];
};
// Bit c set for each white-space byte c: NUL, '\t' .. '\r' and ' '.
const uint64_t kTextSpaceBytes = 1ull << ' ' | 0x1Full << '\t' | 1ull << '\0';
constexpr TextSpaceTable MakeTextSpaceTable() {
  TextSpaceTable table = {};
  for (int c = 0; c <= ' '; ++c) table.space[c] = ((kTextSpaceBytes >> c) & 1) != 0;
  return table;
}
inline constexpr TextSpaceTable kTextSpace = MakeTextSpaceTable();

inline bool IsTextSpace(unsigned char c) { return kTextSpace.space[c]; }

inline bool IsDigit(char c) {
  return static_cast<unsigned char>(c - '0') < 10;
}

// Index of the lowest set bit of a non-zero word: one instruction where the compiler offers it, else a
// de Bruijn multiplication.
inline int LowestBit(uint64_t word) {
#if defined(__GNUC__)
  return __builtin_ctzll(word);
#else
  static const unsigned char kPositions[64] = {
       0,  1, 56,  2, 57, 49, 28,  3, 61, 58, 42, 50, 38, 29, 17,  4, 62, 47, 59, 36, 45, 43,
      51, 22, 53, 39, 33, 30, 24, 18, 12,  5, 63, 55, 48, 27, 60, 41, 37, 16, 46, 35, 44, 21,
      52, 32, 23, 11, 54, 26, 40, 15, 34, 20, 31, 10, 25, 14, 19,  9, 13,  8,  7,  6};
  return kPositions[((word & (~word + 1)) * 0x03f79d71b4ca8b09ull) >> 58];
#endif
}

// The byte c in every byte of a word, for the word-at-a-time tests below.
constexpr uint64_t EveryByte(unsigned char c) { return 0x0101010101010101ull * c; }
const uint64_t kByteTopBits = EveryByte(0x80);   // bit 7 of each byte: where the tests flag a byte
const uint64_t kByteLowBits = EveryByte(0x7F);   // the seven bits below it
const uint64_t kDigitValueBits = EveryByte(0x0F);  // the low four bits of each byte: a digit's value

// The first white-space byte at or after p, or end. Eight bytes at a time: a byte below 0x21 is flagged by
// the borrow trick (exact for the lowest flagged byte), then checked, as control bytes are flagged too.
inline const char* FindTokenEnd(const char* p, const char* end) {
  while (end - p >= 8) {
    uint64_t word;
    memcpy(&word, p, sizeof word);
    uint64_t below = (word - EveryByte(' ' + 1)) & ~word & kByteTopBits;
    if (below == 0) {
      p += 8;
      continue;
    }
    p += LowestBit(below) >> 3;
    if (IsTextSpace(static_cast<unsigned char>(*p))) return p;
    ++p;
  }
  while (p != end && !IsTextSpace(static_cast<unsigned char>(*p))) ++p;
  return p;
}

inline uint64_t LoadWord(const char* p) {
  uint64_t word;
  memcpy(&word, p, sizeof word);
  return word;
}

// The number of digits (0 to 8) that begin word, as loaded (first byte lowest). The first byte that is no
// digit: below '0' by the borrow trick (exact for the lowest such byte, which is all that counts here), or
// above '9', which adding 0x80 - ':' (0x46) to its low seven bits carries into bit 7.
inline int LeadingDigits(uint64_t word) {
  uint64_t below = (word - EveryByte('0')) & ~word;
  uint64_t above = ((word & kByteLowBits) + EveryByte(0x80 - ('9' + 1))) | word;
  uint64_t flags = (below | above) & kByteTopBits;
  return flags == 0 ? 8 : LowestBit(flags) >> 3;
}

// The value of the first count (1 to 8) bytes of word, all digits, combined in three multiplications (some
// number else). Only the digits' low four bits are used: the bytes past them leave the word by the shift,
// which puts leading zero bytes in their place, so nothing needs subtracting.
inline uint32_t LeadingDigitsValue(uint64_t word, int count) {
  const uint64_t kPairValues = 0x00FF00FF00FF00FFull;  // the low byte of each 16-bit lane: two digits' value
  const uint64_t kFourValues = 0x0000FFFF0000FFFFull;  // the low half of each 32-bit lane: four digits' value
  uint64_t digits = (word << ((8 * -count) & 63)) & kDigitValueBits;
  digits = (digits * (10 * 256 + 1)) >> 8;
  digits = ((digits & kPairValues) * (100 * 65536 + 1)) >> 16;
  return static_cast<uint32_t>(((digits & kFourValues) * (10000 * (1ull << 32) + 1)) >> 32);
}

// The integer digits (0 to 7) that begin integerWord with the bytes of fractionWord, loaded after the
// point, above them: a plain decimal's digits as one word, for LeadingDigitsValue.
inline uint64_t JoinDigitWords(uint64_t integerWord, int integerDigits, uint64_t fractionWord) {
  uint64_t integerBytes = integerWord & ((1ull << (8 * integerDigits)) - 1);
  return integerBytes | (fractionWord << (8 * integerDigits));
}

// The powers of ten that are exact floats: 10^10 = 2^10 * 5^10, and 5^10 is below 2^24.
inline constexpr float kExactPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
const uint32_t kExactMantissaLimit = 1u << 24;  // every integer up to it is an exact float

// mantissa / 10^fractionDigits for a mantissa up to kExactMantissaLimit and 0 to 10 fraction digits: both
// are exact floats, so the one rounding of the division gives the nearest float to the decimal.
inline float ExactDecimalValue(uint32_t mantissa, int fractionDigits) {
  return static_cast<float>(mantissa) / kExactPowersOfTen[fractionDigits];
}

// The run of up to eight digits at p, whose eight bytes must all lie in the data: their count (0 to 8) and
// value.
inline int ReadDigitWord(const char* p, uint32_t& value) {
  uint64_t word = LoadWord(p);
  int count = LeadingDigits(word);
  if (count != 0) value = LeadingDigitsValue(word, count);
  return count;
}

inline bool TokenIs(const Token& token, const char* word, size_t wordLength) {
  return token.length == wordLength && memcmp(token.text, word, wordLength) == 0;
}

// Compares a token with a NUL-terminated name, as strcmp on the two strings would.
inline bool TokenEquals(const Token& token, const char* name) {
  return strncmp(token.text, name, token.length) == 0 && name[token.length] == '\0';
}

// Copies the token into a buffer of bufferSize bytes (the token is already cut to fit).
inline void CopyToken(const Token& token, char* buffer) {
  memcpy(buffer, token.text, token.length);
  buffer[token.length] = '\0';
}

inline void SkipSpace(TextScanner& scanner) {
  const char* p = scanner.cursor;
  while (p != scanner.end && IsTextSpace(static_cast<unsigned char>(*p))) ++p;
  scanner.cursor = p;
  if (p == scanner.end) scanner.atEnd = true;
}

// "%s": the next token, cut to limit - 1 bytes. False at the end of the data (token left unchanged).
inline bool ReadToken(TextScanner& scanner, size_t limit, Token& token) {
  if (scanner.atEnd) return false;
  SkipSpace(scanner);
  if (scanner.atEnd) return false;
  const char* start = scanner.cursor;
  const char* p = FindTokenEnd(start, scanner.end);
  scanner.cursor = p;
  if (p == scanner.end) scanner.atEnd = true;
  size_t length = static_cast<size_t>(p - start);
  token.text = start;
  token.length = length < limit - 1 ? length : limit - 1;
  return true;
}

// "%s ": the next token, then the white space after it.
inline bool ReadTokenAndSpace(TextScanner& scanner, size_t limit, Token& token) {
  if (!ReadToken(scanner, limit, token)) return false;
  if (!scanner.atEnd) SkipSpace(scanner);
  return true;
}

// A literal character of a format: consumed when it is next, with no white space skipped before it.
inline bool ReadChar(TextScanner& scanner, char c) {
  if (scanner.atEnd) return false;
  if (scanner.cursor == scanner.end) {
    scanner.atEnd = true;
    return false;
  }
  if (*scanner.cursor != c) return false;
  ++scanner.cursor;
  if (scanner.cursor == scanner.end) scanner.atEnd = true;
  return true;
}

// The start of "%d" and "%f": white space skipped, then the sign. False at the end of the data.
inline bool StartNumber(TextScanner& scanner, const char*& digits, bool& negative) {
  if (scanner.atEnd) return false;
  SkipSpace(scanner);
  if (scanner.atEnd) return false;
  digits = scanner.cursor;
  negative = *digits == '-';
  if (*digits == '-' || *digits == '+') ++digits;
  return true;
}

// "%d": an integer, clamped to the int range.
inline bool ReadInt(TextScanner& scanner, int& value) {
  const char* p;
  bool negative;
  if (!StartNumber(scanner, p, negative)) return false;
  if (p == scanner.end || !IsDigit(*p)) return false;
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  long long magnitude = 0;
  uint32_t word = 0;
  int count = scanner.end - p >= 8 ? ReadDigitWord(p, word) : 8;
  if (count < 8) {  // the usual short reference, read in one word
    magnitude = word;
    p += count;
  }
  for (; p != scanner.end && IsDigit(*p); ++p) {
    if (magnitude <= limit) magnitude = magnitude * 10 + (*p - '0');  // stays far below the long long range
  }
  if (magnitude > limit) magnitude = limit;
  scanner.cursor = p;
  if (p == scanner.end) scanner.atEnd = true;
  value = static_cast<int>(negative ? -magnitude : magnitude);
  return true;
}

// "%f": a float, by the rules above.
bool ReadFloat(TextScanner& scanner, float& value);
