#include "RandomModels.h"

namespace {

const char* const kCommonNames[] = {"red", "green", "blue"};
const char* const kOddNames[] = {"Ka", "Kd", "newmtl", "map_Kd", "f", "usemtl", "v", "stone_wall", "RED", "unknown"};
const char* const kGoodTextures[] = {"t0.bmp", "t1.bmp"};
const char* const kBadTextures[] = {"missing.bmp", "lib0.mtl"};
const char* const kNumbers[] = {"0", "1", "-1", "0.5", "-0.25", ".5", "5.", "1e2", "2.5E-1", "+3", "-0",
                                "1e", "3evt", "7f", "1e+", "-", ".", "nan", "inf", "0x10", "1e50",
                                "1e-50", "123456789.123456789", "0.1", "3.4028236e38", "2newmtl"};
const char* const kJunk[] = {"#", "# comment", "s", "1", "g", "o", "KA", "NEWMTL", "mtllib", "vp", "Ns",
                             "10", "F", "usemtl", "v", "vn", "vt", "f", "//", "/"};

template <size_t N>
const char* Pick(std::mt19937& random, const char* const (&items)[N]) {
  return items[std::uniform_int_distribution<size_t>(0, N - 1)(random)];
}

int Below(std::mt19937& random, int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }

std::string MaterialName(std::mt19937& random) {
  return Below(random, 5) ? Pick(random, kCommonNames) : Pick(random, kOddNames);
}

std::string Separator(std::mt19937& random) {
  switch (Below(random, 12)) {
    case 0: return "\r\n";
    case 1: return "\t";
    case 2: return "  ";
    case 3: return "";  // glued to what follows
    case 4: case 5: case 6: return "\n";
    default: return " ";
  }
}

std::string Number(std::mt19937& random) {
  if (Below(random, 3) == 0) return Pick(random, kNumbers);
  char text[32];
  snprintf(text, sizeof text, "%.*f", Below(random, 8), std::uniform_real_distribution<float>(-10, 10)(random));
  return text;
}

std::string Numbers(std::mt19937& random, int usual) {
  int count = Below(random, 6) == 0 ? Below(random, usual + 2) : usual;
  std::string text;
  for (int i = 0; i < count; ++i) text += (i == 0 ? " " : Separator(random) == "" ? "" : " ") + Number(random);
  return text;
}

std::string Reference(std::mt19937& random, int listSize) {
  int pick = Below(random, 20);
  if (pick == 0) return std::to_string(-Below(random, 3));
  if (pick == 1) return "99999999999";
  if (pick == 2) return std::to_string(listSize + 1 + Below(random, 3));
  // Leading zeros make numbers of up to nine digits and faces that run past a 64-byte block.
  std::string zeros(pick < 6 ? Below(random, 9) : 0, '0');
  return zeros + std::to_string(1 + Below(random, listSize > 0 ? listSize : 1));
}

// The white space before a face's reference: mostly one space, sometimes a longer or rarer run.
std::string ReferenceGap(std::mt19937& random) {
  static const char* const kGaps[] = {"\t", "  ", "\r\n", "\v", "\f", "\t \t"};
  if (Below(random, 4) != 0) return " ";
  if (Below(random, 8) == 0) return std::string(1, '\0');
  return Pick(random, kGaps);
}

std::string Face(std::mt19937& random, int listSize) {
  int corners = Below(random, 5) == 0 ? 4 : Below(random, 10) == 0 ? 2 : 3;
  int form = Below(random, 6);  // mostly p/t/n or p//n, sometimes p, p/t or broken forms
  std::string text = "f";
  for (int i = 0; i < corners; ++i) {
    std::string p = Reference(random, listSize), t = Reference(random, listSize), n = Reference(random, listSize);
    text += ReferenceGap(random);
    if (form <= 2) text += p + "/" + t + "/" + n;
    else if (form <= 4) text += p + "//" + n;
    else if (Below(random, 2)) text += p;
    else text += p + "/" + t + (Below(random, 2) ? " /" : "/x") + n;
  }
  return text;
}

// More than 4 KB without a face or "usemtl": the stretches the face passes may jump over.
std::string Padding(std::mt19937& random) {
  std::string text;
  for (int lines = 400 + Below(random, 200); lines > 0; --lines) text += Below(random, 2) ? "g part\n" : "s off\n";
  return text;
}

std::string LongToken(std::mt19937& random) { return std::string(90 + Below(random, 130), 'a' + Below(random, 3)); }

std::string MakeLibrary(std::mt19937& random) {
  std::string text;
  int statements = 2 + Below(random, 14);
  for (int i = 0; i < statements; ++i) {
    switch (Below(random, 10)) {
      case 0: case 1: text += "newmtl " + (Below(random, 12) ? MaterialName(random) : LongToken(random)); break;
      case 2: text += "Ka" + Numbers(random, 3); break;
      case 3: text += "Kd" + Numbers(random, 3); break;
      case 4: text += "Ks" + Numbers(random, 3); break;
      case 5:
        text += std::string("map_Kd ") + (Below(random, 20) ? Pick(random, kGoodTextures) : Pick(random, kBadTextures));
        break;
      case 6: text += Pick(random, kJunk); break;
      case 7: text += Below(random, 2) ? "Ns 10" : "illum 2"; break;
      default: text += "newmtl " + MaterialName(random); break;
    }
    text += Below(random, 8) ? "\n" : Separator(random);
  }
  return text;
}

std::string MakeModel(std::mt19937& random, int libraries) {
  std::string text;
  int listSize = 1 + Below(random, 6);
  if (Below(random, 8)) text += "mtllib lib" + std::to_string(Below(random, 4) ? 0 : Below(random, libraries + 1)) + ".mtl\n";
  int statements = Below(random, 40);
  for (int i = 0; i < statements; ++i) {
    switch (Below(random, 12)) {
      case 0: case 1: text += "v" + Numbers(random, 3); break;
      case 2: text += "vn" + Numbers(random, 3); break;
      case 3: text += "vt" + Numbers(random, 2); break;
      case 4:
        text += "usemtl " + MaterialName(random);
        for (int faces = Below(random, 5); faces > 0; --faces) text += "\n" + Face(random, listSize);
        break;
      case 5: case 6: case 7: case 8: text += Face(random, listSize); break;
      case 9: text += Pick(random, kJunk); break;
      case 10: text += Below(random, 30) ? "s 1" : Below(random, 2) ? LongToken(random) : Padding(random); break;
      case 11:
        text += Below(random, 4) ? Face(random, listSize) : "mtllib lib" + std::to_string(Below(random, libraries + 1)) + ".mtl";
        break;
      default: text += Face(random, listSize); break;
    }
    text += Below(random, 6) ? (Below(random, 5) ? "\n" : "\r\n") : Separator(random);
  }
  return text;
}

}  // namespace

RandomModelSet MakeRandomModelSet(std::mt19937& random) {
  RandomModelSet set;
  int libraries = 1 + Below(random, 2);
  for (int i = 0; i < libraries; ++i) {
    set.libraryNames.push_back("lib" + std::to_string(i) + ".mtl");
    set.libraries.push_back(MakeLibrary(random));
  }
  set.model = MakeModel(random, libraries);
  for (const char* name : kGoodTextures) set.goodTextures.push_back(name);
  return set;
}
