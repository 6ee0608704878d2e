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
const long kExponentCap = 100000;
const float kSigns[2] = {1.0f, -1.0f};  // a product with either is exact, -0.0 included: no branch on the sign

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
  if (number.truncated || number.mantissa > kExactMantissaLimit || number.exponent < -10 || number.exponent > 10)
    return false;
  uint32_t mantissa = static_cast<uint32_t>(number.mantissa);
  value = number.exponent < 0 ? ExactDecimalValue(mantissa, static_cast<int>(-number.exponent))
                              : static_cast<float>(mantissa) * kExactPowersOfTen[number.exponent];
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

// The common case, a plain decimal of at most eight significant digits (a mantissa up to 2^24) with no
// exponent, well before the end of the data: the digits before and after the point are joined into one
// word and converted at once. Mantissa and power of ten are exact floats, so the one rounding of the
// division gives the nearest float. False leaves anything else (an exponent, longer digit runs, no digits,
// the last bytes of the data) to ParseDecimal.
inline bool ReadPlainDecimal(const char* p, const char* end, float& magnitude, const char*& numberEnd) {
  if (end - p < 24) return false;  // every load below stays inside the data
  uint64_t word = LoadWord(p);
  int integerDigits = LeadingDigits(word);
  if (integerDigits == 8) return false;
  const char* q = p + integerDigits;
  int fractionDigits = 0;
  if (*q == '.') {
    // The end is found from the digits after the point alone, so that it does not wait on the join.
    uint64_t fraction = LoadWord(q + 1);
    fractionDigits = LeadingDigits(fraction);
    word = JoinDigitWords(word, integerDigits, fraction);
    q += 1 + fractionDigits;
  }
  int digits = integerDigits + fractionDigits;
  // No digits, more than eight (a ninth may follow eight after the point), or an exponent.
  if (digits == 0 || digits > 8 || IsDigit(*q) || *q == 'e' || *q == 'E') return false;
  uint32_t mantissa = LeadingDigitsValue(word, digits);
  if (mantissa > kExactMantissaLimit) return false;
  magnitude = ExactDecimalValue(mantissa, fractionDigits);
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
  value = magnitude * kSigns[negative];
  scanner.cursor = numberEnd;
  if (numberEnd == scanner.end) scanner.atEnd = true;
  return true;
}
