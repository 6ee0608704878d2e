// The GLSL back end of D3DX11CompileFromFileW: SPIR-V to GLSL 4.50 for a separable program with
// SPIRV-Cross, with the reflection of the Direct3D registers the device binds by.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "common/shader_code.h"

namespace platform {

// Fills code->glsl and the reflection for the stage in code->stage. *error receives the reason of a
// failure, "file: error: text".
bool SpirvToGlsl(const std::vector<uint32_t>& spirv, const std::string& fileName, ShaderCode* code,
                 std::string* error);

}  // namespace platform
