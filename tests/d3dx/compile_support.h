// Compiling HLSL files written by the tests, keeping the code blob, the messages and both results.
#pragma once

#include <d3dx11.h>

#include <string>

namespace d3dx_test {

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

// D3DX11CompileFromFileW with the program's flags (debug, no optimisation).
void CompileFile(const std::string& path, const char* entry, const char* profile, Compiled* out,
                 const D3D10_SHADER_MACRO* defines = nullptr, ID3DInclude* include = nullptr);

}  // namespace d3dx_test
