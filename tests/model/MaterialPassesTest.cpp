// The face passes where they do not read what today's statement loop reads (they go from one selection of
// their material to the next, and place again what an earlier pass with the same name, form and flag
// read), against the literal reference, which reads everything: on one thread and split from the first
// face on. And the table of names the passes group selections by.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "FacePasses.h"
#include "LiteralReaders.h"
#include "ReaderComparison.h"
#include "model/NameTable.h"

namespace {

const FacePlacementOptions kSplitAlways = {1};

std::string Lists() {
  std::string text;
  for (int i = 1; i <= 9; ++i) {
    std::string n = std::to_string(i);
    text += "v " + n + " 0.5 -" + n + "\nvt " + n + " 0.25\nvn " + n + " 1 0\n";
  }
  return text;
}

// A face in the form "p/t/n" and one in "p//n", which each reads in part in the other form.
std::string Textured(int i) {
  std::string n = std::to_string(i);
  return "f " + n + "/" + n + "/" + n + " 2/3/4 5/6/7\n";
}
std::string Plain(int i) {
  std::string n = std::to_string(i);
  return "f " + n + "//" + n + " 2//3 4//5\n";
}

// More than 4 KB without a face or "usemtl": a stretch the passes jump over.
std::string Padding() {
  std::string text;
  for (int i = 0; i < 700; ++i) text += "s off\n";
  return text;
}

struct PassCase {
  const char* what;
  std::string library;
  std::string model;  // after "mtllib lib.mtl" and the vertex lists
};

// Empty when the fast passes agree with the reference, on one thread and split.
std::string Compare(const PassCase& c) {
  literal::FileTable table;
  table.files["lib.mtl"] = c.library;
  table.files["model.obj"] = "mtllib lib.mtl\n" + Lists() + c.model;
  table.textures["t.bmp"] = true;
  std::string one = CompareModel(table, "model.obj");
  std::string two = CompareModel(table, "model.obj", kSplitAlways);
  return one.empty() && two.empty() ? "" : "one thread: " + one + ", split: " + two;
}

TEST(MaterialPasses, AsTheReferenceWhereSelectionsAreSkipped) {
  const std::string a = "usemtl a\n", b = "usemtl b\n";
  const std::string kAB = "newmtl a\nnewmtl b\nmap_Kd t.bmp\n";
  const std::string longName(99, 'n');  // the longest a library keeps
  const PassCase kCases[] = {
      {"runs of two materials", kAB, a + Plain(1) + b + Textured(2) + a + Plain(3) + b + Textured(4) + Plain(5)},
      {"unknown names between", kAB, "usemtl c\n" + Plain(1) + a + Plain(2) + "usemtl c\n" + Plain(3) + b +
                                         Textured(4) + "usemtl A\n" + Textured(5)},
      {"a selection named usemtl", "newmtl usemtl\nnewmtl a\n",
       "usemtl usemtl\n" + Plain(1) + a + Plain(2) + "usemtl usemtl\n" + Plain(3)},
      {"runs of selections each the name of the one before", "newmtl usemtl\nnewmtl a\nnewmtl b\n",
       "usemtl usemtl a\n" + Plain(1) + "usemtl usemtl usemtl a\n" + Plain(2) + "usemtl usemtl usemtl usemtl b\n" +
           Plain(3) + "usemtl usemtl usemtl usemtl usemtl a\n" + Plain(4) + b + Plain(5)},
      {"the same runs read from inside", "newmtl a\nnewmtl usemtl\nnewmtl b\n",
       a + Plain(1) + "f 1//1 2//2 3//3usemtl usemtl usemtl b\n" + Plain(2) + b + Plain(3) + "usemtl usemtl a\n" +
           Plain(4)},
      {"a usemtl glued to a face", kAB, a + "f 1//1 2//2 3//3usemtl b\n" + Textured(1) + b + Textured(2) + a +
                                            "f 4//4 5//5 6//6usemtl a\n" + Plain(3)},
      {"names cut to the token buffer", "newmtl " + longName + "\nnewmtl " + longName + "x\nnewmtl b\n",
       "usemtl " + longName + "\n" + Plain(1) + "usemtl " + longName + "x\n" + Plain(2) + "usemtl " +
           std::string(250, 'n') + "\n" + Plain(3) + "usemtl " + std::string(199, 'n') + "\n" + Plain(4) + b +
           Plain(5)},
      {"a material named f", "newmtl f\nnewmtl a\n", "usemtl f 1//1 2//2 3//3\n" + a + Plain(2) + "usemtl f\n" +
                                                         Plain(3)},
      {"usemtl at the end", kAB + "newmtl usemtl\n", a + Plain(1) + "usemtl"},
      {"usemtl and spaces at the end", kAB + "newmtl usemtl\n", a + Plain(1) + b + Textured(2) + "usemtl  \n"},
      {"faces before the first usemtl", kAB, Plain(1) + Textured(2) + a + Plain(3) + b + Textured(4)},
      {"long face-free stretches", kAB, a + Padding() + Plain(1) + Padding() + b + Padding() + Textured(2) +
                                            Padding() + a + Plain(3) + Padding()},
  };
  for (const PassCase& c : kCases) EXPECT_EQ("", Compare(c)) << c.what;
}

TEST(MaterialPasses, AsTheReferenceWherePassesRepeatAnEarlierOne) {
  const std::string a = "usemtl a\n", b = "usemtl b\n";
  // a three times in both forms: the later passes of a form place again what the first one read, from the
  // flag each starts with; the flag the last "usemtl" leaves on carries the faces before the first one
  // into the pass after each a.
  const std::string kRepeated = "newmtl a\nnewmtl b\nnewmtl a\nnewmtl c\nnewmtl a\nmap_Kd t.bmp\nnewmtl a\n"
                                "newmtl d\nnewmtl a\nmap_Kd t.bmp\nnewmtl e\n";
  const PassCase kCases[] = {
      {"runs of a repeated material", kRepeated, a + Plain(1) + b + Plain(2) + a + Textured(3) + a + Plain(4)},
      {"faces before the first usemtl, carried by the last", kRepeated,
       Plain(1) + Textured(2) + "s 1\n" + b + Plain(3) + a + Plain(4) + Textured(5)},
      {"the same before a glued usemtl", kRepeated,
       Plain(1) + "f 1//1 2//2 3//3usemtl c\n" + Plain(2) + b + Plain(3) + a + Plain(4)},
      {"nothing but faces, no usemtl", kRepeated, Plain(1) + Textured(2) + Plain(3)},
      {"faces of a only before the end", kRepeated, b + Plain(1) + a + Padding() + Plain(2)},
      {"no faces for a", kRepeated, Plain(1) + a + "s 1\n" + b + Plain(2) + a},
      {"more faces than slots", kRepeated, Plain(1) + a + Plain(2) + Textured(3) + "9f 1//1 2//2 3//3\n" + Plain(4)},
  };
  for (const PassCase& c : kCases) EXPECT_EQ("", Compare(c)) << c.what;
}

// Random runs over a library of few names, each named many times in both forms.
TEST(MaterialPasses, AsTheReferenceOnRandomRunsOfRepeatedNames) {
  std::mt19937 random(7);
  const char* const kNames[] = {"a", "b", "c", "usemtl", "f"};
  for (int round = 0; round < 300; ++round) {
    PassCase c = {"random", "", ""};
    for (int i = 0, count = 1 + random() % 12; i < count; ++i) {
      c.library += std::string("newmtl ") + kNames[random() % 5] + "\n" + (random() % 2 ? "map_Kd t.bmp\n" : "");
    }
    for (int i = 0, count = random() % 16; i < count; ++i) {
      if (random() % 3 == 0) c.model += std::string("usemtl ") + kNames[random() % 5] + (random() % 4 ? "\n" : " ");
      c.model += random() % 2 ? Plain(1 + random() % 9) : Textured(1 + random() % 9);
      if (random() % 10 == 0) c.model += Padding();
    }
    ASSERT_EQ("", Compare(c)) << "library:\n" << c.library << "model:\n" << c.model;
  }
}

Token NameOfEntry(const void* context, size_t value) {
  const std::string& name = (*static_cast<const std::vector<std::string>*>(context))[value];
  Token token = {name.data(), name.size()};
  return token;
}

// Names that differ only in their length or their last byte, far more than the table first has room for.
TEST(NameTable, FindsWhatWasAddedUnderItsValueAndNothingElse) {
  std::vector<std::string> names;
  for (int length = 0; length < 40; ++length) {
    for (int last = 0; last < 50; ++last) names.push_back(std::string(length, 'x') + static_cast<char>('0' + last));
  }
  NameTable table = {};
  ASSERT_TRUE(CreateNameTable(table, 4, NameOfEntry, &names));
  for (size_t i = 0; i < names.size(); i += 2) {
    Token name = {names[i].data(), names[i].size()};
    NamePlace place;
    ASSERT_EQ(kNoName, FindName(table, name, place));
    ASSERT_TRUE(AddName(table, place, i));
  }
  for (size_t i = 0; i < names.size(); ++i) {
    std::string copy = names[i];  // found by its bytes, not by where they lie
    Token name = {copy.data(), copy.size()};
    NamePlace place;
    EXPECT_EQ(i % 2 == 0 ? i : kNoName, FindName(table, name, place)) << copy;
  }
  FreeNameTable(table);
}

}  // namespace
