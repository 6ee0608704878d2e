// Rasterisation as Direct3D 11 defines it: clears, positions with a top-left origin, clip-space depth in
// [0, 1], the default depth test, depth clipping and clamping, and culling by winding.
#include <string.h>

#include "d3d11_test.h"
#include "implementation_gaps.h"

namespace d3d11_test {
namespace {

const float kRedF[4] = {1, 0, 0, 1};
const float kGreenF[4] = {0, 1, 0, 1};
const float kBlueF[4] = {0, 0, 1, 1};
const Rgba kBlack{0, 0, 0, 255};

using Clearing = RenderTest;

TEST_F(Clearing, ClearColourReadsBackInEveryPixel) {
  const float color[4] = {0.25f, 0.5f, 0.75f, 1.0f};
  Clear(color);
  const std::vector<Rgba> pixels = ReadTarget();
  ASSERT_EQ(pixels.size(), size_t{kSize} * kSize);
  for (const Rgba& p : pixels) {
    ASSERT_NEAR(p.r, 64, 1);
    ASSERT_NEAR(p.g, 128, 1);
    ASSERT_NEAR(p.b, 191, 1);
    ASSERT_EQ(p.a, 255);
  }
}

TEST_F(Clearing, ClearIgnoresTheViewport) {
  const D3D11_VIEWPORT corner = {0, 0, 8, 8, 0, 1};
  context->RSSetViewports(1, &corner);
  Clear(kGreenF);
  const std::vector<Rgba> pixels = ReadTarget();
  EXPECT_EQ(At(pixels, 0, 0), kGreen);
  EXPECT_EQ(At(pixels, kSize - 1, kSize - 1), kGreen);
}

using Positions = RenderTest;

TEST_F(Positions, UpperLeftTriangleLandsInTheTopRowsOfTheReadBack) {
  UseColorShaders();
  // Clip-space y up: this triangle covers the upper-left corner of the target.
  DrawColored({{-1, 1, 0.5f, 1, 0, 0, 1}, {0, 1, 0.5f, 1, 0, 0, 1}, {-1, 0, 0.5f, 1, 0, 0, 1}});
  const std::vector<Rgba> pixels = ReadTarget();
  EXPECT_EQ(At(pixels, 2, 2), kRed);
  EXPECT_EQ(At(pixels, 20, 5), kRed);
  EXPECT_EQ(At(pixels, 5, 20), kRed);
  EXPECT_EQ(At(pixels, 30, 30), kBlack);      // past the diagonal
  EXPECT_EQ(At(pixels, 2, kSize - 3), kBlack);  // bottom-left
  EXPECT_EQ(At(pixels, kSize - 3, 2), kBlack);  // top-right
}

TEST_F(Positions, VertexColoursInterpolateAcrossTheTriangle) {
  UseColorShaders();
  // Red at the left edge, blue at the right: the middle column mixes both.
  DrawColored({{-1, 1, 0.5f, 1, 0, 0, 1}, {1, 1, 0.5f, 0, 0, 1, 1}, {1, -1, 0.5f, 0, 0, 1, 1},
               {-1, 1, 0.5f, 1, 0, 0, 1}, {1, -1, 0.5f, 0, 0, 1, 1}, {-1, -1, 0.5f, 1, 0, 0, 1}});
  const std::vector<Rgba> pixels = ReadTarget();
  EXPECT_GT(At(pixels, 1, 32).r, 240);
  EXPECT_GT(At(pixels, kSize - 2, 32).b, 240);
  EXPECT_NEAR(At(pixels, 32, 32).r, 127, 6);
  EXPECT_NEAR(At(pixels, 32, 32).b, 127, 6);
}

TEST_F(Positions, ViewportOffsetCountsFromTheTop) {
  UseColorShaders();
  const D3D11_VIEWPORT lowerHalf = {0, 32, 64, 32, 0, 1};
  context->RSSetViewports(1, &lowerHalf);
  DrawColored(ColorQuad(-1, -1, 1, 1, 0.5f, kRedF));
  const std::vector<Rgba> pixels = ReadTarget();
  EXPECT_EQ(At(pixels, 10, 10), kBlack);
  EXPECT_EQ(At(pixels, 10, 40), kRed);
}

TEST_F(Positions, TriangleStripsRestartAtTheAllOnesIndex) {
  UseColorShaders();
  // Two separate clockwise triangles in one strip: left quarter and right quarter of the target.
  const std::vector<ColorVertex> vertices = {{-1, 1, 0.5f, 1, 0, 0, 1},  {-0.5f, 1, 0.5f, 1, 0, 0, 1},
                                             {-1, -1, 0.5f, 1, 0, 0, 1}, {0.5f, 1, 0.5f, 0, 1, 0, 1},
                                             {1, 1, 0.5f, 0, 1, 0, 1},   {0.5f, -1, 0.5f, 0, 1, 0, 1}};
  const uint32_t indices[] = {0, 1, 2, 0xFFFFFFFFu, 3, 4, 5};
  Com<ID3D11Buffer> vertexBuffer =
      MakeBuffer(D3D11_BIND_VERTEX_BUFFER, vertices.data(), UINT(vertices.size() * sizeof(ColorVertex)));
  Com<ID3D11Buffer> indexBuffer = MakeBuffer(D3D11_BIND_INDEX_BUFFER, indices, sizeof indices);
  const UINT stride = sizeof(ColorVertex), offset = 0;
  context->IASetVertexBuffers(0, 1, vertexBuffer.address(), &stride, &offset);
  context->IASetIndexBuffer(indexBuffer.get(), DXGI_FORMAT_R32_UINT, 0);
  context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
  context->DrawIndexed(7, 0, 0);
  const std::vector<Rgba> pixels = ReadTarget();
  EXPECT_EQ(At(pixels, 2, 8), kRed);
  EXPECT_EQ(At(pixels, kSize - 3, 8), kGreen);
  EXPECT_EQ(At(pixels, 32, 8), kBlack);  // nothing joins the two triangles
}

TEST_F(Positions, IndicesPastTheEndOfTheIndexBufferAreNotRead) {
  SKIP_ON_WINE("a DrawIndexed that runs past the end of the index buffer draws nothing, not even the triangle "
               "inside it; Direct3D reads indices past the end as 0");
  UseColorShaders();
  const std::vector<ColorVertex> vertices = {
      {-1, 1, 0.5f, 1, 0, 0, 1}, {0, 1, 0.5f, 1, 0, 0, 1}, {-1, 0, 0.5f, 1, 0, 0, 1}};
  const uint32_t indices[] = {0, 1, 2};
  Com<ID3D11Buffer> vertexBuffer =
      MakeBuffer(D3D11_BIND_VERTEX_BUFFER, vertices.data(), UINT(vertices.size() * sizeof(ColorVertex)));
  Com<ID3D11Buffer> indexBuffer = MakeBuffer(D3D11_BIND_INDEX_BUFFER, indices, sizeof indices);
  const UINT stride = sizeof(ColorVertex), offset = 0;
  context->IASetVertexBuffers(0, 1, vertexBuffer.address(), &stride, &offset);
  context->IASetIndexBuffer(indexBuffer.get(), DXGI_FORMAT_R32_UINT, 0);
  context->DrawIndexed(3000000, 0, 0);  // the buffer holds one triangle
  context->DrawIndexed(3, 1000000, 0);  // starts past the end: nothing
  const std::vector<Rgba> pixels = ReadTarget();
  EXPECT_EQ(At(pixels, 2, 2), kRed);
  EXPECT_EQ(At(pixels, 30, 30), kBlack);
}

using Depth = RenderTest;

TEST_F(Depth, DefaultTestIsLessWithWritesOn) {
  UseColorShaders();
  DrawColored(ColorQuad(-1, -1, 1, 1, 0.3f, kGreenF));
  DrawColored(ColorQuad(-1, -1, 1, 1, 0.6f, kRedF));   // behind: fails
  DrawColored(ColorQuad(-1, -1, 0, 1, 0.3f, kBlueF));  // equal depth: fails LESS
  DrawColored(ColorQuad(0, -1, 1, 1, 0.1f, kBlueF));   // in front: passes
  ExpectHalves(kGreen, kBlue);
}

TEST_F(Depth, ClipSpaceDepthIsStoredUnchanged) {
  UseColorShaders();
  DrawColored(ColorQuad(-1, -1, 1, 1, 0.25f, kGreenF));
  const std::vector<uint8_t> bytes = ReadTexture(device.get(), context.get(), depth.get());
  ASSERT_EQ(bytes.size(), size_t{kSize} * kSize * 4);
  float value = 0;
  memcpy(&value, &bytes[(10 * kSize + 10) * 4], sizeof value);
  EXPECT_FLOAT_EQ(value, 0.25f);
}

TEST_F(Depth, ViewportDepthRangeMapsClipDepth) {
  UseColorShaders();
  const D3D11_VIEWPORT viewport = {0, 0, 64, 64, 0.5f, 1.0f};
  context->RSSetViewports(1, &viewport);
  // z 0.4 lands at 0.7 in the depth buffer: a quad at z 0.8 with the full range (0.8) is behind it.
  DrawColored(ColorQuad(-1, -1, 1, 1, 0.4f, kGreenF));
  const D3D11_VIEWPORT full = {0, 0, 64, 64, 0.0f, 1.0f};
  context->RSSetViewports(1, &full);
  DrawColored(ColorQuad(-1, -1, 0, 1, 0.8f, kRedF));
  DrawColored(ColorQuad(0, -1, 1, 1, 0.6f, kBlueF));
  ExpectHalves(kGreen, kBlue);
}

// Without a depth buffer every fragment passes, so only clipping decides what is drawn.
class DepthClip : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    context->OMSetRenderTargets(1, targetView.address(), nullptr);
    UseColorShaders();
  }
};

TEST_F(DepthClip, GeometryOutsideZeroToOneIsClippedByDefault) {
  DrawColored(ColorQuad(-1, -1, 0, 1, -0.5f, kRedF));  // in front of the near plane
  DrawColored(ColorQuad(0, -1, 1, 1, 1.5f, kRedF));    // past the far plane
  ExpectHalves(kBlack, kBlack);
}

TEST_F(DepthClip, DepthClipDisabledClampsInstead) {
  Com<ID3D11RasterizerState> clamp = MakeRasterizer(D3D11_CULL_NONE, FALSE, FALSE);
  context->RSSetState(clamp.get());
  DrawColored(ColorQuad(-1, -1, 0, 1, -0.5f, kRedF));
  DrawColored(ColorQuad(0, -1, 1, 1, 1.5f, kGreenF));
  ExpectHalves(kRed, kGreen);
}

TEST_F(DepthClip, ClampedDepthStillPassesTheDepthTestAgainstItsClampedValue) {
  context->OMSetRenderTargets(1, targetView.address(), depthView.get());
  context->ClearDepthStencilView(depthView.get(), D3D11_CLEAR_DEPTH, 0.5f, 0);
  Com<ID3D11RasterizerState> clamp = MakeRasterizer(D3D11_CULL_NONE, FALSE, FALSE);
  context->RSSetState(clamp.get());
  DrawColored(ColorQuad(-1, -1, 0, 1, -3.0f, kRedF));  // clamped to 0: in front of 0.5
  DrawColored(ColorQuad(0, -1, 1, 1, 3.0f, kRedF));    // clamped to 1: behind
  ExpectHalves(kRed, kBlack);
}

using Culling = RenderTest;

// Left half: a clockwise quad; right half: the same quad wound counter-clockwise.
std::vector<ColorVertex> BothWindings() {
  std::vector<ColorVertex> clockwise = ColorQuad(-1, -1, 0, 1, 0.5f, kRedF);
  std::vector<ColorVertex> counter = ColorQuad(0, -1, 1, 1, 0.5f, kGreenF);
  std::swap(counter[1], counter[2]);
  std::swap(counter[4], counter[5]);
  clockwise.insert(clockwise.end(), counter.begin(), counter.end());
  return clockwise;
}

TEST_F(Culling, DefaultStateCullsCounterClockwiseTriangles) {
  UseColorShaders();
  DrawColored(BothWindings());
  ExpectHalves(kRed, kBlack);
}

TEST_F(Culling, FrontCounterClockwiseTurnsWhichSideIsCulled) {
  UseColorShaders();
  Com<ID3D11RasterizerState> state = MakeRasterizer(D3D11_CULL_BACK, TRUE, TRUE);
  context->RSSetState(state.get());
  DrawColored(BothWindings());
  ExpectHalves(kBlack, kGreen);
}

TEST_F(Culling, CullFrontAndCullNone) {
  UseColorShaders();
  Com<ID3D11RasterizerState> front = MakeRasterizer(D3D11_CULL_FRONT, FALSE, TRUE);
  context->RSSetState(front.get());
  DrawColored(BothWindings());
  ExpectHalves(kBlack, kGreen);

  Com<ID3D11RasterizerState> none = MakeRasterizer(D3D11_CULL_NONE, FALSE, TRUE);
  context->RSSetState(none.get());
  context->ClearDepthStencilView(depthView.get(), D3D11_CLEAR_DEPTH, 1.0f, 0);
  DrawColored(BothWindings());
  ExpectHalves(kRed, kGreen);

  context->RSSetState(nullptr);  // back to the default: cull back, clockwise front
  const float black[4] = {0, 0, 0, 1};
  Clear(black);
  DrawColored(BothWindings());
  ExpectHalves(kRed, kBlack);
}

}  // namespace
}  // namespace d3d11_test
