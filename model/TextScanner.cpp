#include "model/TextScanner.h"

#include <charconv>
#include <math.h>
#include <stdint.h>

namespace {

// The digits of a decimal number: value = mantissa * 10^exponent while all digits fit the mantissa.
struct DecimalNumber {
  const char* end;        // one past the last byte of the number
  uint64_t mantissa;      // the first 19 significant digits
  int significantDigits;  // digits counted into mantissa
  bool truncated;         // digits beyond the 19th were dropped
  long exponent;
};

const int kMaxMantissaDigits = 19;
const float kPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
const uint32_t kIntegerPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
const long kExponentCap = 100000;

// Parses the longest decimal number at p, after its sign; false when no digit stands on either side of
// an optional point.
bool ParseDecimal(const char* p, const char* end, DecimalNumber& number) {
  number.mantissa = 0;
  number.significantDigits = 0;
  number.truncated = false;
  number.exponent = 0;
  bool anyDigit = false;
  bool afterPoint = false;
  for (; p != end; ++p) {
    if (IsDigit(*p)) {
      anyDigit = true;
      int digit = *p - '0';
      if (number.significantDigits < kMaxMantissaDigits) {
        if (number.mantissa != 0 || digit != 0) {
          number.mantissa = number.mantissa * 10 + digit;
          ++number.significantDigits;
        }
        if (afterPoint) --number.exponent;
      } else {
        number.truncated = number.truncated || digit != 0;
        if (!afterPoint) ++number.exponent;
      }
    } else if (*p == '.' && !afterPoint) {
      afterPoint = true;
    } else {
      break;
    }
  }
  if (!anyDigit) return false;
  number.end = p;
  if (p == end || (*p != 'e' && *p != 'E')) return true;
  const char* q = p + 1;
  bool negative = q != end && *q == '-';
  if (q != end && (*q == '-' || *q == '+')) ++q;
  if (q == end || !IsDigit(*q)) return true;  // "1e" or "1e+": the number is "1"
  long explicitExponent = 0;
  for (; q != end && IsDigit(*q); ++q) {
    if (explicitExponent < kExponentCap) explicitExponent = explicitExponent * 10 + (*q - '0');
  }
  number.exponent += negative ? -explicitExponent : explicitExponent;
  number.end = q;
  return true;
}

// Exact when mantissa and power of ten are both exact floats: then one rounding gives the nearest float.
bool ConvertExactly(const DecimalNumber& number, float& value) {
  if (number.truncated || number.mantissa > (1u << 24) || number.exponent < -10 || number.exponent > 10)
    return false;
  float mantissa = static_cast<float>(number.mantissa);
  value = number.exponent < 0 ? mantissa / kPowersOfTen[-number.exponent]
                              : mantissa * kPowersOfTen[number.exponent];
  return true;
}

// The general case, correctly rounded by from_chars; out-of-range magnitudes become infinity or zero.
float ConvertGenerally(const char* text, const DecimalNumber& number) {
  float value = 0.0f;
  std::from_chars_result result = std::from_chars(text, number.end, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    bool overflow = number.exponent + number.significantDigits - 1 >= 0;
    value = overflow ? HUGE_VALF : 0.0f;
  }
  return value;
}

// The run of digits at p, at most limit of them counted: their number and value; limit + 1 when more follow.
inline int ReadDigits(const char* p, const char* end, int limit, uint32_t& value) {
  if (end - p >= 8) {
    int count = ReadDigitWord(p, value);
    return count < 8 ? (count <= limit ? count : limit + 1) : limit + 1;
  }
  value = 0;
  int count = 0;
  for (; p != end && IsDigit(*p); ++p, ++count) {
    if (count == limit) return limit + 1;
    value = value * 10 + (*p - '0');
  }
  return count;
}

// The common case, a plain decimal of at most seven significant digits with no exponent, converted at
// once: mantissa and power of ten are exact floats, so the one rounding of the division gives the nearest
// float. False leaves anything else (an exponent, long mantissas, no digits) to ParseDecimal.
inline bool ReadPlainDecimal(const char* p, const char* end, float& magnitude, const char*& numberEnd) {
  const int kMaxDigits = 7;
  uint32_t mantissa = 0;
  int integerDigits = ReadDigits(p, end, kMaxDigits, mantissa);
  if (integerDigits > kMaxDigits) return false;
  const char* q = p + integerDigits;
  int fractionDigits = 0;
  if (q != end && *q == '.') {
    ++q;
    uint32_t fraction = 0;
    fractionDigits = ReadDigits(q, end, kMaxDigits - integerDigits, fraction);
    if (fractionDigits > kMaxDigits - integerDigits) return false;
    mantissa = mantissa * kIntegerPowersOfTen[fractionDigits] + fraction;
    q += fractionDigits;
  }
  if (integerDigits + fractionDigits == 0) return false;
  if (q != end && (*q == 'e' || *q == 'E')) return false;
  magnitude = static_cast<float>(mantissa) / kPowersOfTen[fractionDigits];
  numberEnd = q;
  return true;
}

}  // namespace

bool ReadFloat(TextScanner& scanner, float& value) {
  const char* p;
  bool negative;
  if (!StartNumber(scanner, p, negative)) return false;
  float magnitude;
  const char* numberEnd;
  if (!ReadPlainDecimal(p, scanner.end, magnitude, numberEnd)) {
    DecimalNumber number;
    if (!ParseDecimal(p, scanner.end, number)) return false;
    if (!ConvertExactly(number, magnitude)) magnitude = ConvertGenerally(p, number);
    numberEnd = number.end;
  }
  value = negative ? -magnitude : magnitude;
  scanner.cursor = numberEnd;
  if (numberEnd == scanner.end) scanner.atEnd = true;
  return true;
}
