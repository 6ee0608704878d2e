// D3DX11CompileFromFileW: reads the source, checks the profile and compiles one stage, HLSL -> SPIR-V
// (hlsl_front_end.h) -> GLSL 4.50 with the reflection the Direct3D 11 layer needs (glsl_back_end.h), in
// the compiler process (compiler_process.h).
#include <d3dx11async.h>

#include <string.h>

#include <string>
#include <vector>

#include "d3dx/compiler_process.h"

#include "common/blob.h"
#include "common/regular_file.h"
#include "common/startup_trace.h"
#include "common/text.h"

namespace platform {
namespace {

// A shader source larger than this is refused as a file that cannot be read. #include files are not
// opened here: they come from the caller's ID3DInclude.
constexpr size_t kMaxSourceBytes = 4 << 20;

bool ReadSourceFile(const std::string& path, std::string* contents) {
  std::vector<unsigned char> bytes;
  if (!ReadRegularFile(path.c_str(), kMaxSourceBytes, &bytes)) return false;
  contents->assign(bytes.begin(), bytes.end());
  return true;
}

std::string MacroPreamble(const D3D10_SHADER_MACRO* defines) {
  std::string preamble;
  for (; defines && defines->Name; ++defines)
    preamble += std::string("#define ") + defines->Name + " " + (defines->Definition ? defines->Definition : "") + "\n";
  return preamble;
}

// Fills in the file's name, its text and the stage, or fails as Direct3D does before compiling: a file that
// cannot be read, a profile this compiler does not build.
HRESULT ReadSource(LPCWSTR pSrcFile, LPCSTR pProfile, HlslSource* source, std::string* messages) {
  source->fileName = WideToUtf8(pSrcFile);
  if (!ReadSourceFile(source->fileName, &source->source)) {
    *messages = source->fileName + ": error: cannot open file '" + source->fileName + "'\n";
    return D3D11_ERROR_FILE_NOT_FOUND;
  }
  if (strcmp(pProfile, "vs_5_0") == 0) {
    source->stage = ShaderStage::Vertex;
  } else if (strcmp(pProfile, "ps_5_0") == 0) {
    source->stage = ShaderStage::Pixel;
  } else {
    *messages = source->fileName + ": error: unsupported profile '" + pProfile +
                "' (this compiler builds vs_5_0 and ps_5_0)\n";
    return E_FAIL;
  }
  return S_OK;
}

HRESULT Compile(const HlslSource& source, ID3D10Blob** ppShader, std::string* messages) {
  // An include handler is the caller's object and must see its calls in the caller's process.
  const CompileResult result = source.include ? CompileInProcess(source) : CompileInCompilerProcess(source);
  *messages = result.messages;
  if (FAILED(result.hr)) return result.hr;
  *ppShader = CreateBlob(result.code.data(), result.code.size());
  return *ppShader ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

}  // namespace platform

HRESULT WINAPI D3DX11CompileFromFileW(LPCWSTR pSrcFile, CONST D3D10_SHADER_MACRO* pDefines, LPD3D10INCLUDE pInclude,
                                      LPCSTR pFunctionName, LPCSTR pProfile, UINT Flags1, UINT Flags2,
                                      ID3DX11ThreadPump* pPump, ID3D10Blob** ppShader, ID3D10Blob** ppErrorMsgs,
                                      HRESULT* pHResult) {
  (void)Flags1;
  (void)Flags2;
  if (ppShader) *ppShader = nullptr;
  if (ppErrorMsgs) *ppErrorMsgs = nullptr;
  HRESULT hr = E_INVALIDARG;
  std::string messages;
  if (pPump) {
    hr = E_NOTIMPL;
  } else if (pSrcFile && pFunctionName && pProfile && ppShader) {
    platform::HlslSource source;
    source.preamble = platform::MacroPreamble(pDefines);
    source.entryPoint = pFunctionName;
    source.include = pInclude;
    hr = platform::ReadSource(pSrcFile, pProfile, &source, &messages);
    if (SUCCEEDED(hr)) hr = platform::Compile(source, ppShader, &messages);
  }
  if (ppErrorMsgs && !messages.empty()) *ppErrorMsgs = platform::CreateTextBlob(messages);
  if (pHResult) *pHResult = hr;
  platform::TraceStartupStep(pProfile ? pProfile : "compile");  // vs_5_0, ps_5_0: for the start-up benchmark
  return hr;
}
