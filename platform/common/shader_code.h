// The layer's compiled shader code: what D3DX11CompileFromFileW puts in its blob and what
// CreateVertexShader, CreatePixelShader and CreateInputLayout take back.
//
// Direct3D hands around DXBC bytecode; here the "bytecode" is GLSL 4.50 produced from SPIR-V, plus the
// reflection the device needs to honour Direct3D's binding model: which vertex inputs carry which
// semantics, which cbuffer register each flattened uniform array stands for, and which (t, s) register
// pair each combined sampler uniform samples with.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace platform {

enum class ShaderStage : uint32_t { Vertex = 1, Pixel = 2 };

// One vertex-shader input: matched to an input-layout element by semantic name (case-insensitive) and index.
struct ShaderInput {
  std::string semantic;
  uint32_t semanticIndex = 0;
  uint32_t location = 0;  // GLSL layout(location)
};

// A cbuffer at register b<slot>, flattened into "uniform vec4 <uniformName>[vec4Count]".
struct ShaderConstantBuffer {
  uint32_t slot = 0;
  std::string uniformName;
  uint32_t vec4Count = 0;
};

// A combined image sampler uniform: texture register t<textureSlot> sampled with s<samplerSlot>.
// samplerSlot is kNoSampler for textures read without a sampler (Load); they get Direct3D's default.
struct ShaderSampledTexture {
  static constexpr uint32_t kNoSampler = 0xFFFFFFFFu;
  std::string uniformName;
  uint32_t textureSlot = 0;
  uint32_t samplerSlot = kNoSampler;
};

struct ShaderCode {
  ShaderStage stage = ShaderStage::Vertex;
  std::string glsl;
  std::vector<ShaderInput> inputs;
  std::vector<ShaderConstantBuffer> constantBuffers;
  std::vector<ShaderSampledTexture> textures;
};

std::vector<unsigned char> SerializeShaderCode(const ShaderCode& code);
// False for anything that is not complete, well-formed code from SerializeShaderCode (garbage, truncation).
bool ParseShaderCode(const void* bytes, size_t size, ShaderCode* out);

}  // namespace platform
