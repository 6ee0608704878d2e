// D3DX11CompileFromFileW through the Direct3D API only, as on Windows: failures and their messages, the
// preprocessor, and compiled shaders drawing on a device.
#include <d3dx10math.h>
#include <d3dx11.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "compile_support.h"
#include "d3d11/d3d11_test.h"
#include "d3d11/implementation_gaps.h"
#include "test_files.h"

namespace {

using d3dx_test::Compiled;
using d3dx_test::CompileFile;
using d3dx_test::Widen;
using d3dx_test::WriteTestFile;

const char kVertexOnly[] = R"(float4 VS(float3 position : POSITION) : SV_Position
{
    return float4(position, 1);
}
)";

// ---- Failures ---------------------------------------------------------------------------------------------

// A missing file, and (where there are such files) files that are not files: a FIFO without a writer and a
// link to /dev/zero, which must be refused at once rather than waited on or read without end.
TEST(HlslCompileErrors, MissingFileFailsWithFileNotFound) {
  SKIP_ON_WINE("it answers a missing file with HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), which is not among "
               "the Direct3D 11 return codes D3DX11CompileFromFile is documented to return "
               "(D3D11_ERROR_FILE_NOT_FOUND is)");
  std::vector<std::string> paths = {d3dx_test::TestFilePath("no_such_shader.hlsl")};
#ifndef _WIN32
  const std::string fifo = d3dx_test::TestFilePath("fifo_shader.hlsl");
  const std::string zero = d3dx_test::TestFilePath("zero_shader.hlsl");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
  paths.insert(paths.end(), {fifo, zero});
#endif
  for (const std::string& path : paths) {
    Compiled result;
    CompileFile(path, "VS", "vs_5_0", &result);
    EXPECT_EQ(result.hr, D3D11_ERROR_FILE_NOT_FOUND) << path;
    EXPECT_EQ(result.code, nullptr);
  }
}

// The message names the file and the line, as "file(line,column)" or "file:line:column".
TEST(HlslCompileErrors, ErrorsAreReportedWithFileAndLine) {
  const struct {
    const char* file;
    const char* source;
    const char* located;    // file and line
    const char* mentioned;  // a word of the message
  } cases[] = {
      {"syntax_error.hlsl",
       "float4 VS(float3 position : POSITION) : SV_Position\n{\n    float4 result = float4(position, 1);\n"
       "    result.x = ;\n    return result;\n}\n",
       R"(syntax_error\.hlsl[(:]4\b)", "error"},
      {"undeclared.hlsl", "float4 VS(float3 position : POSITION) : SV_Position\n{\n    return float4(positon, 1);\n}\n",
       R"(undeclared\.hlsl[(:]3\b)", "positon"},
  };
  for (const auto& c : cases) {
    Compiled result;
    CompileFile(WriteTestFile(c.file, c.source), "VS", "vs_5_0", &result);
    EXPECT_EQ(result.hr, E_FAIL) << c.file;
    EXPECT_EQ(result.code, nullptr) << c.file;
    EXPECT_TRUE(std::regex_search(result.errors, std::regex(c.located))) << result.errors;
    EXPECT_NE(result.errors.find(c.mentioned), std::string::npos) << result.errors;
  }
}

// A missing entry point is a compile error naming it; an unknown profile may also be refused as a parameter
// combination that is not implemented (E_NOTIMPL), with or without a message.
TEST(HlslCompileErrors, MissingEntryPointOrUnknownProfileFails) {
  const std::string path = WriteTestFile("vertex_only_a.hlsl", kVertexOnly);
  Compiled missing, unknown;
  CompileFile(path, "MainVS", "vs_5_0", &missing);
  EXPECT_EQ(missing.hr, E_FAIL);
  EXPECT_EQ(missing.code, nullptr);
  EXPECT_NE(missing.errors.find("MainVS"), std::string::npos) << missing.errors;
  CompileFile(path, "VS", "xs_5_0", &unknown);
  EXPECT_TRUE(unknown.hr == E_FAIL || unknown.hr == E_NOTIMPL) << std::hex << unknown.hr;
  EXPECT_EQ(unknown.code, nullptr);
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

TEST(HlslCompileErrors, MalformedArrayDeclarationFailsAndLaterCompilesStillWork) {
  // A declaration that once crashed the compiler.
  const std::string broken = WriteTestFile("broken_array.hlsl", std::string("static const float k[2 = 32.0;\n") + kVertexOnly);
  const std::string good = WriteTestFile("vertex_only_e.hlsl", kVertexOnly);
  for (int attempt = 0; attempt < 2; ++attempt) {
    Compiled failed, fine;
    CompileFile(broken, "VS", "vs_5_0", &failed);
    CompileFile(good, "VS", "vs_5_0", &fine);
    EXPECT_EQ(failed.hr, E_FAIL);
    EXPECT_EQ(failed.code, nullptr);
    EXPECT_NE(failed.errors.find("broken_array.hlsl"), std::string::npos) << failed.errors;
    EXPECT_EQ(fine.hr, S_OK) << fine.errors;
    EXPECT_NE(fine.code, nullptr);
  }
}

TEST(HlslCompileErrors, ResultPointerAndOptionalErrorBlob) {
  const std::string good = WriteTestFile("vertex_only_c.hlsl", kVertexOnly);
  Compiled ok, bad;
  CompileFile(good, "VS", "vs_5_0", &ok);
  CompileFile(good, "Nothing", "vs_5_0", &bad);
  EXPECT_EQ(ok.reported, ok.hr);
  EXPECT_EQ(bad.reported, bad.hr);
  EXPECT_TRUE(FAILED(bad.reported));

  // No error blob asked for: the call still fails cleanly, handing out no code.
  ID3D10Blob* code = nullptr;
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
  const std::string gap = d3d11_test::NotImplementedConstruct(withHandler.errors);
  if (!gap.empty()) GTEST_SKIP() << "the HLSL compiler here does not implement what the include holds: " << gap;
  EXPECT_EQ(withHandler.hr, S_OK) << withHandler.errors;
  EXPECT_EQ(include.opened, 1);
  EXPECT_EQ(include.closed, include.opened);
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
// Stages link by register: the pixel shader's inputs are declared in the vertex shader's output order.
struct PixelIn {
    float4 position : SV_Position;
    float4 first : TEXCOORD0;
    float4 second : COLOR0;
    float4 third : TEXCOORD3;
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
float4 PSPositionW(PixelIn i) : SV_Target { return float4(0, 0, 0, i.position.w / 4); }
float4 PSPositionXY(PixelIn i) : SV_Target { return float4(i.position.xy / 64, 0, 1); }
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

TEST_F(CompiledShaderRendering, VaryingsReachThePixelShader) {
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

TEST_F(CompiledShaderRendering, PixelShaderPositionWIsClipW) {
  SKIP_ON_WINE("SV_Position.w in its pixel shader is 1 / w, OpenGL's gl_FragCoord.w; Direct3D gives the "
               "clip-space w");
  // Everything scaled by 2, w included: the same picture, with w = 2.
  const D3DXMATRIX twice(2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2);
  Use("PSPositionW", twice);
  const float white[4] = {1, 1, 1, 1};
  DrawColored(d3d11_test::ColorQuad(-1, -1, 1, 1, 0.5f, white));
  ExpectNear(Expected(0, 0, 0, 0.5f), At(ReadTarget(), kSize / 2, kSize / 2));
}

TEST_F(CompiledShaderRendering, PixelShaderPositionXYCountsPixelCentresFromTheTopLeft) {
  static_assert(kSize == 64, "PSPositionXY divides by 64");
  D3DXMATRIX identity;
  Use("PSPositionXY", *D3DXMatrixIdentity(&identity));
  const float white[4] = {1, 1, 1, 1};
  DrawColored(d3d11_test::ColorQuad(-1, -1, 1, 1, 0.5f, white));
  const std::vector<d3d11_test::Rgba> pixels = ReadTarget();
  for (const auto& [x, y] : {std::pair{10u, 5u}, std::pair{50u, 40u}})
    ExpectNear(Expected((x + 0.5f) / 64, (y + 0.5f) / 64, 0, 1), At(pixels, x, y));
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
