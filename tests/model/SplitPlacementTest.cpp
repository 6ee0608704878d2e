// The face passes shared by two threads, the later materials' passes starting from the slot and match
// flag predicted from the counting pass, against the same passes on one thread: the same vertices in
// every slot and the same face count for every material, whether the prediction held or the passes had
// to run again on one thread. The split is taken from the first face on, and the tests count how the
// splits went.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "FacePasses.h"
#include "RandomModels.h"
#include "model/ObjReader.h"

namespace {

const FacePlacementOptions kSplitAlways = {1};

struct SplitTally {
  int held = 0;
  int redone = 0;
};

void ExpectSamePlacement(const std::string& model, const std::vector<FaceMaterial>& materials, SplitTally& tally) {
  FacePlacementResult one = PlaceThrough(model, materials);  // small models: one thread
  FacePlacementResult two = PlaceThrough(model, materials, kSplitAlways);
  EXPECT_EQ(kFacesPlacedOnOneThread, one.outcome);
  EXPECT_EQ(one.faces, two.faces) << model;
  EXPECT_TRUE(SameVertices(one.slots, two.slots)) << model;
  tally.held += two.outcome == kFacesPlacedOnTwoThreads;
  tally.redone += two.outcome == kFacesPlacedAgainOnOneThread;
}

const std::vector<FaceMaterial> kMaterials = {{"red", true}, {"green", false}, {"blue", true}, {"M", false}};

std::string Lists(int size) {
  std::string text;
  for (int i = 1; i <= size; ++i) {
    std::string n = std::to_string(i);
    text += "v " + n + " 0.5 -" + n + "\nvt " + n + " 0.25\nvn " + n + " 1 0\n";
  }
  return text;
}

std::string Face(int a, int b, int c, bool textured) {
  auto corner = [&](int i) {
    std::string n = std::to_string(i);
    return textured ? n + "/" + n + "/" + n : n + "//" + n;
  };
  return "f " + corner(a) + " " + corner(b) + " " + corner(c) + "\n";
}

// Runs of faces under each material in turn, in the form each takes: the file the split is made for.
std::string InterleavedRuns(std::mt19937& random, int runs) {
  std::string text = Lists(20);
  for (int run = 0; run < runs; ++run) {
    const FaceMaterial& material = kMaterials[random() % kMaterials.size()];
    text += std::string("usemtl ") + material.name + "\n";
    for (int i = random() % 6; i > 0; --i)
      text += Face(1 + random() % 20, 1 + random() % 20, 1 + random() % 20, material.textured);
  }
  return text;
}

TEST(SplitPlacement, InterleavedRunsAreSplitAndKeepTheirSlots) {
  std::mt19937 random(4242);
  SplitTally tally;
  for (int round = 0; round < 300; ++round) {
    ExpectSamePlacement(InterleavedRuns(random, 1 + random() % 12), kMaterials, tally);
    if (::testing::Test::HasFailure()) return;
  }
  EXPECT_GT(tally.held, 200);
  EXPECT_EQ(0, tally.redone);
}

// Where the prediction cannot hold, the passes run again on one thread: faces before the first "usemtl"
// that the last one carries into the next pass, a second share whose first face reads only part of its
// references (the rest would come from the first share), faces the counting pass did not see ("3f" read
// as a face only after a face's last number), a material named twice.
TEST(SplitPlacement, MispredictionsArePlacedAgainOnOneThread) {
  const std::string lists = Lists(9);
  const std::string red = Face(1, 2, 3, true), green = Face(4, 5, 6, false);
  const std::vector<std::string> models = {
      lists + red + green + "usemtl red\n" + red + "usemtl green\n" + green + "usemtl red\n" + red,
      lists + "usemtl red\n" + red + red + "usemtl green\nf 7//7 8//8 9\nf 4//4\n" + green,
      lists + "usemtl red\n" + "f 1/1/1 2/2/2 3/3/3f 4/4/4 5/5/5 6/6/6\n" + red + "usemtl green\n" + green + green,
      lists + "usemtl blue\n" + red + "usemtl red\n" + red + red + "usemtl green\n" + green,
  };
  const std::vector<FaceMaterial> twice = {{"red", true}, {"green", false}, {"red", true}, {"green", false}};
  SplitTally tally;
  for (const std::string& model : models) {
    ExpectSamePlacement(model, kMaterials, tally);
    ExpectSamePlacement(model, twice, tally);
  }
  EXPECT_GE(tally.redone, 4);
}

TEST(SplitPlacement, RandomAdversarialModels) {
  std::mt19937 random(99);
  for (int round = 0; round < 2000; ++round) {
    std::string model = MakeRandomModelSet(random).model;
    SplitTally tally;
    ExpectSamePlacement(random() % 2 ? "usemtl M\n" + model : model, kMaterials, tally);
    if (::testing::Test::HasFailure()) return;
  }
}

}  // namespace
