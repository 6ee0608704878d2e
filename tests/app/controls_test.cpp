// The key controls: which value each key moves, the double-precision steps, and opposite keys cancelling.
#include "shell_fixture.h"

namespace {

// What the loop must produce: the float widened to double, the double step added, rounded back.
float DoubleStepped(float value, double step, int frames) {
  for (int i = 0; i < frames; ++i) value = static_cast<float>(static_cast<double>(value) + step);
  return value;
}

float FloatStepped(float value, float step, int frames) {
  for (int i = 0; i < frames; ++i) value += step;
  return value;
}

using ControlsTest = ShellTest;

// Adding in double and in float give the same floats for most counts; they part where the value crosses
// zero, which W reaches from z = -0.1 after 1000 frames.
TEST_F(ControlsTest, HeldKeysStepInDoublePrecisionOncePerFrame) {
  const int frames = 1000;
  HoldKeys({'W'});
  RunFrames(frames);
  EXPECT_EQ(g_standIns.framesRendered, frames);

  const float expected = DoubleStepped(-0.1f, 0.0001, frames);
  ASSERT_NE(expected, FloatStepped(-0.1f, 0.0001f, frames));  // the check can tell the two apart
  EXPECT_EQ(g_app->cameraPosition.z, expected);
  EXPECT_EQ(g_app->cameraPosition.x, 0.0f);
  EXPECT_EQ(g_app->cameraPosition.y, 0.3f);
  EXPECT_EQ(g_app->fogDensity, 1.0f);
}

struct KeyCase {
  WORD key;
  int component;  // 0, 1, 2: camera x, y, z; 3: fog density
  double step;
};

float& Component(Application& app, int component) {
  return component < 3 ? app.cameraPosition[component] : app.fogDensity;
}

TEST_F(ControlsTest, EachKeyMovesOnlyItsOwnValue) {
  const KeyCase cases[] = {{'W', 2, +0.0001}, {'S', 2, -0.0001}, {'A', 0, -0.0001}, {'D', 0, +0.0001},
                           {'Q', 1, -0.0001}, {'E', 1, +0.0001}, {'Z', 3, +0.0003}, {'X', 3, -0.0003}};
  const int frames = 50;
  for (const KeyCase& keyCase : cases) {
    SCOPED_TRACE(static_cast<char>(keyCase.key));
    Application defaults;
    HWND hWnd = g_app->hWnd;
    *g_app = defaults;
    g_app->hWnd = hWnd;
    g_standIns.framesRendered = 0;

    HoldKeys({keyCase.key});
    RunFrames(frames);
    SendKey(keyCase.key, true);
    DrainQueue();

    for (int component = 0; component < 4; ++component) {
      const float start = Component(defaults, component);
      const float expected = component == keyCase.component ? DoubleStepped(start, keyCase.step, frames) : start;
      EXPECT_EQ(Component(*g_app, component), expected) << "component " << component;
    }
  }
}

TEST_F(ControlsTest, OppositeKeysCancel) {
  const int frames = 2000;
  HoldKeys({'W', 'S', 'A', 'D', 'Q', 'E', 'Z', 'X'});
  RunFrames(frames);
  EXPECT_NEAR(g_app->cameraPosition.x, 0.0f, 1e-6f);
  EXPECT_NEAR(g_app->cameraPosition.y, 0.3f, 1e-6f);
  EXPECT_NEAR(g_app->cameraPosition.z, -0.1f, 1e-6f);
  EXPECT_NEAR(g_app->fogDensity, 1.0f, 1e-6f);
}

TEST_F(ControlsTest, FogDensityGoesBelowZeroUnclamped) {
  const int frames = 3334;  // the first frame past zero
  HoldKeys({'X'});
  RunFrames(frames);
  const float expected = DoubleStepped(1.0f, -0.0003, frames);
  ASSERT_NE(expected, FloatStepped(1.0f, -0.0003f, frames));
  EXPECT_LT(g_app->fogDensity, 0.0f);
  EXPECT_EQ(g_app->fogDensity, expected);
}

}  // namespace
