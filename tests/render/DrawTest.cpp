// Drawing order and bindings, seen in pixels: scenes of flat-coloured squares drawn with a shader that
// paints ambient colour times the t0 texel, so every expected colour is exact.
#include <gtest/gtest.h>

#include "render/Render.h"
#include "tests/render/RenderTestSupport.h"

namespace {

const Rgb kClear{0, 0, 255};
const Rgb kRed{255, 0, 0};
const Rgb kGreen{0, 255, 0};
const Rgb kBlack{0, 0, 0};

// A data folder with the flat shader, a green texture, and scene and sky models written by each test.
class FlatSceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.Write("Fog.hlsl", kFlatShader);
    folder_.Write("green.bmp", SolidBmp(4, 4, 0, 255, 0));
    WriteModel("Sky_Sphere_R10", "", ModelText("Sky_Sphere_R10.mtl"));
  }

  void WriteModel(const std::string& name, const std::string& library, const ModelText& model) {
    folder_.Write(name + ".mtl", library);
    folder_.Write(name + ".obj", model.Text());
  }

  // The scene mesh: one red square straight ahead of the starting camera.
  void WriteRedSquareScene(float z, float halfSize) {
    ModelText model("test.mtl");
    model.Square("Red", false, 0, 0.3f, z, halfSize);
    WriteModel("test", "newmtl Red\nKd 1 0 0\n", model);
  }

  // Starts a viewer in the folder and returns the back buffer after `frames` frames.
  Image Render(int frames = 1) {
    ViewerSession viewer;
    EXPECT_EQ(viewer.Start(), S_OK);
    if (g_app->swapChain == NULL) return Image();
    for (int i = 0; i < frames; ++i) RenderFrame(viewer.App());
    return ReadBackBuffer(viewer.App());
  }

  DataFolder folder_;
};

struct Span {
  size_t count = 0;
  double centreX = 0;
};

// How many pixels have the colour, and the mean x of them.
Span Find(const Image& image, Rgb colour) {
  Span span;
  for (UINT y = 0; y < image.height; ++y)
    for (UINT x = 0; x < image.width; ++x) {
      Rgb p = image.At(x, y);
      if (p.r == colour.r && p.g == colour.g && p.b == colour.b) ++span.count, span.centreX += x;
    }
  if (span.count) span.centreX /= span.count;
  return span;
}

const char kTexturedThenPlain[] = "newmtl Tex\nKa 1 1 1\nmap_Kd green.bmp\nnewmtl Plain\nKa 1 1 1\n";
const char kPlainThenTextured[] = "newmtl Plain\nKa 1 1 1\nnewmtl Tex\nKa 1 1 1\nmap_Kd green.bmp\n";

ModelText TexturedAndPlainSquares() {
  ModelText model("test.mtl");
  model.Square("Tex", true, -0.4f, 0.3f, 2.0f, 0.3f);
  model.Square("Plain", false, 0.4f, 0.3f, 2.0f, 0.3f);
  return model;
}

TEST_F(FlatSceneTest, UntexturedMaterialSamplesTheTextureBoundBeforeIt) {
  // Drawn after the textured material of the same mesh: t0 still holds the green texture.
  WriteModel("test", kTexturedThenPlain, TexturedAndPlainSquares());
  Image image = Render();
  ASSERT_EQ(image.width, 640u);
  Span green = Find(image, kGreen);
  EXPECT_GT(green.count, 2u * 5000u) << "both squares green";
  EXPECT_NEAR(green.centreX, 320, 20) << "the squares lie left and right of the centre alike";
  EXPECT_EQ(Find(image, kBlack).count, 0u);
}

TEST_F(FlatSceneTest, UntexturedMaterialDrawnFirstKeepsLastFramesTexture) {
  // In the first frame nothing is bound at t0 yet, which samples as zero; from the second frame on the
  // texture bound by the previous frame's textured material is still there.
  WriteModel("test", kPlainThenTextured, TexturedAndPlainSquares());
  Image first = Render(1);
  Span black = Find(first, kBlack);
  EXPECT_GT(black.count, 5000u);
  EXPECT_GT(black.centreX, 320) << "the plain square is the right one";

  Image second = Render(2);
  EXPECT_EQ(Find(second, kBlack).count, 0u);
  EXPECT_NEAR(Find(second, kGreen).count, 2.0 * Find(first, kGreen).count, 200);
}

TEST_F(FlatSceneTest, SceneIsDrawnBeforeSkyWithDepthTest) {
  WriteRedSquareScene(2.0f, 0.3f);
  const std::string skyLibrary = "newmtl Green\nKd 0 1 0\n";
  struct Case {
    float skyDepth;
    Rgb expected;
    const char* why;
  } cases[] = {
      {2.0f, kRed, "same depth: the sky, drawn second, fails the LESS test"},
      {1.5f, kGreen, "sky nearer: it covers the scene"},
      {3.0f, kRed, "sky farther: the scene stays in front"},
  };
  for (const Case& c : cases) {
    ModelText sky("Sky_Sphere_R10.mtl");
    sky.Square("Green", false, 0, 0.3f, c.skyDepth, 0.3f);
    WriteModel("Sky_Sphere_R10", skyLibrary, sky);
    Image image = Render();
    ASSERT_EQ(image.height, 480u);
    Rgb centre = image.At(320, 260);  // the squares sit just below the centre: the camera looks up a little
    EXPECT_TRUE(centre.r == c.expected.r && centre.g == c.expected.g && centre.b == c.expected.b)
        << c.why << ": (" << centre.r << ", " << centre.g << ", " << centre.b << ")";
    EXPECT_GT(image.Count(kClear, 0), 100000u) << "the clear colour shows around the squares";
  }
}

TEST_F(FlatSceneTest, CameraMovesTheView) {
  WriteRedSquareScene(1.0f, 0.1f);
  ViewerSession viewer;
  ASSERT_EQ(viewer.Start(), S_OK);
  Application& app = viewer.App();
  RenderFrame(app);
  Span start = Find(ReadBackBuffer(app), kRed);

  app.cameraPosition.z += 0.4f;  // 1.1 to 0.7 units away: the area grows by (1.1 / 0.7)^2
  RenderFrame(app);
  Span nearer = Find(ReadBackBuffer(app), kRed);
  EXPECT_NEAR(double(nearer.count) / start.count, (1.1 * 1.1) / (0.7 * 0.7), 0.25);
  EXPECT_NEAR(nearer.centreX, 320, 2);

  app.cameraPosition.x += 0.1f;  // stepping right moves the square left
  RenderFrame(app);
  Span right = Find(ReadBackBuffer(app), kRed);
  EXPECT_LT(right.centreX, 320 - 50);
}

TEST_F(FlatSceneTest, MaterialBlockHoldsTheLastDrawnMaterialsColours) {
  WriteRedSquareScene(2.0f, 0.3f);
  ModelText sky("Sky_Sphere_R10.mtl");
  sky.Square("Sky", false, 0, 0.3f, 5.0f, 0.3f);
  // No "Ks": the specular colour stays (0, 0, 0, 0), alpha included.
  WriteModel("Sky_Sphere_R10", "newmtl Sky\nKa 0.25 0.5 0.75\nKd 0.125 0.375 0.625\n", sky);
  ViewerSession viewer;
  ASSERT_EQ(viewer.Start(), S_OK);
  RenderFrame(viewer.App());
  std::vector<float> block = ReadFloats(viewer.App(), viewer.App().materialConstantBuffer);
  const std::vector<float> expected = {0.25f, 0.5f, 0.75f, 1, 0.125f, 0.375f, 0.625f, 1, 0, 0, 0, 0};
  EXPECT_EQ(block, expected);
}

TEST_F(FlatSceneTest, MeshWithoutItsMaterialArrayDrawsNothing) {
  WriteRedSquareScene(2.0f, 0.3f);
  {
    // The state a failed material library leaves: a count, but no array.
    ViewerSession viewer;
    ASSERT_EQ(viewer.Start(), S_OK);
    RenderFrame(viewer.App());
    EXPECT_GT(Find(ReadBackBuffer(viewer.App()), kRed).count, 5000u) << "with its materials the square shows";
    Mesh& mesh = viewer.App().sceneMesh;
    ASSERT_EQ(mesh.materialCount, 1u);
    Material* materials = mesh.materials;
    mesh.materials = NULL;
    RenderFrame(viewer.App());
    EXPECT_EQ(ReadBackBuffer(viewer.App()).Count(kClear, 0), 640u * 480u);
    mesh.materials = materials;
  }
  // The same through the files: the library names a texture that is not there.
  folder_.Write("test.mtl", "newmtl Red\nKd 1 0 0\nmap_Kd missing.bmp\n");
  Image image = Render();
  EXPECT_EQ(image.Count(kClear, 0), 640u * 480u);
}

}  // namespace
