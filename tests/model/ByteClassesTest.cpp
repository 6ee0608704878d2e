// The block classifier both ways (SSE2 where the target has it, word arithmetic everywhere) against a
// byte-by-byte classification: every byte value in every position of the block, and random blocks.
#include <gtest/gtest.h>

#include <stdint.h>

#include "model/ByteClasses.h"

namespace {

ByteClasses ClassifyBytewise(const unsigned char* block) {
  ByteClasses classes = {0, 0, 0, 0, 0, 0};
  for (int i = 0; i < kByteClassBlock; ++i) {
    unsigned char c = block[i];
    uint64_t bit = 1ull << i;
    if (c >= '0' && c <= '9') classes.digit |= bit;
    if (c == ' ' || c == 0 || (c >= '\t' && c <= '\r')) classes.space |= bit;
    if (c == '/') classes.slash |= bit;
    if (c == '.') classes.point |= bit;
    if (c == '-') classes.minus |= bit;
    if (c >= 'f' && c <= 'v') classes.keyword |= bit;
  }
  return classes;
}

void ExpectSameClasses(const unsigned char* block, const char* what) {
  ByteClasses expected = ClassifyBytewise(block);
  const char* bytes = reinterpret_cast<const char*>(block);
  ByteClasses implementations[2] = {ClassifyBlock(bytes), ClassifyBlockPortable(bytes)};
  for (const ByteClasses& got : implementations) {
    EXPECT_EQ(expected.digit, got.digit) << what;
    EXPECT_EQ(expected.space, got.space) << what;
    EXPECT_EQ(expected.slash, got.slash) << what;
    EXPECT_EQ(expected.point, got.point) << what;
    EXPECT_EQ(expected.minus, got.minus) << what;
    EXPECT_EQ(expected.keyword, got.keyword) << what;
  }
}

TEST(ByteClasses, EveryByteValueInEveryPosition) {
  for (int value = 0; value < 256; ++value) {
    for (int position = 0; position < kByteClassBlock; ++position) {
      // Neighbours of other classes on both sides, so that a carry or a shifted bit would show.
      unsigned char block[kByteClassBlock];
      for (int i = 0; i < kByteClassBlock; ++i) block[i] = "7 /.-gA\xff"[i % 8];
      block[position] = static_cast<unsigned char>(value);
      ExpectSameClasses(block, ("value " + std::to_string(value) + " at " + std::to_string(position)).c_str());
      if (HasFailure()) return;
    }
  }
}

TEST(ByteClasses, RandomBlocks) {
  uint64_t state = 99;
  for (int round = 0; round < 20000 && !HasFailure(); ++round) {
    unsigned char block[kByteClassBlock];
    for (unsigned char& byte : block) {
      state = state * 6364136223846793005ull + 1442695040888963407ull;
      byte = static_cast<unsigned char>(state >> 56);
    }
    ExpectSameClasses(block, "random block");
  }
}

}  // namespace
