// The scanner's reading rules, which every pass of both loaders relies on: where a number stops, which
// texts are numbers, rounding and range, integer clamping, token cutting and the end flag.
#include <gtest/gtest.h>

#include <limits.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "model/TextScanner.h"

namespace {

std::string NextToken(TextScanner& scanner) {
  Token token = {"", 0};
  if (!ReadToken(scanner, 200, token)) return "<none>";
  return std::string(token.text, token.length);
}

float FloatOf(const std::string& text) {
  TextScanner scanner = ScanText(text.data(), text.size());
  float value = -12345.0f;
  EXPECT_TRUE(ReadFloat(scanner, value)) << text;
  return value;
}

TEST(NumberEnd, KeywordAfterTheNumbersIsReadWhole) {
  // A short colour: the third read fails at the keyword, which the next token read still sees whole.
  std::string text = "1 1\nnewmtl next";
  TextScanner scanner = ScanText(text.data(), text.size());
  float r = 0, g = 0, b = 7;
  EXPECT_TRUE(ReadFloat(scanner, r));
  EXPECT_TRUE(ReadFloat(scanner, g));
  EXPECT_FALSE(ReadFloat(scanner, b));
  EXPECT_EQ(7.0f, b);
  EXPECT_EQ("newmtl", NextToken(scanner));
  EXPECT_EQ("next", NextToken(scanner));
}

TEST(NumberEnd, StopsAtTheFirstByteThatCannotContinueIt) {
  struct Case {
    const char* text;
    float value;
    const char* rest;
  } cases[] = {{"3evt 2", 3.0f, "evt"},   {"1e5x", 1e5f, "x"},   {"1e+ 2", 1.0f, "e+"}, {"2.5E-1vn", 0.25f, "vn"},
               {"7f", 7.0f, "f"},         {"5.", 5.0f, "<none>"}, {"+.5/", 0.5f, "/"},   {"-0.25-1", -0.25f, "-1"},
               {"1.2.3", 1.2f, ".3"},     {"0x10", 0.0f, "x10"},  {"12newmtl", 12.0f, "newmtl"}};
  for (const Case& c : cases) {
    std::string text = c.text;
    TextScanner scanner = ScanText(text.data(), text.size());
    float value = 0;
    ASSERT_TRUE(ReadFloat(scanner, value)) << c.text;
    EXPECT_EQ(c.value, value) << c.text;
    EXPECT_EQ(c.rest, NextToken(scanner)) << c.text;
  }
}

TEST(NumberEnd, TextThatIsNoNumberIsNotConsumed) {
  for (const char* text : {"-x", "inf", "nan", ".", "-", "+-1", "e5", "/2"}) {
    std::string data = text;
    TextScanner scanner = ScanText(data.data(), data.size());
    float value = 3.0f;
    EXPECT_FALSE(ReadFloat(scanner, value)) << text;
    EXPECT_EQ(3.0f, value) << text;
    EXPECT_EQ(text, NextToken(scanner));
  }
}

TEST(NumberValue, RoundsToNearestLikeStrtof) {
  for (const char* text : {"0.1", "16777217", "0.1000000000000000055511151231257827", "3.4028235e38",
                           "1.17549435e-38", "1e-40", "123456789.123456789", "9.999999", "0.3333333333", "-7e-3"}) {
    float expected = strtof(text, NULL);
    EXPECT_EQ(expected, FloatOf(text)) << text;
  }
}

// Followed by enough data for the eight-byte reads of the usual case, up to eight digits with the point
// anywhere, and the runs just past what one word holds.
TEST(NumberValue, PlainDecimalsWithRoomAfterThemRoundLikeStrtof) {
  for (const char* text : {"0.00261", "-0.08243", "1.000000", "0.1234567", ".12345678", "1.2345678", "1234.5678",
                           "1234567.8", "12345678", "16777216", "16777217", "16777.217", "9999.9999", "123456789",
                           "12345678.9", "1234567.89", "0.123456789", ".123456789", "5.", ".5", "00000000.5",
                           "0.000000001", ".000000001"}) {
    std::string data = std::string(text) + " v 1 2 3 4 5 6 7 8 9 10 11 12";
    TextScanner scanner = ScanText(data.data(), data.size());
    float value = 0.0f;
    ASSERT_TRUE(ReadFloat(scanner, value)) << text;
    EXPECT_EQ(strtof(text, NULL), value) << text;
    EXPECT_EQ(data.data() + strlen(text), scanner.cursor) << text;
  }
}

// A sign before any number of the kinds above: '-' negates the value exactly, -0.0 included, '+' keeps it.
TEST(NumberValue, SignsNegateExactly) {
  for (const char* text : {"0", "0.0", ".0", "0.", "00000000.0", "0.5", "1234.5678", "16777217", "123456789",
                           "0.1e1", "1e-50", "1e39", "2.5E-1", "7"}) {
    for (const std::string& after : {std::string(), std::string(" v 1 2 3 4 5 6 7 8 9 10 11 12 13 14")}) {
      float magnitude = strtof(text, nullptr);
      float negated = -magnitude;
      float read = FloatOf(std::string("-") + text + after);
      EXPECT_EQ(0, memcmp(&negated, &read, sizeof read)) << text << " read as " << read;
      read = FloatOf(std::string("+") + text + after);
      EXPECT_EQ(0, memcmp(&magnitude, &read, sizeof read)) << text << " read as " << read;
    }
  }
}

TEST(NumberValue, OutOfRangeBecomesInfinityOrZero) {
  EXPECT_EQ(HUGE_VALF, FloatOf("1e39"));
  EXPECT_EQ(-HUGE_VALF, FloatOf("-3.4028236e38"));
  EXPECT_EQ(0.0f, FloatOf("1e-50"));
  EXPECT_TRUE(signbit(FloatOf("-1e-50")));
  EXPECT_EQ(HUGE_VALF, FloatOf("1e999999999999"));
}

TEST(Integers, ClampToTheIntRangeAndStopAtTheSlash) {
  struct Case {
    const char* text;
    int value;
  } cases[] = {{"99999999999", INT_MAX}, {"-99999999999", INT_MIN}, {"2147483648", INT_MAX},
               {"-2147483648", INT_MIN}, {"+12/", 12},              {"007//", 7}};
  for (const Case& c : cases) {
    std::string text = c.text;
    TextScanner scanner = ScanText(text.data(), text.size());
    int value = 0;
    ASSERT_TRUE(ReadInt(scanner, value)) << c.text;
    EXPECT_EQ(c.value, value) << c.text;
  }
  std::string text = "12/x";
  TextScanner scanner = ScanText(text.data(), text.size());
  int value = 0;
  EXPECT_TRUE(ReadInt(scanner, value));
  EXPECT_TRUE(ReadChar(scanner, '/'));
  EXPECT_FALSE(ReadInt(scanner, value));
  EXPECT_FALSE(ReadChar(scanner, '/'));
  EXPECT_EQ("x", NextToken(scanner));
}

// Digit runs are found eight bytes at a time: every byte value that is no digit must end one, those next
// to '0' and '9' and those with the high bit set included, and a digit after it must not be joined to it.
TEST(Integers, EveryNonDigitByteEndsTheRun) {
  for (int c = 0; c < 256; ++c) {
    if (c >= '0' && c <= '9') continue;
    std::string text = std::string("12") + static_cast<char>(c) + "4 567890123 ";
    TextScanner scanner = ScanText(text.data(), text.size());
    int integer = 0;
    ASSERT_TRUE(ReadInt(scanner, integer)) << c;
    EXPECT_EQ(12, integer) << c;
    EXPECT_EQ(text.data() + 2, scanner.cursor) << c;
    text = std::string("3.5") + static_cast<char>(c) + "7 777777777777 ";
    scanner = ScanText(text.data(), text.size());
    float number = 0.0f;
    ASSERT_TRUE(ReadFloat(scanner, number)) << c;
    EXPECT_EQ(c == 'e' || c == 'E' ? 3.5e7f : 3.5f, number) << c;
  }
}

TEST(Tokens, NulAndCarriageReturnSeparateTokens) {
  std::string text("v\r\nvt\0x\t\vf", 10);
  TextScanner scanner = ScanText(text.data(), text.size());
  EXPECT_EQ("v", NextToken(scanner));
  EXPECT_EQ("vt", NextToken(scanner));
  EXPECT_EQ("x", NextToken(scanner));
  EXPECT_EQ("f", NextToken(scanner));
  EXPECT_EQ("<none>", NextToken(scanner));
}

TEST(Tokens, OverLongTokenIsCutAndItsRestDropped) {
  std::string text = std::string(150, 'a') + " next";
  TextScanner scanner = ScanText(text.data(), text.size());
  Token token = {"", 0};
  ASSERT_TRUE(ReadToken(scanner, 100, token));
  EXPECT_EQ(99u, token.length);
  EXPECT_EQ("next", NextToken(scanner));
}

TEST(EndFlag, SetByTheReadThatArrivesAtTheEndAndThenReadsFail) {
  std::string text = "1 2";
  TextScanner scanner = ScanText(text.data(), text.size());
  float value = 0;
  EXPECT_TRUE(ReadFloat(scanner, value));
  EXPECT_FALSE(scanner.atEnd);
  EXPECT_TRUE(ReadFloat(scanner, value));
  EXPECT_TRUE(scanner.atEnd);
  EXPECT_FALSE(ReadFloat(scanner, value));

  std::string spaces = "tok  \n";
  TextScanner tail = ScanText(spaces.data(), spaces.size());
  Token token = {"", 0};
  EXPECT_TRUE(ReadTokenAndSpace(tail, 100, token));
  EXPECT_TRUE(tail.atEnd);
  EXPECT_FALSE(ReadTokenAndSpace(tail, 100, token));
  EXPECT_EQ(3u, token.length);  // a failed read leaves the buffer as it was
}

}  // namespace
