// The bounds-checked C runtime functions: results, what they leave in the destination, and that nothing
// is written past it.
#include <errno.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>

namespace {

class CrtSecureTest : public ::testing::Test {
 protected:
#ifdef _WIN32
  // The CRT's default handler ends the process on a bad parameter; the checks return their error codes
  // once a handler returns.
  static void IgnoreInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t) {}
  void SetUp() override { _set_invalid_parameter_handler(IgnoreInvalidParameter); }
#endif

  // A 4-byte destination followed by guard bytes.
  char buffer_[8] = {'x', 'x', 'x', 'x', 'G', 'G', 'G', 'G'};
  bool GuardIntact() const { return memcmp(buffer_ + 4, "GGGG", 4) == 0; }
};

TEST_F(CrtSecureTest, StrcpyCopiesWhatFitsWithItsTerminator) {
  EXPECT_EQ(strcpy_s(buffer_, 4, "abc"), 0);
  EXPECT_STREQ(buffer_, "abc");
  EXPECT_EQ(strcpy_s(buffer_, 4, ""), 0);
  EXPECT_STREQ(buffer_, "");
  EXPECT_TRUE(GuardIntact());
}

TEST_F(CrtSecureTest, StrcpyRefusesWhatDoesNotFit) {
  EXPECT_EQ(strcpy_s(buffer_, 4, "abcd"), ERANGE);  // the terminator would be the fifth byte
  EXPECT_EQ(buffer_[0], '\0');
  EXPECT_TRUE(GuardIntact());

  memcpy(buffer_, "xxxx", 4);
  EXPECT_EQ(strcpy_s(buffer_, 4, nullptr), EINVAL);
  EXPECT_EQ(buffer_[0], '\0');
  memcpy(buffer_, "xxxx", 4);
  EXPECT_EQ(strcpy_s(buffer_, 0, "a"), EINVAL);
  EXPECT_EQ(buffer_[0], 'x');
  EXPECT_EQ(strcpy_s(nullptr, 4, "a"), EINVAL);
  EXPECT_TRUE(GuardIntact());
}

TEST_F(CrtSecureTest, MemcpyCopiesWithinTheDestinationOnly) {
  EXPECT_EQ(memcpy_s(buffer_, 4, "abcd", 4), 0);
  EXPECT_EQ(memcmp(buffer_, "abcd", 4), 0);
  EXPECT_EQ(memcpy_s(nullptr, 0, nullptr, 0), 0);  // nothing to copy

  EXPECT_EQ(memcpy_s(buffer_, 4, "abcde", 5), ERANGE);
  EXPECT_EQ(memcmp(buffer_, "\0\0\0\0", 4), 0);  // the destination is cleared
  EXPECT_TRUE(GuardIntact());

  memcpy(buffer_, "xxxx", 4);
  EXPECT_EQ(memcpy_s(buffer_, 4, nullptr, 2), EINVAL);
  EXPECT_EQ(memcmp(buffer_, "\0\0\0\0", 4), 0);
  EXPECT_EQ(memcpy_s(nullptr, 4, "ab", 2), EINVAL);
  EXPECT_TRUE(GuardIntact());
}

}  // namespace
