// The face passes' block read, which takes a whole face statement from the byte classes of the 64 bytes
// at its first reference, against the literal reference: statements with enough data after them for the
// block read to be tried, near misses of its form on every side, statements across the block's end and
// at the end of the data. Its word arithmetic, which SSE2 builds never run, is compared with the build's
// own.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "FacePasses.h"
#include "LiteralReaders.h"
#include "RandomModels.h"
#include "ReaderComparison.h"
#include "model/FaceBlockRead.h"
#include "model/ObjReader.h"

namespace {

// T and U take "p/t/n" faces, P "p//n" faces; their passes run in this order.
const char* const kLibrary = "newmtl T\nmap_Kd t.bmp\nnewmtl P\nnewmtl U\nmap_Kd t.bmp\n";
const int kListSize = 12;

// Entry i (from 1) of each list holds i in its first component, so that each vertex shows which
// references it took.
std::string Lists() {
  std::string text;
  for (int i = 1; i <= kListSize; ++i) {
    std::string n = std::to_string(i);
    text += "v " + n + " 0.5 -" + n + "\nvt " + n + " 0.25\nvn " + n + " 1 0\n";
  }
  return text;
}

// Enough statements after a face for its block read to be tried: more than 72 bytes.
const std::string kPadding = "\n" + std::string(20, ' ') + "s 1\ns 2\ns 3\ns 4\ns 5\ns 6\ns 7\ns 8\ns 9\ns 10\ns 11\ns 12\n";

std::string Model(const std::string& material, const std::string& faces, const std::string& after = kPadding) {
  return "mtllib lib.mtl\n" + Lists() + "usemtl " + material + "\n" + faces + after;
}

// The fast and the literal reader on the model: empty when they agree.
std::string Difference(const std::string& model) {
  literal::FileTable table;
  table.files["lib.mtl"] = kLibrary;
  table.files["model.obj"] = model;
  table.textures["t.bmp"] = true;
  return CompareModel(table, "model.obj");
}

std::string Printable(const std::string& text) {
  std::string printable;
  for (char c : text) {
    if (c == '\0') printable += "\\0";
    else if (c == '\t') printable += "\\t";
    else if (c == '\r') printable += "\\r";
    else if (c == '\v') printable += "\\v";
    else if (c == '\f') printable += "\\f";
    else printable += c;
  }
  return printable;
}

void ExpectAsReference(const std::string& material, const std::string& faces, const std::string& after = kPadding) {
  EXPECT_EQ("", Difference(Model(material, faces, after))) << "usemtl " << material << " then " << Printable(faces);
}

// Both materials, each with the face in its own form and in the other's.
void ExpectAsReferenceInBothForms(const std::string& textured, const std::string& plain) {
  for (const char* material : {"T", "P"}) {
    ExpectAsReference(material, "f " + textured);
    ExpectAsReference(material, "f " + plain);
  }
}

// The placed faces' vertices.
std::vector<Vertex> PlaceFaces(const std::string& text, const std::vector<FaceMaterial>& materials) {
  FacePlacementResult result = PlaceThrough(text, materials);
  result.slots.resize(3 * result.placed);
  return result.slots;
}

// One material named "M" of the given form.
std::vector<Vertex> PlaceFaces(const std::string& model, bool textured) {
  return PlaceFaces(model, std::vector<FaceMaterial>{{"M", textured}});
}

// The references each vertex took: position, texcoord (when asked) and normal.
std::vector<float> References(const std::vector<Vertex>& vertices, bool texcoords) {
  std::vector<float> references;
  for (const Vertex& v : vertices) {
    references.push_back(-v.position.x);  // x is flipped on reading
    if (texcoords) references.push_back(v.texcoord.x);
    references.push_back(-v.normal.x);
  }
  return references;
}

TEST(FacePlacement, EachVertexTakesItsOwnReferences) {
  std::string model = "mtllib lib.mtl\n" + Lists() + "usemtl M\nf 3/2/1 12/11/10 5/7/9" + kPadding +
                      "f 4//6 8//2 1//12" + kPadding;
  // The textured form stops the second face at its first "//": the rest keeps the first face's references.
  EXPECT_EQ((std::vector<float>{3, 2, 1, 12, 11, 10, 5, 7, 9, 4, 2, 1, 12, 11, 10, 5, 7, 9}),
            References(PlaceFaces(model, true), true));
  // The plain form reads the first face as far as "3/".
  EXPECT_EQ((std::vector<float>{3, 0, 0, 0, 0, 0, 4, 6, 8, 2, 1, 12}), References(PlaceFaces(model, false), false));
}

TEST(FacePlacement, AFaceThatStopsKeepsThePreviousFacesReferences) {
  std::string textured = "f 3/2/1 12/11/10 5/7/9\nf 6/6/6 8/8 9/9/9" + kPadding;
  EXPECT_EQ((std::vector<float>{3, 2, 1, 12, 11, 10, 5, 7, 9, 6, 6, 6, 8, 8, 10, 5, 7, 9}),
            References(PlaceFaces("mtllib lib.mtl\n" + Lists() + "usemtl M\n" + textured, true), true));
  std::string plain = "f 3//1 12//10 5//9\nf 6//6 8/8/8 9//9" + kPadding;
  EXPECT_EQ((std::vector<float>{3, 1, 12, 10, 5, 9, 6, 6, 8, 10, 5, 9}),
            References(PlaceFaces("mtllib lib.mtl\n" + Lists() + "usemtl M\n" + plain, false), false));
  ExpectAsReference("T", textured);
  ExpectAsReference("P", plain);
  // The texcoord references the plain form does not read come from the last textured face read before,
  // in the passes' order: here the second of T's faces, not the first.
  std::string passes = "f 3/2/1 12/11/10 5/7/9\nf 1/4/1 1/5/1 1/6/1\nusemtl P\nf 4//4 5//5 6//6" + kPadding +
                       "usemtl U\nf 7/7/7 8//8 9/9/9";
  ExpectAsReference("T", passes);
  std::vector<float> references =
      References(PlaceFaces("usemtl T\n" + Lists() + passes + kPadding,
                            std::vector<FaceMaterial>{{"T", true}, {"P", false}, {"U", true}}),
                 true);
  ASSERT_EQ(36u, references.size());
  EXPECT_EQ((std::vector<float>{7, 7, 7, 8, 5, 5, 6, 6, 6}), std::vector<float>(references.begin() + 27, references.end()));
}

TEST(FacePlacement, NumbersOfEveryLengthAndSign) {
  const char* const kNumbers[] = {"7",         "0000007", "00000007", "000000007", "0000000007", "12345678",
                                  "123456789", "+7",      "-7",       "-0",        "0",          "+",
                                  "-",         "2147483647", "2147483648", "-2147483648", "99999999999"};
  for (const char* number : kNumbers) {
    for (int place = 0; place < 9; ++place) {
      std::string textured, plain;
      for (int i = 0; i < 9; ++i) {
        std::string n = i == place ? number : std::to_string(1 + i);
        textured += (i % 3 == 0 && i > 0 ? " " : i % 3 ? "/" : "") + n;
        if (i % 3 != 1) plain += (i % 3 == 0 && i > 0 ? " " : i % 3 ? "//" : "") + n;
      }
      ExpectAsReferenceInBothForms(textured, plain);
    }
  }
}

TEST(FacePlacement, WhiteSpaceAroundAndInsideReferences) {
  const std::string kGaps[] = {" ", "\t", "\r\n", "\v", "\f", std::string(1, '\0'), "  \t ", std::string(20, ' '), ""};
  for (const std::string& gap : kGaps) {
    ExpectAsReferenceInBothForms("1/2/3" + gap + "4/5/6" + gap + "7/8/9", "1//3" + gap + "4//6" + gap + "7//9");
    ExpectAsReference("T", "f" + gap + "1/2/3 4/5/6 7/8/9");
    ExpectAsReference("T", "s 1" + gap + "f 1/2/3 4/5/6 7/8/9");
  }
  const std::string kInside[] = {"1 /2/3 4/5/6 7/8/9", "1/ 2/3 4/5/6 7/8/9",   "1/2 /3 4/5/6 7/8/9",
                                 "1/2/ 3 4/5/6 7/8/9", "1/2/3 4/5/6 7/8 /9",   "1/2/3 4/5/6 7/8/\t9",
                                 "1//3 4/5/6 7/8/9",   "1/2/3 4//6 7/8/9",     std::string("1/\0/3 4/5/6 7/8/9", 18)};
  for (const std::string& face : kInside) ExpectAsReference("T", "f " + face);
  for (const char* face : {"1 //3 4//6 7//9", "1/ /3 4//6 7//9", "1// 3 4//6 7//9", "1//3 4//6 7/ /9", "1/2/3 4//6 7//9"})
    ExpectAsReference("P", std::string("f ") + face);
}

TEST(FacePlacement, WhatFollowsTheLastNumberIsTheNextRead) {
  const char* const kAfter[] = {"f 1/2/3 4/5/6 7/8/9", "usemtl P\nf 1//2 3//4 5//6", "/10", "//10", ".5",
                                "e2",                   " 10/11/12",                  "-1",  "+1", "\0f 4/4/4 5/5/5 6/6/6",
                                "f",                    "\n\n\nf 4/4/4 5/5/5 6/6/6", "\r\nf 4/4/4 5/5/5 6/6/6",
                                " \tf 4/4/4 5/5/5 6/6/6", "\nxf 4/4/4 5/5/5 6/6/6",     "\nf  4/4/4 5/5/5 6/6/6",
                                "\nf\n4/4/4 5/5/5 6/6/6", "\nff 4/4/4 5/5/5 6/6/6",     "\nf +4/4/4 5/5/5 6/6/6",
                                "xf 4/4/4 5/5/5 6/6/6",   "\tf\t4/4/4 5/5/5 6/6/6",    "\r\nf\t4/4/4 5/5/5 6/6/6"};
  for (const char* after : kAfter) {
    // A counted face after it, so that a face read where there is none takes its slot.
    std::string rest = std::string(after, strlen(after) + (after[0] == '\0' ? 1 + strlen(after + 1) : 0)) +
                       "\nf 10/11/12 12/11/10 11/11/11";
    ExpectAsReference("T", "f 1/2/3 4/5/6 7/8/9" + rest);
    ExpectAsReference("P", "f 1//2 4//5 7//8" + rest);
  }
  ExpectAsReference("T", "f 1/2/3 4/5/6 7/8/9 10/11/12 f 1/2/3 4/5/6 7/8/9");  // a quad's last reference
}

TEST(FacePlacement, ReferencesOutsideTheListsReadAsZero) {
  const char* const kFaces[] = {"0/0/0 13/13/13 12/12/12", "-1/-2/-3 1/2/3 4/5/6", "99999999/1/1 1/99999999/1 1/1/99999999",
                                "2147483647/1/1 2147483648/1/1 99999999999/1/1"};
  for (const char* face : kFaces) ExpectAsReference("T", std::string("f ") + face);
  std::string model = "usemtl M\n" + Lists() + "f 0/13/12 99999999/1/00000013 1/1/1" + kPadding;
  EXPECT_EQ((std::vector<float>{0, 0, 12, 0, 1, 0, 1, 1, 1}), References(PlaceFaces(model, true), true));
}

// Faces whose ninth number ends anywhere from byte 50 to byte 70 after the first reference's start, all
// numbers of four to seven digits (leading zeros): the block read takes those that end before byte 64 and
// leaves the others to the exact reads.
TEST(FacePlacement, StatementsAcrossTheBlockEnd) {
  for (int length = 50; length <= 70; ++length) {
    for (int first = 0; first < 9; ++first) {
      std::vector<int> digits(9, 5);  // 45 digits, 6 slashes and 2 spaces make 53 bytes
      for (int change = length - 53, k = 0; change != 0; ++k) {
        int i = (first + k) % 9;
        digits[i] += change > 0 ? 1 : -1;
        change += change > 0 ? -1 : 1;
      }
      std::string face;
      for (int i = 0; i < 9; ++i) {
        std::string n = std::to_string(1 + i);
        face += (i % 3 == 0 && i > 0 ? " " : i % 3 ? "/" : "") + std::string(digits[i] - 1, '0') + n;
      }
      ASSERT_EQ(static_cast<size_t>(length), face.size());
      ExpectAsReference("T", "f " + face);
      ExpectAsReference("T", "f " + face, "\n");
    }
  }
  std::string plain = "0000001//0000002 0000003//0000004 000000005//000000006";  // eight and nine digits
  for (int cut = 0; cut < 6; ++cut) ExpectAsReference("P", "f " + plain.substr(cut));
}

// The data ends somewhere in the 80 bytes after a face: the block read must not look past it, and the
// reads near the end keep the end flag's rules.
TEST(FacePlacement, DataEndingJustAfterAFace) {
  const std::string kFillers[] = {std::string(80, ' '), std::string(80, '\n'), "\ns 1\ns 2\ns 3\ns 4\ns 5\ns 6\ns 7\ns 8\ns 9"
                                                                                 "\ns 10\ns 11\ns 12\ns 13\ns 14\ns 15\ns 16\ns 17"};
  for (const std::string& filler : kFillers) {
    for (size_t kept = 0; kept <= 80 && kept <= filler.size(); ++kept) {
      ExpectAsReference("T", "f 11/12/10 9/8/7 6/5/4", filler.substr(0, kept));
      ExpectAsReference("P", "f 11//10 9//7 6//4", filler.substr(0, kept));
    }
  }
  for (size_t kept = 0; kept <= 24; ++kept) {  // the face itself cut short
    ExpectAsReference("T", std::string("f 11/12/10 9/8/7 6/5/4").substr(0, kept), "");
    ExpectAsReference("T", std::string("f 1/2/3 4/5/6 7/8/9 f 1/2/3 4/5/6 7/8/9").substr(0, 20 + kept), "");
  }
  // Faces with too few numbers and only white space after them, which the block read takes apart before
  // it finds them short: no read past the data.
  for (const char* face : {"f 1//2", "f 1//2 3//4", "f 1/2/3", "f 1/2/3 4/5/6 7/8", "f 1/2", "f 12345678//1"}) {
    for (size_t kept = 60; kept <= 80; ++kept) {
      std::string model = "usemtl M\n" + Lists() + face + std::string(kept, ' ');
      for (bool textured : {true, false}) EXPECT_EQ(3u, PlaceFaces(model, textured).size()) << face << " " << kept;
    }
  }
}

TEST(FacePlacement, RandomModelsInBothForms) {
  std::mt19937 random(777);
  for (int round = 0; round < 400; ++round) {
    std::string faces;
    for (int i = 0; i < 30; ++i) {
      std::string face = random() % 2 ? "f" : "f ";
      for (int corner = 0; corner < 3; ++corner) {
        face += random() % 8 ? " " : "\t";
        for (int part = 0; part < 3; ++part) {
          std::string n = std::to_string(random() % (kListSize + 2));
          if (random() % 4 == 0) n = std::string(random() % 8, '0') + n;
          if (random() % 30 == 0) n = "-" + n;
          face += (part == 0 ? "" : random() % 3 ? "/" : "//") + n;
        }
      }
      faces += face + (random() % 4 ? "\n" : random() % 2 ? "\r\n" : " ");
      if (random() % 10 == 0) faces += random() % 2 ? "usemtl T\n" : "usemtl P\n";
    }
    ExpectAsReference(random() % 2 ? "T" : "P", faces);
    if (::testing::Test::HasFailure()) return;
  }
}

// The block read with the word arithmetic against the build's own, on the references of a face statement
// followed by enough data for the block read: the same outcome and, when it takes the face, the same
// references and the same place after them. True when the face was taken.
template <bool kTextured>
bool ExpectSameBlockRead(const std::string& references) {
  std::vector<char> data(references.begin(), references.end());
  data.insert(data.end(), kPadding.begin(), kPadding.end());
  TextScanner own = ScanText(data.data(), data.size()), portable = own;
  int ownReferences[12] = {0}, portableReferences[12] = {0};
  bool taken = ReadFaceFromBlock<kTextured>(own, ownReferences);
  EXPECT_EQ(taken, (ReadFaceFromBlock<kTextured, PortableDigitRuns>(portable, portableReferences))) << references;
  if (!taken) return false;
  EXPECT_EQ(own.cursor, portable.cursor) << references;
  for (int part = 0; part < 9; ++part) {
    if (kTextured || part % 3 != 1) {
      EXPECT_EQ(ownReferences[part], portableReferences[part]) << references;
    }
  }
  return true;
}

TEST(FacePlacement, WordArithmeticReadsTheSameFacesAsTheBuildsOwn) {
  std::mt19937 random(31);
  int taken = 0;
  for (int round = 0; round < 1500; ++round) {
    std::string model = MakeRandomModelSet(random).model;
    for (size_t at = model.find("f "); at != std::string::npos; at = model.find("f ", at + 1)) {
      std::string references = model.substr(at + 2, model.find('\n', at) - at - 2);
      taken += ExpectSameBlockRead<true>(references) + ExpectSameBlockRead<false>(references);
    }
  }
  for (int digits = 1; digits <= 10; ++digits) {
    std::string n = std::string(digits - 1, '0') + "9";
    taken += ExpectSameBlockRead<true>(n + "/" + n + "/" + n + " 1/" + n + "/1 " + n + "/1/" + n);
    taken += ExpectSameBlockRead<false>(n + "//" + n + " 1//1 " + n + "//" + n);
  }
  EXPECT_GT(taken, 1000);  // the block read took many of them
}

}  // namespace
