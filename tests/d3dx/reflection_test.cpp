// The reflection the layer's compiled code carries for its Direct3D 11 device: vertex inputs by semantic,
// cbuffer registers and sizes, texture and sampler registers, and varying locations.
#include <d3dx11.h>
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <utility>

#include "common/shader_code.h"
#include "compile_support.h"
#include "test_files.h"

namespace {

using d3dx_test::Compiled;
using d3dx_test::CompileFile;
using d3dx_test::WriteTestFile;

// Compiles the source and returns the reflection its code carries (empty after a reported failure).
platform::ShaderCode CompileAndReflect(const std::string& file, const std::string& source, const char* entry,
                                       const char* profile) {
  Compiled compiled;
  CompileFile(WriteTestFile(file, source), entry, profile, &compiled);
  platform::ShaderCode code;
  EXPECT_EQ(compiled.hr, S_OK) << compiled.errors;
  EXPECT_TRUE(compiled.code &&
              platform::ParseShaderCode(compiled.code->GetBufferPointer(), compiled.code->GetBufferSize(), &code));
  return code;
}

// (location, GLSL type) of every "layout(location = N) <direction> <type> <name>" declaration.
std::set<std::pair<int, std::string>> DeclaredLocations(const std::string& glsl, const std::string& direction) {
  std::set<std::pair<int, std::string>> found;
  const std::regex declaration("layout\\(location = (\\d+)\\) " + direction + " (\\w+) \\w+;");
  for (std::sregex_iterator it(glsl.begin(), glsl.end(), declaration), end; it != end; ++it)
    found.insert({std::stoi((*it)[1]), (*it)[2]});
  return found;
}

TEST(HlslReflection, VertexInputsCarryTheirSemanticsAndLocations) {
  const platform::ShaderCode code = CompileAndReflect("inputs.hlsl", R"(
struct VertexIn {
    float3 position : POSITION;
    float3 normal : NORMAL;
    float2 uv : TEXCOORD0;
    float2 uv2 : TEXCOORD1;
    float4 tint : color;
};
float4 VS(VertexIn input) : SV_Position
{
    return float4(input.position + input.normal, 1) * input.tint + float4(input.uv, input.uv2);
}
)", "VS", "vs_5_0");
  EXPECT_EQ(code.stage, platform::ShaderStage::Vertex);

  std::map<std::pair<std::string, uint32_t>, uint32_t> locations;
  for (const platform::ShaderInput& input : code.inputs) locations[{input.semantic, input.semanticIndex}] = input.location;
  const std::map<std::pair<std::string, uint32_t>, std::string> expected = {
      {{"POSITION", 0}, "vec3"}, {{"NORMAL", 0}, "vec3"}, {{"TEXCOORD", 0}, "vec2"},
      {{"TEXCOORD", 1}, "vec2"}, {{"COLOR", 0}, "vec4"}};
  ASSERT_EQ(locations.size(), expected.size());
  const auto declared = DeclaredLocations(code.glsl, "in");
  std::set<uint32_t> distinct;
  for (const auto& [semantic, type] : expected) {
    ASSERT_EQ(locations.count(semantic), 1u) << semantic.first << semantic.second;
    const uint32_t location = locations[semantic];
    distinct.insert(location);
    EXPECT_EQ(declared.count({int(location), type}), 1u) << semantic.first << semantic.second << "\n" << code.glsl;
  }
  EXPECT_EQ(distinct.size(), expected.size());
}

TEST(HlslReflection, ConstantBuffersKeepTheirRegistersAndDirect3DPacking) {
  const platform::ShaderCode code = CompileAndReflect("cbuffers.hlsl", R"(
cbuffer Packed : register(b0) { float a; float3 b; };
cbuffer Matrices : register(b3) { float4x4 m; float c; };
cbuffer Arrays : register(b5) { float values[3]; };
float4 VS(float3 position : POSITION) : SV_Position
{
    return mul(float4(position * b + a, c), m) + values[2] + values[0];
}
)", "VS", "vs_5_0");

  std::map<uint32_t, platform::ShaderConstantBuffer> bySlot;
  for (const platform::ShaderConstantBuffer& cb : code.constantBuffers) bySlot[cb.slot] = cb;
  ASSERT_EQ(bySlot.size(), 3u);
  // b shares the first register with a (offset 4); std140 would have moved it to the second.
  EXPECT_EQ(bySlot[0].vec4Count, 1u);
  EXPECT_EQ(bySlot[3].vec4Count, 5u);
  // Array elements start a register each; the last one takes only its 4 bytes: 16 + 16 + 4.
  EXPECT_EQ(bySlot[5].vec4Count, 3u);
  std::set<std::string> names;
  for (const auto& [slot, cb] : bySlot) {
    names.insert(cb.uniformName);
    EXPECT_NE(code.glsl.find("uniform vec4 " + cb.uniformName + "[" + std::to_string(cb.vec4Count) + "];"),
              std::string::npos)
        << "b" << slot << "\n" << code.glsl;
  }
  EXPECT_EQ(names.size(), 3u);
}

TEST(HlslReflection, TexturesRecordTheirTextureAndSamplerRegisters) {
  const platform::ShaderCode code = CompileAndReflect("textures.hlsl", R"(
Texture2D first : register(t0);
Texture2D second : register(t3);
SamplerState wrap : register(s0);
SamplerState clampSampler : register(s2);
float4 SampleThrough(Texture2D t, SamplerState s, float2 uv) { return t.Sample(s, uv); }
float4 PS(float4 position : SV_Position, float2 uv : TEXCOORD0) : SV_Target
{
    return SampleThrough(first, clampSampler, uv) + second.Sample(wrap, uv) + second.Load(int3(0, 0, 0));
}
)", "PS", "ps_5_0");
  EXPECT_EQ(code.stage, platform::ShaderStage::Pixel);

  std::set<std::pair<uint32_t, uint32_t>> pairs;
  std::set<std::string> names;
  for (const platform::ShaderSampledTexture& texture : code.textures) {
    pairs.insert({texture.textureSlot, texture.samplerSlot});
    names.insert(texture.uniformName);
    EXPECT_NE(code.glsl.find("uniform sampler2D " + texture.uniformName + ";"), std::string::npos) << code.glsl;
  }
  const std::set<std::pair<uint32_t, uint32_t>> expected = {
      {0, 2}, {3, 0}, {3, platform::ShaderSampledTexture::kNoSampler}};
  EXPECT_EQ(pairs, expected);
  EXPECT_EQ(names.size(), code.textures.size());
}

TEST(HlslReflection, VaryingsAreLocatedBySemanticInBothStages) {
  // The two stages declare their structures in different orders and the pixel shader reads only some of
  // what the vertex shader writes, as Direct3D allows.
  const std::string source = R"(
struct VertexOut {
    float4 position : SV_Position;
    float2 uv : TEXCOORD0;
    float4 tint : COLOR0;
    float fog : FOGFACTOR;
    float4 projected : TEXCOORD3;
    float3 normal : NORMAL;
};
struct PixelIn {
    float4 projected : TEXCOORD3;
    float3 normal : NORMAL;
    float4 position : SV_Position;
    float fog : FOGFACTOR;
    float2 uv : TEXCOORD0;
};
VertexOut VS(float3 p : POSITION)
{
    VertexOut o;
    o.position = float4(p, 1);
    o.uv = p.xy;
    o.tint = p.xyzz;
    o.fog = p.z;
    o.projected = p.zyxx;
    o.normal = p;
    return o;
}
float4 PS(PixelIn i) : SV_Target
{
    return i.projected * i.fog + float4(i.normal, 1) + i.uv.xyxy;
}
)";
  const auto outputs = DeclaredLocations(CompileAndReflect("varyings.hlsl", source, "VS", "vs_5_0").glsl, "out");
  const auto inputs = DeclaredLocations(CompileAndReflect("varyings.hlsl", source, "PS", "ps_5_0").glsl, "in");
  EXPECT_EQ(outputs.size(), 5u);
  EXPECT_EQ(inputs.size(), 4u);
  for (const auto& input : inputs) EXPECT_EQ(outputs.count(input), 1u) << "location " << input.first;
  std::set<int> locations;
  for (const auto& output : outputs) locations.insert(output.first);
  EXPECT_EQ(locations.size(), outputs.size());
}

}  // namespace
