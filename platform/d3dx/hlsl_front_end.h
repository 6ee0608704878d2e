// The HLSL front end of D3DX11CompileFromFileW: one stage of an HLSL source to legalised SPIR-V, with
// glslang's HLSL reader.
#pragma once

#include <d3dx11async.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "common/shader_code.h"

namespace platform {

// One stage of one source file: everything but the include handler can cross to the compiler process.
struct HlslSource {
  std::string fileName;
  std::string source;
  std::string preamble;  // "#define NAME VALUE" lines for the caller's macros
  std::string entryPoint;
  ShaderStage stage = ShaderStage::Vertex;
  ID3DInclude* include = nullptr;  // the caller's, or null
};

// *messages receives the compiler's errors and warnings in Direct3D's shape, "file(line): error: text".
bool HlslToSpirv(const HlslSource& source, std::vector<uint32_t>* spirv, std::string* messages);

}  // namespace platform
