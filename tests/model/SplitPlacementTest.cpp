// The face passes shared by two threads, the later materials' passes starting from the slot and match
// flag predicted from the counting pass, against the same passes on one thread: the same vertices in
// every slot and the same face count for every material, whether the prediction held or the passes had
// to run again on one thread. This file builds ObjFaces.cpp again with the split taken from the first
// face on, as PlaceObjFacesSplit, and counts how the splits went.
#include <gtest/gtest.h>


#include <random>
#include <string>
#include <vector>

#include "FacePasses.h"
#include "RandomModels.h"
#include "model/ObjReader.h"

namespace {
int g_splitsHeld = 0;
int g_splitsRedone = 0;
}  // namespace

#define VIEWER_SHORTEST_SPLIT 1
#define VIEWER_SPLIT_OUTCOME(held) ++((held) ? g_splitsHeld : g_splitsRedone)
#define PlaceObjFaces PlaceObjFacesSplit
#include "model/ObjFaces.cpp"
#undef PlaceObjFaces

namespace {

void ExpectSamePlacement(const std::string& model, const std::vector<FaceMaterial>& materials) {
  FacePlacementResult one = PlaceThrough(model, materials, PlaceObjFaces);  // small models: one thread
  FacePlacementResult two = PlaceThrough(model, materials, PlaceObjFacesSplit);
  EXPECT_EQ(one.faces, two.faces) << model;
  EXPECT_TRUE(SameVertices(one.slots, two.slots)) << model;
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
  g_splitsHeld = g_splitsRedone = 0;
  for (int round = 0; round < 300; ++round) {
    ExpectSamePlacement(InterleavedRuns(random, 1 + random() % 12), kMaterials);
    if (::testing::Test::HasFailure()) return;
  }
  EXPECT_GT(g_splitsHeld, 200);
  EXPECT_EQ(0, g_splitsRedone);
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
  g_splitsHeld = g_splitsRedone = 0;
  for (const std::string& model : models) {
    ExpectSamePlacement(model, kMaterials);
    ExpectSamePlacement(model, twice);
  }
  EXPECT_GE(g_splitsRedone, 4);
}

TEST(SplitPlacement, RandomAdversarialModels) {
  std::mt19937 random(99);
  for (int round = 0; round < 2000; ++round) {
    std::string model = MakeRandomModelSet(random).model;
    ExpectSamePlacement(random() % 2 ? "usemtl M\n" + model : model, kMaterials);
    if (::testing::Test::HasFailure()) return;
  }
}

}  // namespace
