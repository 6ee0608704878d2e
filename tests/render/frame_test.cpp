// One frame of the real scene with the real "Fog.hlsl": the picture, the fog, and the frame and object
// constant blocks as the shader reads them.
#include <gtest/gtest.h>

#include <math.h>

#include "render/Render.h"
#include "tests/render/render_test_support.h"

namespace {

const Rgb kFogColour{255, 255, 255};

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(viewer_.Start(), S_OK); }

  Image RenderScene() {
    RenderFrame(viewer_.App());
    return ReadBackBuffer(viewer_.App());
  }

  DataFolder folder_;
  ViewerSession viewer_;
};

TEST_F(SceneTest, SceneAndSkyFillThePicture) {
  Image image = RenderScene();
  ASSERT_EQ(image.width, 640u);
  ASSERT_EQ(image.height, 480u);
  EXPECT_GT(image.DistinctColours(), 500u) << "lit, textured and fogged surfaces, not a flat fill";
  EXPECT_EQ(image.Count(Rgb{0, 0, 255}, 0), 0u) << "the sky sphere surrounds the camera: no clear colour";
  Rgb top = image.At(320, 5);
  EXPECT_GT(top.b, top.r + 20) << "sky blue above";
  Rgb bottom = image.At(320, 475);
  EXPECT_LT(std::abs(bottom.b - bottom.r), 40) << "grey-white ground below";
}

TEST_F(SceneTest, DenserFogMovesThePictureTowardsTheFogColour) {
  const float densities[] = {0.0f, 0.7f, 1.0f, 1.3f, 2.0f};
  double distance[5];
  for (int i = 0; i < 5; ++i) {
    viewer_.App().fogDensity = densities[i];
    distance[i] = RenderScene().MeanDistanceTo(kFogColour);
  }
  std::string figures;
  for (int i = 0; i < 5; ++i) figures += " " + std::to_string(densities[i]) + ": " + std::to_string(distance[i]);
  SCOPED_TRACE("mean distance to the fog colour by density:" + figures);
  for (int i = 1; i < 5; ++i) EXPECT_LT(distance[i], distance[i - 1]) << "density " << densities[i];
  // Z or X held for 1000 frames changes the density by 0.3: that must show clearly.
  EXPECT_GT(distance[1] - distance[2], 4.0);
  EXPECT_GT(distance[2] - distance[3], 4.0);
  // The default density leaves most of the picture visible.
  EXPECT_GT(distance[2], 0.4 * distance[0]);
}

TEST_F(SceneTest, FrameBlockFollowsTheLayout) {
  Application& app = viewer_.App();
  RenderFrame(app);
  std::vector<float> block = ReadFloats(app, app.frameConstantBuffer);
  ASSERT_EQ(block.size(), 20u);
  auto floats = [&](int from, int to) { return std::vector<float>(block.begin() + from, block.begin() + to); };
  // Bytes 20-31 and 68-79 carry no value.
  EXPECT_EQ(floats(0, 4), (std::vector<float>{0, 1, 0, 0})) << "light direction, normalised";
  EXPECT_EQ(block[4], 1.0f) << "fog density";
  EXPECT_EQ(floats(8, 12), (std::vector<float>{0, 0.3f, -0.1f, 0})) << "eye";
  EXPECT_EQ(floats(12, 16), (std::vector<float>{1, 1, 1, 1}));
  EXPECT_EQ(block[16], 0.5f);

  app.lightDirection = D3DXVECTOR4(3, 0, -4, 0);
  app.fogDensity = 0.25f;
  app.cameraPosition = D3DXVECTOR3(1, 2, 3);
  RenderFrame(app);
  block = ReadFloats(app, app.frameConstantBuffer);
  ASSERT_EQ(block.size(), 20u);
  EXPECT_FLOAT_EQ(block[0], 0.6f);
  EXPECT_FLOAT_EQ(block[2], -0.8f);
  EXPECT_EQ(block[4], 0.25f);
  EXPECT_EQ(floats(8, 12), (std::vector<float>{1, 2, 3, 0}));
}

// The camera matrices from their textbook definitions, row-major, row-vector convention.
struct Matrix {
  double m[4][4] = {};
  Matrix operator*(const Matrix& b) const {
    Matrix c;
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j)
        for (int k = 0; k < 4; ++k) c.m[i][j] += m[i][k] * b.m[k][j];
    return c;
  }
};

Matrix LookAlongZ(double x, double y, double z) {
  // Eye (x, y, z) looking at (x, y + 0.01, z + 0.1), up (0, 1, 0).
  double fz[3] = {0, 0.01, 0.1}, len = sqrt(0.01 * 0.01 + 0.1 * 0.1);
  for (double& v : fz) v /= len;
  const double fx[3] = {1, 0, 0};                   // up x forward, normalised
  const double fy[3] = {0, fz[2], -fz[1]};          // forward x right
  const double eye[3] = {x, y, z};
  Matrix view;
  for (int i = 0; i < 3; ++i) view.m[i][0] = fx[i], view.m[i][1] = fy[i], view.m[i][2] = fz[i];
  for (int j = 0; j < 3; ++j) {
    const double* axis = j == 0 ? fx : j == 1 ? fy : fz;
    view.m[3][j] = -(axis[0] * eye[0] + axis[1] * eye[1] + axis[2] * eye[2]);
  }
  view.m[3][3] = 1;
  return view;
}

Matrix Perspective() {
  const double yScale = 1 / tan(M_PI / 6), xScale = yScale * 3 / 4, zn = 0.1, zf = 100;
  Matrix p;
  p.m[0][0] = xScale, p.m[1][1] = yScale, p.m[2][2] = zf / (zf - zn), p.m[2][3] = 1;
  p.m[3][2] = -zn * zf / (zf - zn);
  return p;
}

// Compares a transposed block (16 floats from `at`) with m.
void ExpectTransposed(const std::vector<float>& block, size_t at, const Matrix& m, const char* what) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      EXPECT_NEAR(block[at + j * 4 + i], m.m[i][j], 1e-4 * (1 + fabs(m.m[i][j]))) << what << " [" << i << "][" << j << "]";
}

TEST_F(SceneTest, ObjectBlockHoldsTransposedMatrices) {
  Application& app = viewer_.App();
  Matrix identity, bias;
  for (int i = 0; i < 4; ++i) identity.m[i][i] = 1;
  bias.m[0][0] = 0.5, bias.m[1][1] = -0.5, bias.m[2][2] = 1, bias.m[3][0] = 0.5, bias.m[3][1] = 0.5, bias.m[3][3] = 1;

  const double eyes[2][3] = {{0, 0.3, -0.1}, {0.5, -0.25, 2}};
  for (const auto& eye : eyes) {
    app.cameraPosition = D3DXVECTOR3(float(eye[0]), float(eye[1]), float(eye[2]));
    RenderFrame(app);
    std::vector<float> block = ReadFloats(app, app.objectConstantBuffer);
    ASSERT_EQ(block.size(), 48u);
    ExpectTransposed(block, 0, identity, "world");
    ExpectTransposed(block, 16, LookAlongZ(eye[0], eye[1], eye[2]) * Perspective(), "world-view-projection");
    ExpectTransposed(block, 32, Perspective() * bias, "world-projection-bias, the same for every eye");
  }
}

}  // namespace
