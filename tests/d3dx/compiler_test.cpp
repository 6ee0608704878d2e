// D3DX11CompileFromFileW: failures and their messages (as on Windows), and the reflection the layer's
// compiled code carries for the Direct3D 11 layer.
#include <d3dx10math.h>
#include <d3dx11.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <utility>

#include "common/shader_code.h"
#include "d3d11/d3d11_test.h"
#include "test_files.h"

namespace {

using d3dx_test::Widen;
using d3dx_test::WriteTestFile;

struct Compiled {
  Compiled() = default;
  Compiled(const Compiled&) = delete;
  Compiled& operator=(const Compiled&) = delete;
  ~Compiled() {
    if (code) code->Release();
  }
  HRESULT hr = S_OK;
  HRESULT reported = S_OK;  // through pHResult
  ID3D10Blob* code = nullptr;
  std::string errors;
};

void CompileFile(const std::string& path, const char* entry, const char* profile, Compiled* out,
                 const D3D10_SHADER_MACRO* defines = nullptr, ID3DInclude* include = nullptr) {
  ID3D10Blob* errors = nullptr;
  out->code = reinterpret_cast<ID3D10Blob*>(&out->errors);  // must be overwritten
  out->hr = D3DX11CompileFromFileW(Widen(path).c_str(), defines, include, entry, profile,
                                   D3D10_SHADER_DEBUG | D3D10_SHADER_SKIP_OPTIMIZATION, 0, nullptr, &out->code,
                                   &errors, &out->reported);
  if (errors) {
    const char* text = static_cast<const char*>(errors->GetBufferPointer());
    out->errors.assign(text, strnlen(text, errors->GetBufferSize()));
    errors->Release();
  }
}

const char kVertexOnly[] = R"(float4 VS(float3 position : POSITION) : SV_Position
{
    return float4(position, 1);
}
)";

// ---- Failures ---------------------------------------------------------------------------------------------

TEST(HlslCompileErrors, MissingFileFailsWithAMessageNamingIt) {
  Compiled result;
  CompileFile(d3dx_test::TestFilePath("no_such_shader.hlsl"), "VS", "vs_5_0", &result);
  EXPECT_TRUE(FAILED(result.hr));
  EXPECT_EQ(result.code, nullptr);
  EXPECT_NE(result.errors.find("no_such_shader.hlsl"), std::string::npos) << result.errors;
}

TEST(HlslCompileErrors, ErrorsAreReportedWithFileAndLine) {
  const struct {
    const char* file;
    const char* source;
    const char* located;    // "file(line"
    const char* mentioned;  // a word of the message
  } cases[] = {
      {"syntax_error.hlsl",
       "float4 VS(float3 position : POSITION) : SV_Position\n{\n    float4 result = float4(position, 1);\n"
       "    result.x = ;\n    return result;\n}\n",
       "syntax_error.hlsl(4", "error"},
      {"undeclared.hlsl", "float4 VS(float3 position : POSITION) : SV_Position\n{\n    return float4(positon, 1);\n}\n",
       "undeclared.hlsl(3", "positon"},
  };
  for (const auto& c : cases) {
    Compiled result;
    CompileFile(WriteTestFile(c.file, c.source), "VS", "vs_5_0", &result);
    EXPECT_EQ(result.hr, E_FAIL) << c.file;
    EXPECT_EQ(result.code, nullptr) << c.file;
    EXPECT_NE(result.errors.find(c.located), std::string::npos) << result.errors;
    EXPECT_NE(result.errors.find(c.mentioned), std::string::npos) << result.errors;
  }
}

TEST(HlslCompileErrors, MissingEntryPointOrUnknownProfileFailsNamingIt) {
  const std::string path = WriteTestFile("vertex_only_a.hlsl", kVertexOnly);
  const struct {
    const char* entry;
    const char* profile;
    const char* named;
  } cases[] = {{"MainVS", "vs_5_0", "MainVS"}, {"VS", "xs_5_0", "xs_5_0"}};
  for (const auto& c : cases) {
    Compiled result;
    CompileFile(path, c.entry, c.profile, &result);
    EXPECT_EQ(result.hr, E_FAIL) << c.named;
    EXPECT_EQ(result.code, nullptr) << c.named;
    EXPECT_NE(result.errors.find(c.named), std::string::npos) << result.errors;
  }
}

TEST(HlslCompileErrors, FileWithVertexShaderOnlyFailsForThePixelShader) {
  const std::string path = WriteTestFile("vertex_only_b.hlsl", kVertexOnly);
  Compiled vertex, pixel;
  CompileFile(path, "VS", "vs_5_0", &vertex);
  CompileFile(path, "PS", "ps_5_0", &pixel);
  EXPECT_EQ(vertex.hr, S_OK) << vertex.errors;
  ASSERT_NE(vertex.code, nullptr);
  EXPECT_GT(vertex.code->GetBufferSize(), 0u);
  EXPECT_EQ(pixel.hr, E_FAIL);
  EXPECT_EQ(pixel.code, nullptr);
  EXPECT_FALSE(pixel.errors.empty());
}

TEST(HlslCompileErrors, ResultPointerAndOptionalErrorBlob) {
  const std::string good = WriteTestFile("vertex_only_c.hlsl", kVertexOnly);
  Compiled ok, bad;
  CompileFile(good, "VS", "vs_5_0", &ok);
  CompileFile(good, "Nothing", "vs_5_0", &bad);
  EXPECT_EQ(ok.reported, ok.hr);
  EXPECT_EQ(bad.reported, bad.hr);
  EXPECT_TRUE(FAILED(bad.reported));

  // No error blob asked for: the call still fails cleanly.
  ID3D10Blob* code = reinterpret_cast<ID3D10Blob*>(&code);
  EXPECT_EQ(D3DX11CompileFromFileW(Widen(good).c_str(), nullptr, nullptr, "Nothing", "vs_5_0", 0, 0, nullptr, &code,
                                   nullptr, nullptr),
            E_FAIL);
  EXPECT_EQ(code, nullptr);
}

// ---- Macros and includes ------------------------------------------------------------------------------------

TEST(HlslPreprocessor, MacrosAreDefinedForTheSource) {
  const std::string path = WriteTestFile("macro.hlsl",
                                         "float4 VS(float3 position : POSITION) : SV_Position\n"
                                         "{\n"
                                         "    return float4(position * SCALE, 1);\n"
                                         "}\n");
  Compiled without, with;
  CompileFile(path, "VS", "vs_5_0", &without);
  const D3D10_SHADER_MACRO defines[] = {{"SCALE", "2.0"}, {nullptr, nullptr}};
  CompileFile(path, "VS", "vs_5_0", &with, defines);
  EXPECT_EQ(without.hr, E_FAIL);
  EXPECT_EQ(with.hr, S_OK) << with.errors;
}

class MemoryInclude : public ID3DInclude {
 public:
  explicit MemoryInclude(std::map<std::string, std::string> files) : files_(std::move(files)) {}
  HRESULT STDMETHODCALLTYPE Open(D3D_INCLUDE_TYPE, LPCSTR pFileName, LPCVOID, LPCVOID* ppData, UINT* pBytes) override {
    auto file = files_.find(pFileName);
    if (file == files_.end()) return E_FAIL;
    ++opened;
    *ppData = file->second.data();
    *pBytes = static_cast<UINT>(file->second.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close(LPCVOID) override {
    ++closed;
    return S_OK;
  }
  int opened = 0;
  int closed = 0;

 private:
  std::map<std::string, std::string> files_;
};

TEST(HlslPreprocessor, IncludesGoThroughTheIncludeHandler) {
  const std::string path = WriteTestFile("includer.hlsl",
                                         "#include \"scale.hlsli\"\n"
                                         "float4 VS(float3 position : POSITION) : SV_Position\n"
                                         "{\n"
                                         "    return float4(Scale(position), 1);\n"
                                         "}\n");
  Compiled withoutHandler;
  CompileFile(path, "VS", "vs_5_0", &withoutHandler);
  EXPECT_TRUE(FAILED(withoutHandler.hr));
  EXPECT_EQ(withoutHandler.code, nullptr);

  MemoryInclude include(std::map<std::string, std::string>{{"scale.hlsli", "float3 Scale(float3 p) { return p * 2; }\n"}});
  Compiled withHandler;
  CompileFile(path, "VS", "vs_5_0", &withHandler, nullptr, &include);
  EXPECT_EQ(withHandler.hr, S_OK) << withHandler.errors;
  EXPECT_EQ(include.opened, 1);
  EXPECT_EQ(include.closed, include.opened);
}

// ---- Reflection in the layer's compiled code ---------------------------------------------------------------

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

// ---- Compiled shaders at work on a device ---------------------------------------------------------------------

const char kPipelineSource[] = R"(
cbuffer Placement : register(b0) { float4x4 placement; };
cbuffer Packed : register(b2) { float a; float3 b; float c; };
struct VertexIn { float3 position : POSITION; float4 color : COLOR; };
struct VertexOut {
    float4 position : SV_Position;
    float4 first : TEXCOORD0;
    float4 second : COLOR0;
    float4 third : TEXCOORD3;
};
// The same semantics in another order.
struct PixelIn {
    float4 third : TEXCOORD3;
    float4 position : SV_Position;
    float4 second : COLOR0;
    float4 first : TEXCOORD0;
};
VertexOut VS(VertexIn input)
{
    VertexOut o;
    o.position = mul(float4(input.position, 1), placement);
    o.first = input.color.rrrr;
    o.second = input.color.gggg;
    o.third = input.color.bbbb;
    return o;
}
float4 PSVaryings(PixelIn i) : SV_Target { return float4(i.first.x, i.second.y, i.third.z, 1); }
float4 PSPacked(PixelIn i) : SV_Target { return float4(b, a); }
)";

class CompiledShaderRendering : public d3d11_test::RenderTest {
 protected:
  // Binds VS and the pixel entry point with a layout for ColorVertex, and the placement matrix at b0,
  // transposed for upload as the program does it.
  void Use(const char* pixelEntry, const D3DXMATRIX& placement) {
    const std::string path = WriteTestFile("pipeline.hlsl", kPipelineSource);
    Compiled vertex, pixel;
    CompileFile(path, "VS", "vs_5_0", &vertex);
    CompileFile(path, pixelEntry, "ps_5_0", &pixel);
    ASSERT_TRUE(vertex.code && pixel.code) << vertex.errors << pixel.errors;
    ASSERT_EQ(device->CreateVertexShader(vertex.code->GetBufferPointer(), vertex.code->GetBufferSize(), nullptr,
                                         vertexShader_.put()),
              S_OK);
    ASSERT_EQ(device->CreatePixelShader(pixel.code->GetBufferPointer(), pixel.code->GetBufferSize(), nullptr,
                                        pixelShader_.put()),
              S_OK);
    const D3D11_INPUT_ELEMENT_DESC elements[] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
        {"COLOR", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 12, D3D11_INPUT_PER_VERTEX_DATA, 0},
    };
    ASSERT_EQ(device->CreateInputLayout(elements, 2, vertex.code->GetBufferPointer(), vertex.code->GetBufferSize(),
                                        layout_.put()),
              S_OK);
    D3DXMATRIX transposed;
    D3DXMatrixTranspose(&transposed, &placement);
    placement_ = MakeBuffer(D3D11_BIND_CONSTANT_BUFFER, static_cast<const FLOAT*>(transposed), sizeof transposed);
    context->VSSetShader(vertexShader_.get(), nullptr, 0);
    context->PSSetShader(pixelShader_.get(), nullptr, 0);
    context->IASetInputLayout(layout_.get());
    context->VSSetConstantBuffers(0, 1, placement_.address());
  }

  static d3d11_test::Rgba Expected(float r, float g, float b, float a) {
    auto unorm = [](float v) { return static_cast<uint8_t>(v * 255.0f + 0.5f); };
    return {unorm(r), unorm(g), unorm(b), unorm(a)};
  }
  static void ExpectNear(const d3d11_test::Rgba& expected, const d3d11_test::Rgba& actual) {
    EXPECT_NEAR(expected.r, actual.r, 1) << actual;
    EXPECT_NEAR(expected.g, actual.g, 1) << actual;
    EXPECT_NEAR(expected.b, actual.b, 1) << actual;
    EXPECT_NEAR(expected.a, actual.a, 1) << actual;
  }

  d3d11_test::Com<ID3D11VertexShader> vertexShader_;
  d3d11_test::Com<ID3D11PixelShader> pixelShader_;
  d3d11_test::Com<ID3D11InputLayout> layout_;
  d3d11_test::Com<ID3D11Buffer> placement_;
};

TEST_F(CompiledShaderRendering, VaryingsMeetBySemanticWhateverTheDeclarationOrder) {
  D3DXMATRIX identity;
  Use("PSVaryings", *D3DXMatrixIdentity(&identity));
  const float color[4] = {0.25f, 0.5f, 0.75f, 1.0f};
  DrawColored(d3d11_test::ColorQuad(-1, -1, 1, 1, 0.5f, color));
  ExpectNear(Expected(0.25f, 0.5f, 0.75f, 1.0f), At(ReadTarget(), kSize / 2, kSize / 2));
}

TEST_F(CompiledShaderRendering, ConstantBufferUsesDirect3DPacking) {
  D3DXMATRIX identity;
  Use("PSPacked", *D3DXMatrixIdentity(&identity));
  // a, b.xyz share the first 16 bytes; c starts the second register.
  const float packed[8] = {0.25f, 0.5f, 0.75f, 1.0f, 0.125f, 0, 0, 0};
  d3d11_test::Com<ID3D11Buffer> buffer = MakeBuffer(D3D11_BIND_CONSTANT_BUFFER, packed, sizeof packed);
  context->PSSetConstantBuffers(2, 1, buffer.address());
  const float white[4] = {1, 1, 1, 1};
  DrawColored(d3d11_test::ColorQuad(-1, -1, 1, 1, 0.5f, white));
  ExpectNear(Expected(0.5f, 0.75f, 1.0f, 0.25f), At(ReadTarget(), kSize / 2, kSize / 2));
}

TEST_F(CompiledShaderRendering, RowVectorMatricesUploadedTransposedTransformLikeD3DX) {
  // Scale y by 0.5, then move right by 1: the left half of the screen lands in the middle of the right half.
  const D3DXMATRIX placement(1, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1, 0, 1, 0, 0, 1);
  Use("PSVaryings", placement);
  const float white[4] = {1, 1, 1, 1};
  DrawColored(d3d11_test::ColorQuad(-1, -1, 0, 1, 0.5f, white));
  const std::vector<d3d11_test::Rgba> pixels = ReadTarget();
  EXPECT_EQ(At(pixels, kSize * 3 / 4, kSize / 2), d3d11_test::kWhite);
  EXPECT_EQ(At(pixels, kSize / 4, kSize / 2), (d3d11_test::Rgba{0, 0, 0, 255}));
  EXPECT_EQ(At(pixels, kSize * 3 / 4, kSize / 8), (d3d11_test::Rgba{0, 0, 0, 255}));
  EXPECT_EQ(At(pixels, kSize * 3 / 4, kSize * 7 / 8), (d3d11_test::Rgba{0, 0, 0, 255}));
}

}  // namespace
