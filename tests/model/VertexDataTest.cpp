// The vertex data pass (run alongside CountObjStatements, its lists fitted to the counts) against
// the literal reference and strtof. Statements whose numbers are plain decimals followed by white space,
// well before the end of the data, are read from the byte classes of a 64-byte block; everything else by
// the scanner. The cases put statements on both sides of that line: every number form near the limits of
// the block reader, white space of every kind, statements across a block's end, numbers that are missing,
// and data that ends right after a statement.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "LiteralReaders.h"
#include "model/ObjReader.h"

namespace {

struct VertexData {
  std::vector<D3DXVECTOR3> positions;
  std::vector<D3DXVECTOR3> normals;
  std::vector<D3DXVECTOR2> texcoords;
};

void NoLibrary(void*, const char*) {}

// The fast reader over a copy of exactly the model's size, so that a read past the data is a sanitizer
// finding: the data pass started before the counting pass, on a thread of its own, as LoadMesh runs it.
VertexData ReadFast(const std::string& model) {
  std::unique_ptr<char[]> bytes(new char[model.size()]);
  memcpy(bytes.get(), model.data(), model.size());
  VertexData data;
  VertexDataJob* job = StartVertexData(bytes.get(), model.size());
  ObjCounts counts;
  if (!CountObjStatements(bytes.get(), model.size(), NoLibrary, nullptr, counts)) {
    CancelVertexData(job);
    ADD_FAILURE() << "counting failed";
    return data;
  }
  ObjVertexLists lists;
  if (!FinishVertexData(job, bytes.get(), model.size(), CountedVertices(counts), lists)) {
    ADD_FAILURE() << "out of memory";
    FreeObjCounts(counts);
    return data;
  }
  data.positions.assign(lists.positions, lists.positions + lists.positionCount);
  data.normals.assign(lists.normals, lists.normals + lists.normalCount);
  data.texcoords.assign(lists.texcoords, lists.texcoords + lists.texcoordCount);
  FreeObjVertexLists(lists);
  FreeObjCounts(counts);
  return data;
}

// The model followed by more than a block of data and by faces that name every list entry under a
// textured material, so that the reference's face vertices show each entry. The model must hold no
// "mtllib" or "usemtl".
std::string WithFaces(const std::string& model, size_t entries) {
  std::string text = model + "\n# " + std::string(80, 'x') + "\nmtllib lib.mtl\nusemtl m\n";
  for (size_t i = 1; i <= entries; ++i) {
    std::string corner = std::to_string(i) + "/" + std::to_string(i) + "/" + std::to_string(i);
    text += "f " + corner + " " + corner + " " + corner + "\n";
  }
  return text;
}

// The reference's lists, of the sizes given, read off the face vertices of WithFaces(model).
VertexData ReadReference(const std::string& model, const VertexData& sizes) {
  size_t entries = std::max(sizes.positions.size(), std::max(sizes.normals.size(), sizes.texcoords.size()));
  literal::FileTable table;
  table.files["model.obj"] = WithFaces(model, entries);
  table.files["lib.mtl"] = "newmtl m\nmap_Kd t.bmp\n";
  table.textures["t.bmp"] = true;
  literal::MeshRecord mesh;
  literal::LoadMesh(table, "model.obj", mesh);
  VertexData data = sizes;
  if (mesh.vertices.size() < 3 * entries) {
    ADD_FAILURE() << "the reference placed " << mesh.vertices.size() / 3 << " of " << entries << " faces";
    return data;
  }
  for (size_t i = 0; i < data.positions.size(); ++i) data.positions[i] = mesh.vertices[3 * i].position;
  for (size_t i = 0; i < data.normals.size(); ++i) data.normals[i] = mesh.vertices[3 * i].normal;
  for (size_t i = 0; i < data.texcoords.size(); ++i) data.texcoords[i] = mesh.vertices[3 * i].texcoord;
  return data;
}

template <typename T>
std::string Describe(const std::vector<T>& list, size_t i) {
  const float* f = reinterpret_cast<const float*>(&list[i]);
  std::string text;
  for (size_t c = 0; c < sizeof(T) / sizeof(float); ++c) {
    char part[32];
    snprintf(part, sizeof part, "%s%a", c == 0 ? "" : " ", f[c]);
    text += part;
  }
  return text;
}

// Bit for bit, so that -0.0 and 0.0 differ.
template <typename T>
::testing::AssertionResult SameList(const char* name, const std::vector<T>& expected, const std::vector<T>& actual) {
  if (expected.size() != actual.size())
    return ::testing::AssertionFailure() << name << ": " << actual.size() << " entries, expected " << expected.size();
  for (size_t i = 0; i < expected.size(); ++i) {
    if (memcmp(&expected[i], &actual[i], sizeof(T)) != 0)
      return ::testing::AssertionFailure() << name << "[" << i << "] is " << Describe(actual, i) << ", expected "
                                           << Describe(expected, i);
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult SameData(const VertexData& expected, const VertexData& actual) {
  ::testing::AssertionResult result = SameList("positions", expected.positions, actual.positions);
  if (result) result = SameList("normals", expected.normals, actual.normals);
  if (result) result = SameList("texcoords", expected.texcoords, actual.texcoords);
  return result;
}

// The model read alone, with more than a block of data after it, and at the end of the data, against the
// reference.
VertexData ExpectLikeReference(const std::string& model) {
  SCOPED_TRACE("model:\n" + model);
  VertexData alone = ReadFast(model);
  VertexData padded = ReadFast(WithFaces(model, 0));
  VertexData expected = ReadReference(model, alone);
  EXPECT_TRUE(SameData(expected, alone));
  EXPECT_TRUE(SameData(expected, padded));
  return alone;
}

D3DXVECTOR3 Position(float x, float y, float z) { return D3DXVECTOR3(-x, y, z); }

::testing::AssertionResult SameVector(const D3DXVECTOR3& expected, const D3DXVECTOR3& actual) {
  if (memcmp(&expected, &actual, sizeof expected) == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << actual.x << ", " << actual.y << ", " << actual.z << "), expected ("
                                       << expected.x << ", " << expected.y << ", " << expected.z << ")";
}

// Numbers the block reader takes when white space follows them: up to eight digits, the point anywhere,
// fewer than eight digits on either side of it.
const char* const kPlainNumbers[] = {
    "0", "7", "-3", "0.5", "-0.25", ".5", "-.5", "5.", "-5.", "0.00261", "-0.08243", "1.000000", "-1.000000",
    "12.345678", "-12.345678", "1234.5678", "1234567.8", "1234567", "-1234567", "0.1234567", ".1234567",
    "1677721.6", "16777.216", "167772.16", "0.0000001", "0000000.5", "-0.0", "-0", "-.0", "0.", "9999999.",
    "9.999999", "3.1415926", "100", "0.1"};
// Numbers just past those limits, or of other forms, which the scanner reads.
const char* const kOtherNumbers[] = {
    "16777216", "16777217", "16777.217", "1677721.7", "0.16777217", "12345678", "99999999", "123456789",
    "0.12345678", ".12345678", "00000000.5", "0.00000001", "1234567.89", "123456789.123456789", "+1.5", "+0",
    "+.5", "1e5", "2.5E-1", "-7e-3", "1e", "1e+", "3.4028236e38", "1e-50", "-1e39", "1.2.3", "--1", "-", ".",
    "-.", "nan", "inf", "0x10", "1.0vn", "2vt", "3v", "4f", "5evt", "6.5#"};

TEST(VertexData, EveryNumberFormAsEachComponent) {
  std::vector<std::string> numbers(std::begin(kPlainNumbers), std::end(kPlainNumbers));
  numbers.insert(numbers.end(), std::begin(kOtherNumbers), std::end(kOtherNumbers));
  for (const std::string& number : numbers) {
    // The number as x, y and z of positions and normals and as u and v of texcoords, between plain ones.
    std::string model = "v " + number + " 0.5 0.25\nv 0.5 " + number + " 0.25\nv 0.5 0.25 " + number + "\n" +
                        "vn " + number + " -0.5 0.25\nvn -0.5 " + number + " 0.25\nvn -0.5 0.25 " + number + "\n" +
                        "vt " + number + " 0.75\nvt 0.75 " + number + "\nv 1.5 2.5 3.5\n";
    ExpectLikeReference(model);
  }
}

// Tokens that start like a vertex keyword but are none: their numbers are read by no statement.
TEST(VertexData, OnlyWholeKeywordsStartStatements) {
  VertexData data = ExpectLikeReference(
      "v 1.5 2.5 3.5\nvp 4.5 5.5 6.5\nvnx 7.5 8.5 9.5\nv1 2.5 3.5 4.5\nV 5.5 6.5 7.5\n-v 8.5 9.5 1.5\nvv 1 2 3\n"
      "vtt 3 4\nxv 5 6 7\nvn 0.5 0.25 0.125\nvt 0.75 0.5\n");
  ASSERT_EQ(1u, data.positions.size());
  ASSERT_EQ(1u, data.normals.size());
  ASSERT_EQ(1u, data.texcoords.size());
  EXPECT_TRUE(SameVector(Position(1.5f, 2.5f, 3.5f), data.positions[0]));
  EXPECT_TRUE(SameVector(Position(0.5f, 0.25f, 0.125f), data.normals[0]));
  EXPECT_EQ(0.75f, data.texcoords[0].x);
  EXPECT_EQ(0.5f, data.texcoords[0].y);
}

TEST(VertexData, PlainNumbersHaveTheirNearestFloats) {
  for (const char* number : kPlainNumbers) {
    std::string model = std::string("v ") + number + " " + number + " " + number + "\nvt " + number + " " + number +
                        "\n# " + std::string(80, 'x') + "\n";
    VertexData data = ExpectLikeReference(model);
    float value = strtof(number, nullptr);
    ASSERT_EQ(1u, data.positions.size());
    ASSERT_EQ(1u, data.texcoords.size());
    EXPECT_TRUE(SameVector(Position(value, value, value), data.positions[0])) << number;
    float u = data.texcoords[0].x, v = data.texcoords[0].y;
    EXPECT_EQ(0, memcmp(&value, &u, sizeof value)) << number;
    EXPECT_EQ(1.0f - value, v) << number;
  }
}

// Every digit count from 1 to 9 with the point at every place, with and without a sign.
TEST(VertexData, DigitRunsAroundEightDigits) {
  const char kDigits[] = "738194652";
  std::string model;
  for (int digits = 1; digits <= 9; ++digits) {
    for (int point = 0; point <= digits + 1; ++point) {
      std::string number(kDigits, digits);
      if (point <= digits) number.insert(point, ".");
      model += "v " + number + " -" + number + " " + number + "\nvt -" + number + " " + number + "\n";
    }
  }
  ExpectLikeReference(model);
}

TEST(VertexData, WhiteSpaceOfEveryKind) {
  const std::string kSpaces[] = {" ", "\t", "\r", "\v", "\f", std::string(1, '\0'), "\r\n", "  \t ", "\n\n"};
  for (const std::string& space : kSpaces) {
    std::string model = "v" + space + "1.5" + space + "-2.25" + space + "3.125" + space + "vn" + space + "0.5" +
                        space + "0.25" + space + "-1" + space + "vt" + space + "0.125" + space + "0.625" + space +
                        "v 4.5 5.5 6.5" + space;
    SCOPED_TRACE("white space " + std::to_string(static_cast<unsigned char>(space[0])));
    VertexData data = ExpectLikeReference(model);
    ASSERT_EQ(2u, data.positions.size());
    EXPECT_TRUE(SameVector(Position(1.5f, -2.25f, 3.125f), data.positions[0]));
    EXPECT_TRUE(SameVector(Position(4.5f, 5.5f, 6.5f), data.positions[1]));
    ASSERT_EQ(1u, data.normals.size());
    EXPECT_TRUE(SameVector(Position(0.5f, 0.25f, -1.0f), data.normals[0]));
  }
}

// A comment of every length before the statements puts each of them across a 64-byte block's end at
// every byte.
TEST(VertexData, StatementsAcrossTheBlockEnd) {
  const std::string kStatements =
      "v -0.12345 1.00000 0.54321\nvn 0.70711 -0.70711 0.00000\nvt 0.12500 0.87500\n"
      "v 12.5 -3.25 0.0625\nv 1.0vn 2 3\nvt 0.5 +0.5\nv 7 8 9\n";
  for (int filler = 0; filler < 2 * 64; ++filler) {
    SCOPED_TRACE("filler " + std::to_string(filler));
    ExpectLikeReference("#" + std::string(filler, 'c') + "\n" + kStatements + kStatements);
  }
}

TEST(VertexData, MissingNumbersKeepTheSharedFloats) {
  // One set of three floats for all statements: a number not read keeps the last value read into it,
  // whichever statement read it, and "vt" never sets the third.
  VertexData data = ExpectLikeReference(
      "v 1.5 2.5 3.5\nvn 7.25\nvt\nv -4.5\nvt 0.75 0.25\nvn 0.5 -0.5\nv x 1 2\nvt 9.5 nan\nv 1 2 3vt 6.5 7.5\n"
      "vn 8.5\n");
  ASSERT_EQ(4u, data.positions.size());
  ASSERT_EQ(3u, data.normals.size());
  EXPECT_TRUE(SameVector(Position(7.25f, 2.5f, 3.5f), data.normals[0]));
  EXPECT_TRUE(SameVector(Position(-4.5f, 2.5f, 3.5f), data.positions[1]));
  EXPECT_TRUE(SameVector(Position(0.5f, -0.5f, 3.5f), data.normals[1]));
  EXPECT_TRUE(SameVector(Position(0.5f, -0.5f, 3.5f), data.positions[2]));  // "x" is no number
  EXPECT_TRUE(SameVector(Position(1.0f, 2.0f, 3.0f), data.positions[3]));
  // "3vt 6.5 7.5": the texcoord the counting pass did not see is dropped, but its numbers are read.
  EXPECT_TRUE(SameVector(Position(8.5f, 7.5f, 3.0f), data.normals[2]));
}

TEST(VertexData, DataEndingRightAfterAStatement) {
  const char* const kLast[] = {"v 1.5 -2.5 3.5", "vn -0.25 1 0.125", "vt 0.5 0.25", "v 1.5 2.5", "vt 0.5",
                               "v 1.5 -2.5 3.5\n", "vt 0.5 0.25\t", "v 1.5 -2.5 3.", "v 1.5 -2.5 .5"};
  for (const char* last : kLast) {
    // Sizes on both sides of the block and its room.
    for (int filler = 40; filler < 100; ++filler) {
      SCOPED_TRACE("filler " + std::to_string(filler));
      ExpectLikeReference("v 0.5 0.5 0.5\nvn 0.5 0.5 0.5\nvt 0.5 0.5\n#" + std::string(filler, 'c') + "\n" + last);
    }
  }
}

// Models made mostly of vertex statements with numbers of every form, random white space, glued and
// missing numbers and other statements between them.
std::string RandomNumber(std::mt19937& random) {
  auto below = [&random](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  char text[64];
  switch (below(6)) {
    case 0: {
      double value = std::uniform_real_distribution<double>(-1000, 1000)(random);
      snprintf(text, sizeof text, "%.*f", below(9), value / (below(3) == 0 ? 1000 : 1));
      return text;
    }
    case 1: {
      std::string digits;
      for (int i = below(11); i > 0; --i) digits += static_cast<char>('0' + below(10));
      if (below(3) != 0) digits.insert(static_cast<size_t>(below(static_cast<int>(digits.size()) + 1)), ".");
      return (below(4) == 0 ? "-" : below(10) == 0 ? "+" : "") + digits;
    }
    case 2:
      return below(2) ? kPlainNumbers[below(sizeof kPlainNumbers / sizeof *kPlainNumbers)]
                      : kOtherNumbers[below(sizeof kOtherNumbers / sizeof *kOtherNumbers)];
    case 3:
      snprintf(text, sizeof text, "%d", below(200001) - 100000);
      return text;
    default:
      snprintf(text, sizeof text, "%.6f", std::uniform_real_distribution<double>(-20, 20)(random));
      return text;
  }
}

std::string RandomVertexModel(std::mt19937& random) {
  auto below = [&random](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  const std::string kSpaces[] = {" ", " ", " ", "  ", "\t", std::string(1, '\0'), "\v", "\f", "\r", ""};
  const std::string kEnds[] = {"\n", "\n", "\r\n", " \n", "\n\n", std::string(1, '\0'), " "};
  const char* const kKeywords[] = {"v", "v", "vn", "vt", "vp", "v1", "vnx", "f", "#", "g", "-v", "V"};
  std::string model;
  for (int statements = 1 + below(40); statements > 0; --statements) {
    std::string keyword = kKeywords[below(sizeof kKeywords / sizeof *kKeywords)];
    int numbers = keyword == "vt" ? 2 : 3;
    if (below(8) == 0) numbers = below(5);
    model += keyword;
    for (int i = 0; i < numbers; ++i) model += (below(4) == 0 ? kSpaces[below(10)] : " ") + RandomNumber(random);
    if (keyword == "f") model += " 1/2/3 4/5/6 7/8/9";
    model += kEnds[below(7)];
  }
  return model;
}

TEST(VertexData, RandomVertexStatements) {
  std::mt19937 random(6051);
  for (int round = 0; round < 1500; ++round) {
    ExpectLikeReference(RandomVertexModel(random));
    if (::testing::Test::HasFailure()) return;
  }
}

}  // namespace
