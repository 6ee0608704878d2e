// Each way to a headless context on its own: an OpenGL 4.5 core context that clears a target and reads
// the pixel back. Mesa offers all three (its software device through EGL_EXT_device_enumeration), so
// every path D3D11CreateDevice may fall back to is exercised here.
#include <GL/glcorearb.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdint>
#include <string>

#include "d3d11/gl_context.h"

namespace {

using platform::d3d11::GlContext;
using platform::d3d11::HeadlessPath;

struct PathCase {
  const char* name;
  HeadlessPath path;
  bool needsDisplayServer;
};

const PathCase kPathCases[] = {
    {"Surfaceless", HeadlessPath::kSurfaceless, false},
    {"Device", HeadlessPath::kDevice, false},
    {"DefaultDisplayWithPbuffer", HeadlessPath::kDefaultDisplay, true},
};

// Clears a 4 x 4 RGBA8 texture through a framebuffer object and reads back its top-left pixel.
std::array<uint8_t, 4> ClearAndRead(const float color[4]) {
  GLuint texture = 0, framebuffer = 0;
  glCreateTextures(GL_TEXTURE_2D, 1, &texture);
  glTextureStorage2D(texture, 1, GL_RGBA8, 4, 4);
  glCreateFramebuffers(1, &framebuffer);
  glNamedFramebufferTexture(framebuffer, GL_COLOR_ATTACHMENT0, texture, 0);
  glClearNamedFramebufferfv(framebuffer, GL_COLOR, 0, color);
  std::array<uint8_t, 4> pixel{1, 2, 3, 4};
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
  glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &framebuffer);
  glDeleteTextures(1, &texture);
  return pixel;
}

class HeadlessPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(HeadlessPathTest, GivesACoreContextThatClearsAndReadsBack) {
  const PathCase& c = GetParam();
  if (c.needsDisplayServer && !getenv("DISPLAY")) GTEST_SKIP() << "Mesa's default EGL display needs a display server";
  std::shared_ptr<GlContext> context = GlContext::CreateHeadless(c.path);
  ASSERT_TRUE(context);
  ASSERT_TRUE(context->MakeCurrent());
  GLint major = 0, minor = 0, profile = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
  EXPECT_GE(major * 10 + minor, 45);
  EXPECT_TRUE(profile & GL_CONTEXT_CORE_PROFILE_BIT);
  const float color[4] = {0.2f, 1, 0, 0.6f};
  EXPECT_EQ(ClearAndRead(color), (std::array<uint8_t, 4>{51, 255, 0, 153}));
  EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
}

INSTANTIATE_TEST_SUITE_P(Paths, HeadlessPathTest, ::testing::ValuesIn(kPathCases),
                         [](const ::testing::TestParamInfo<PathCase>& info) { return std::string(info.param.name); });

// Contexts of different paths live side by side and switch: each still reads back its own clear.
TEST(HeadlessPaths, ContextsOfDifferentPathsSwitch) {
  std::shared_ptr<GlContext> surfaceless = GlContext::CreateHeadless(HeadlessPath::kSurfaceless);
  std::shared_ptr<GlContext> device = GlContext::CreateHeadless(HeadlessPath::kDevice);
  ASSERT_TRUE(surfaceless && device);
  const float red[4] = {1, 0, 0, 1}, blue[4] = {0, 0, 1, 1};
  ASSERT_TRUE(surfaceless->MakeCurrent());
  EXPECT_EQ(ClearAndRead(red), (std::array<uint8_t, 4>{255, 0, 0, 255}));
  ASSERT_TRUE(device->MakeCurrent());
  EXPECT_EQ(ClearAndRead(blue), (std::array<uint8_t, 4>{0, 0, 255, 255}));
  ASSERT_TRUE(surfaceless->MakeCurrent());
  EXPECT_EQ(ClearAndRead(blue), (std::array<uint8_t, 4>{0, 0, 255, 255}));
}

}  // namespace
