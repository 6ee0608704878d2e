#include "compile_support.h"

#include <string.h>

#include "test_files.h"

namespace d3dx_test {

void CompileFile(const std::string& path, const char* entry, const char* profile, Compiled* out,
                 const D3D10_SHADER_MACRO* defines, ID3DInclude* include) {
  ID3D10Blob* errors = nullptr;
  out->hr = D3DX11CompileFromFileW(Widen(path).c_str(), defines, include, entry, profile,
                                   D3D10_SHADER_DEBUG | D3D10_SHADER_SKIP_OPTIMIZATION, 0, nullptr, &out->code,
                                   &errors, &out->reported);
  if (errors) {
    const char* text = static_cast<const char*>(errors->GetBufferPointer());
    out->errors.assign(text, strnlen(text, errors->GetBufferSize()));
    errors->Release();
  }
}

}  // namespace d3dx_test
