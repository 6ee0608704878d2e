// ID3D11VertexShader, ID3D11PixelShader and ID3D11InputLayout.
//
// A shader is a separable OpenGL program made from the GLSL in the compiled code (see common/shader_code.h),
// plus the bindings Direct3D's registers need at draw time: which uniform array stands for cbuffer b<n>,
// and which texture unit samples t<n> with s<m>. Pixel-shader textures use units from 0 and vertex-shader
// ones from kVertexTextureUnitBase, so the two stages never share a unit.
//
// An input layout is a vertex array object: each element the vertex shader reads is an attribute at the
// shader input's location, fed from the binding point numbered like its input slot.
#pragma once

#include <string>
#include <vector>

#include "common/shader_code.h"
#include "d3d11/device.h"

namespace platform::d3d11 {

constexpr GLuint kVertexTextureUnitBase = 16;

// Content stamp of the zeros an empty cbuffer slot reads (content stamps count up from 1).
constexpr uint64_t kZerosStamp = ~uint64_t{0};

struct ConstantBufferBinding {
  UINT slot;
  GLint location;
  GLsizei vec4Count;  // at most D3D11_REQ_CONSTANT_BUFFER_ELEMENT_COUNT
  uint64_t uploadedStamp;  // content stamp of what was uploaded last; a new program's uniforms are zeros
};

struct TextureBinding {
  UINT textureSlot;
  UINT samplerSlot;  // ShaderSampledTexture::kNoSampler for Direct3D's default sampler
  GLuint unit;
};

template <class Interface, ShaderStage kStage>
class Shader final : public DeviceChild<Interface> {
 public:
  static HRESULT Create(Device& device, const void* code, SIZE_T size, ID3D11ClassLinkage* linkage, Interface** out);
  ~Shader() override;

  GLuint Program() const { return program_; }
  std::vector<ConstantBufferBinding>& ConstantBuffers() { return constantBuffers_; }
  const std::vector<TextureBinding>& Textures() const { return textures_; }

 private:
  using DeviceChild<Interface>::DeviceChild;
  GLuint program_ = 0;
  std::vector<ConstantBufferBinding> constantBuffers_;
  std::vector<TextureBinding> textures_;
};

using VertexShader = Shader<ID3D11VertexShader, ShaderStage::Vertex>;
using PixelShader = Shader<ID3D11PixelShader, ShaderStage::Pixel>;

class InputLayout final : public DeviceChild<ID3D11InputLayout> {
 public:
  static HRESULT Create(Device& device, const D3D11_INPUT_ELEMENT_DESC* elements, UINT count, const void* code,
                        SIZE_T size, ID3D11InputLayout** out);
  ~InputLayout() override;

  GLuint VertexArray() const { return vertexArray_; }
  // The input slots the attributes read from, one bit each.
  UINT SlotMask() const { return slotMask_; }

  // What was last attached to the vertex array, so the context only re-attaches what changed.
  struct Attached {
    uint64_t bufferId = 0;
    UINT offset = 0;
    UINT stride = 0;
  };
  Attached attachedVertexBuffers[D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT];
  uint64_t attachedIndexBufferId = 0;

 private:
  using DeviceChild::DeviceChild;
  GLuint vertexArray_ = 0;
  UINT slotMask_ = 0;
};

}  // namespace platform::d3d11
