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
  TextScanner scanner = {data, data + size, false};
  return scanner;
}

inline bool IsTextSpace(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r') || c == '\0';
}

inline bool IsDigit(char c) {
  return static_cast<unsigned char>(c - '0') < 10;
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
  const char* p = start;
  while (p != scanner.end && !IsTextSpace(static_cast<unsigned char>(*p))) ++p;
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

// "%d": an integer, clamped to the int range.
inline bool ReadInt(TextScanner& scanner, int& value) {
  if (scanner.atEnd) return false;
  SkipSpace(scanner);
  if (scanner.atEnd) return false;
  const char* p = scanner.cursor;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (p == scanner.end || !IsDigit(*p)) return false;
  long long magnitude = 0;
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  for (; p != scanner.end && IsDigit(*p); ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > limit) magnitude = limit;
  }
  scanner.cursor = p;
  if (p == scanner.end) scanner.atEnd = true;
  value = static_cast<int>(negative ? -magnitude : magnitude);
  return true;
}

// "%f": a float, by the rules above.
bool ReadFloat(TextScanner& scanner, float& value);
