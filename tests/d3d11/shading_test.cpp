// What shaders read: constant buffers as they are at each draw, textures at t0/t1 through samplers at s0,
// null texture slots, address modes, level-of-detail limits and Direct3D's default sampler.
#include "d3d11_test.h"
#include "implementation_gaps.h"

namespace d3d11_test {
namespace {

const float kWhiteF[4] = {1, 1, 1, 1};
const Rgba kBlack{0, 0, 0, 255};

struct Placement {
  float offset[4];
  float tint[4];
};

using ConstantBuffers = RenderTest;

TEST_F(ConstantBuffers, EachDrawSeesTheContentsMappedBeforeIt) {
  UseColorShaders("VSPlaced");
  Com<ID3D11Buffer> constants = MakeDynamicConstantBuffer(sizeof(Placement));
  context->VSSetConstantBuffers(0, 1, constants.address());
  // A quad covering the middle column, moved left then right by the constant buffer.
  const std::vector<ColorVertex> quad = ColorQuad(-0.25f, -0.5f, 0.25f, 0.5f, 0.5f, kWhiteF);
  const Placement left = {{-0.5f, 0, 0, 0}, {1, 0, 0, 1}};
  const Placement right = {{0.5f, 0, 0, 0}, {0, 1, 0, 1}};
  Fill(constants.get(), &left, sizeof left);
  DrawColored(quad);
  Fill(constants.get(), &right, sizeof right);
  DrawColored(quad);
  const std::vector<Rgba> pixels = ReadTarget();
  EXPECT_EQ(At(pixels, 16, 32), kRed);
  EXPECT_EQ(At(pixels, 48, 32), kGreen);
  EXPECT_EQ(At(pixels, 32, 32), kBlack);
}

TEST_F(ConstantBuffers, SwitchingBuffersInASlotAndBackUploadsEachTime) {
  UseColorShaders("VSPlaced");
  Com<ID3D11Buffer> first = MakeDynamicConstantBuffer(sizeof(Placement));
  Com<ID3D11Buffer> second = MakeDynamicConstantBuffer(sizeof(Placement));
  const Placement red = {{-0.5f, 0, 0, 0}, {1, 0, 0, 1}};
  const Placement blue = {{0.5f, 0, 0, 0}, {0, 0, 1, 1}};
  Fill(first.get(), &red, sizeof red);
  Fill(second.get(), &blue, sizeof blue);
  const std::vector<ColorVertex> quad = ColorQuad(-0.25f, -0.5f, 0.25f, 0.5f, 0.5f, kWhiteF);
  context->VSSetConstantBuffers(0, 1, second.address());
  DrawColored(quad);
  context->VSSetConstantBuffers(0, 1, first.address());
  DrawColored(quad);
  // Back to the second buffer, unchanged since its last upload, but a different one than last draw's.
  const float black[4] = {0, 0, 0, 1};
  Clear(black);
  context->VSSetConstantBuffers(0, 1, second.address());
  DrawColored(quad);
  ExpectHalves(kBlack, kBlue);
}

TEST_F(ConstantBuffers, AnEmptySlotReadsAsZeros) {
  UseColorShaders("VSPlaced");
  Com<ID3D11Buffer> constants = MakeDynamicConstantBuffer(sizeof(Placement));
  const Placement left = {{-0.5f, 0, 0, 0}, {1, 0, 0, 1}};
  Fill(constants.get(), &left, sizeof left);
  context->VSSetConstantBuffers(0, 1, constants.address());
  const std::vector<ColorVertex> quad = ColorQuad(-0.25f, -0.5f, 0.25f, 0.5f, 0.5f, kWhiteF);
  DrawColored(quad);
  ID3D11Buffer* none = nullptr;
  context->VSSetConstantBuffers(0, 1, &none);
  DrawColored(quad);  // no offset, tint (0, 0, 0, 0)
  const std::vector<Rgba> pixels = ReadTarget();
  EXPECT_EQ(At(pixels, 16, 32), kRed);
  EXPECT_EQ(At(pixels, 32, 32), kZero);
}

// 8 x 8 textures of one colour per level, quads covering the target.
std::vector<std::vector<Rgba>> Solid(UINT size, std::vector<Rgba> colors) {
  std::vector<std::vector<Rgba>> levels;
  for (Rgba c : colors) {
    levels.emplace_back(size_t{size} * size, c);
    size = std::max(1u, size / 2);
  }
  return levels;
}

using Textures = RenderTest;

TEST_F(Textures, SlotsT0AndT1SampleTheirOwnTextures) {
  UseTexturedShaders("PSTwoTextures");
  Com<ID3D11Texture2D> red = MakeTexture(8, 8, Solid(8, {kRed}));
  Com<ID3D11Texture2D> green = MakeTexture(8, 8, Solid(8, {kGreen}));
  Com<ID3D11ShaderResourceView> views[2] = {MakeView(red.get()), MakeView(green.get())};
  ID3D11ShaderResourceView* bound[2] = {views[0].get(), views[1].get()};
  context->PSSetShaderResources(0, 2, bound);
  DrawTextured(TexturedQuad(-1, -1, 1, 1, 1, 1));
  ExpectHalves(kRed, kGreen);
}

TEST_F(Textures, NullSlotSamplesTransparentBlack) {
  UseTexturedShaders("PSTwoTextures");
  Com<ID3D11Texture2D> red = MakeTexture(8, 8, Solid(8, {kRed}));
  Com<ID3D11ShaderResourceView> view = MakeView(red.get());
  context->PSSetShaderResources(0, 1, view.address());
  ID3D11ShaderResourceView* none = nullptr;
  context->PSSetShaderResources(1, 1, &none);
  const float white[4] = {1, 1, 1, 1};
  Clear(white);
  DrawTextured(TexturedQuad(-1, -1, 1, 1, 1, 1));
  const std::vector<Rgba> pixels = ReadTarget();
  EXPECT_EQ(At(pixels, 16, 32), kRed);
  EXPECT_EQ(At(pixels, 48, 32), kZero);  // alpha 0 too
}

TEST_F(Textures, UnbindingAViewFallsBackToZero) {
  SKIP_ON_WINE("after PSSetShaderResources unbinds t0 it keeps sampling the texture that was there; Direct3D "
               "reads (0, 0, 0, 0) from a null slot");
  UseTexturedShaders("PSFirstTexture");
  Com<ID3D11Texture2D> red = MakeTexture(8, 8, Solid(8, {kRed}));
  Com<ID3D11ShaderResourceView> view = MakeView(red.get());
  context->PSSetShaderResources(0, 1, view.address());
  DrawTextured(TexturedQuad(-1, -1, 0, 1, 1, 1));
  ID3D11ShaderResourceView* none = nullptr;
  context->PSSetShaderResources(0, 1, &none);
  DrawTextured(TexturedQuad(0, -1, 1, 1, 1, 1));
  ExpectHalves(kRed, kZero);
}

// A 2 x 1 texture, red then blue, point-sampled across u in [0, 2).
class AddressModes : public RenderTest {
 protected:
  void DrawStripes(D3D11_TEXTURE_ADDRESS_MODE mode) {
    UseTexturedShaders("PSFirstTexture");
    texture_ = MakeTexture(2, 1, {{kRed, kBlue}});
    view_ = MakeView(texture_.get());
    sampler_ = MakeSampler(D3D11_FILTER_MIN_MAG_MIP_POINT, mode, D3D11_FLOAT32_MAX);
    BindTexture(view_.get(), sampler_.get());
    DrawTextured(TexturedQuad(-1, -1, 1, 1, 2, 1));
  }
  Com<ID3D11Texture2D> texture_;
  Com<ID3D11ShaderResourceView> view_;
  Com<ID3D11SamplerState> sampler_;
};

TEST_F(AddressModes, WrapRepeatsTheTexture) {
  DrawStripes(D3D11_TEXTURE_ADDRESS_WRAP);
  ExpectQuarters(kRed, kBlue, kRed, kBlue);
}

TEST_F(AddressModes, ClampRepeatsTheEdge) {
  DrawStripes(D3D11_TEXTURE_ADDRESS_CLAMP);
  ExpectQuarters(kRed, kBlue, kBlue, kBlue);
}

// An 8 x 8 texture with a full mip chain of initial data, one colour per level, drawn on a 2 x 2 pixel
// quad: the level of detail is log2(8 / 2) = 2, the blue level.
class LevelOfDetail : public RenderTest {
 protected:
  void DrawSmall(ID3D11SamplerState* sampler) {
    UseTexturedShaders("PSFirstTexture");
    texture_ = MakeTexture(8, 8, Solid(8, {kRed, kGreen, kBlue, kWhite}));
    view_ = MakeView(texture_.get());
    BindTexture(view_.get(), sampler);
    const float pixel = 2.0f / kSize;
    DrawTextured(TexturedQuad(-pixel, -pixel, pixel, pixel, 1, 1));
  }
  Com<ID3D11Texture2D> texture_;
  Com<ID3D11ShaderResourceView> view_;
};

TEST_F(LevelOfDetail, DefaultSamplerUsesTheMipChain) {
  DrawSmall(nullptr);
  const std::vector<Rgba> pixels = ReadTarget();
  EXPECT_EQ(At(pixels, 32, 32), kBlue);
  EXPECT_EQ(At(pixels, 31, 31), kBlue);
}

TEST_F(LevelOfDetail, MaxLodZeroSamplesOnlyTheTopLevel) {
  Com<ID3D11SamplerState> sampler = MakeSampler(D3D11_FILTER_MIN_MAG_MIP_LINEAR, D3D11_TEXTURE_ADDRESS_WRAP, 0.0f);
  DrawSmall(sampler.get());
  const std::vector<Rgba> pixels = ReadTarget();
  EXPECT_EQ(At(pixels, 32, 32), kRed);
  EXPECT_EQ(At(pixels, 31, 31), kRed);
}

TEST_F(LevelOfDetail, ViewOfLowerLevelsStartsThere) {
  UseTexturedShaders("PSFirstTexture");
  Com<ID3D11Texture2D> texture = MakeTexture(8, 8, Solid(8, {kRed, kGreen, kBlue, kWhite}));
  D3D11_SHADER_RESOURCE_VIEW_DESC desc = {};
  desc.Format = DXGI_FORMAT_UNKNOWN;
  desc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
  desc.Texture2D.MostDetailedMip = 1;
  desc.Texture2D.MipLevels = UINT(-1);
  Com<ID3D11ShaderResourceView> view;
  ASSERT_EQ(device->CreateShaderResourceView(texture.get(), &desc, view.put()), S_OK);
  Com<ID3D11SamplerState> sampler = MakeSampler(D3D11_FILTER_MIN_MAG_MIP_POINT, D3D11_TEXTURE_ADDRESS_WRAP, 0.0f);
  BindTexture(view.get(), sampler.get());
  DrawTextured(TexturedQuad(-1, -1, 1, 1, 1, 1));
  const std::vector<Rgba> pixels = ReadTarget();
  EXPECT_EQ(At(pixels, 32, 32), kGreen);
}

TEST_F(Textures, UploadedRowsKeepTheirOrderTopFirst) {
  UseTexturedShaders("PSFirstTexture");
  // Row 0 red, row 1 green, padded rows (pitch 16 bytes for 2 pixels) as a loader may hand them over.
  const Rgba rows[2][4] = {{kRed, kRed, kZero, kZero}, {kGreen, kGreen, kZero, kZero}};
  D3D11_TEXTURE2D_DESC desc = {2, 2, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D11_USAGE_DEFAULT,
                               D3D11_BIND_SHADER_RESOURCE, 0, 0};
  const D3D11_SUBRESOURCE_DATA initial = {rows, 16, 0};
  Com<ID3D11Texture2D> texture;
  ASSERT_EQ(device->CreateTexture2D(&desc, &initial, texture.put()), S_OK);
  Com<ID3D11ShaderResourceView> view = MakeView(texture.get());
  Com<ID3D11SamplerState> sampler = MakeSampler(D3D11_FILTER_MIN_MAG_MIP_POINT, D3D11_TEXTURE_ADDRESS_CLAMP, 0.0f);
  BindTexture(view.get(), sampler.get());
  DrawTextured(TexturedQuad(-1, -1, 1, 1, 1, 1));  // v = 0 at the top
  const std::vector<Rgba> pixels = ReadTarget();
  EXPECT_EQ(At(pixels, 32, 8), kRed);
  EXPECT_EQ(At(pixels, 32, 56), kGreen);
}

}  // namespace
}  // namespace d3d11_test
