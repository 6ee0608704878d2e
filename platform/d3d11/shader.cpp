#include "d3d11/shader.h"

#include <stdio.h>
#include <strings.h>

#include <new>

#include "d3d11/format.h"

namespace platform::d3d11 {
namespace {

constexpr GLenum GlStage(ShaderStage stage) {
  return stage == ShaderStage::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER;
}

// Code from another stage, from another compiler or bytes that are not code at all are refused alike.
bool ParseStage(const void* code, SIZE_T size, ShaderStage stage, ShaderCode* out) {
  return code && ParseShaderCode(code, size, out) && out->stage == stage;
}

bool RegistersInRange(const ShaderCode& code) {
  for (const ShaderConstantBuffer& cb : code.constantBuffers)
    if (cb.slot >= D3D11_COMMONSHADER_CONSTANT_BUFFER_API_SLOT_COUNT ||
        cb.vec4Count > D3D11_REQ_CONSTANT_BUFFER_ELEMENT_COUNT)
      return false;
  for (const ShaderSampledTexture& texture : code.textures)
    if (texture.textureSlot >= D3D11_COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT ||
        (texture.samplerSlot != ShaderSampledTexture::kNoSampler &&
         texture.samplerSlot >= D3D11_COMMONSHADER_SAMPLER_SLOT_COUNT))
      return false;
  return code.textures.size() <= kVertexTextureUnitBase;
}

bool IsSystemValue(const std::string& semantic) { return strncasecmp(semantic.c_str(), "SV_", 3) == 0; }

}  // namespace

template <class Interface, ShaderStage kStage>
HRESULT Shader<Interface, kStage>::Create(Device& device, const void* code, SIZE_T size, ID3D11ClassLinkage* linkage,
                                          Interface** out) {
  ClearOut(out);
  ShaderCode parsed;
  if (linkage || !ParseStage(code, size, kStage, &parsed) || !RegistersInRange(parsed)) return E_INVALIDARG;
  if (!out) return S_FALSE;
  auto* shader = new (std::nothrow) Shader(device);
  if (HRESULT hr = PrepareNew(shader); FAILED(hr)) return hr;
  const char* source = parsed.glsl.c_str();
  shader->program_ = glCreateShaderProgramv(GlStage(kStage), 1, &source);
  GLint linked = GL_FALSE;
  glGetProgramiv(shader->program_, GL_LINK_STATUS, &linked);
  if (!linked) {
    char log[2048] = "";
    glGetProgramInfoLog(shader->program_, sizeof log, nullptr, log);
    fprintf(stderr, "d3d11: shader code does not build: %s\n", log);
    shader->Release();
    return E_INVALIDARG;
  }
  for (const ShaderConstantBuffer& cb : parsed.constantBuffers) {
    GLint location = glGetUniformLocation(shader->program_, cb.uniformName.c_str());
    if (location >= 0 && cb.vec4Count > 0)
      shader->constantBuffers_.push_back({cb.slot, location, static_cast<GLsizei>(cb.vec4Count), kZerosStamp});
  }
  const GLuint unitBase = kStage == ShaderStage::Vertex ? kVertexTextureUnitBase : 0;
  for (const ShaderSampledTexture& texture : parsed.textures) {
    GLint location = glGetUniformLocation(shader->program_, texture.uniformName.c_str());
    if (location < 0) continue;
    const GLuint unit = unitBase + static_cast<GLuint>(shader->textures_.size());
    glProgramUniform1i(shader->program_, location, static_cast<GLint>(unit));
    shader->textures_.push_back({texture.textureSlot, texture.samplerSlot, unit});
  }
  *out = shader;
  return S_OK;
}

template <class Interface, ShaderStage kStage>
Shader<Interface, kStage>::~Shader() {
  if (program_ && this->MakeCurrent()) glDeleteProgram(program_);
}

template class Shader<ID3D11VertexShader, ShaderStage::Vertex>;
template class Shader<ID3D11PixelShader, ShaderStage::Pixel>;

HRESULT InputLayout::Create(Device& device, const D3D11_INPUT_ELEMENT_DESC* elements, UINT count, const void* code,
                            SIZE_T size, ID3D11InputLayout** out) {
  ClearOut(out);
  ShaderCode parsed;
  if ((count > 0 && !elements) || count > D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT ||
      !ParseStage(code, size, ShaderStage::Vertex, &parsed))
    return E_INVALIDARG;

  // Resolve each element's format and byte offset (D3D11_APPEND_ALIGNED_ELEMENT follows the previous
  // element of the same slot).
  struct Resolved {
    const VertexFormat* format;
    UINT offset;
  };
  std::vector<Resolved> resolved(count);
  UINT slotEnd[D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT] = {};
  for (UINT i = 0; i < count; ++i) {
    const D3D11_INPUT_ELEMENT_DESC& e = elements[i];
    const VertexFormat* format = FindVertexFormat(e.Format);
    if (!e.SemanticName || !format || e.InputSlot >= D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT ||
        (e.InputSlotClass != D3D11_INPUT_PER_VERTEX_DATA && e.InputSlotClass != D3D11_INPUT_PER_INSTANCE_DATA))
      return E_INVALIDARG;
    for (UINT j = 0; j < i; ++j)
      if (elements[j].SemanticIndex == e.SemanticIndex && strcasecmp(elements[j].SemanticName, e.SemanticName) == 0)
        return E_INVALIDARG;
    const UINT offset = e.AlignedByteOffset == D3D11_APPEND_ALIGNED_ELEMENT ? slotEnd[e.InputSlot] : e.AlignedByteOffset;
    resolved[i] = {format, offset};
    slotEnd[e.InputSlot] = offset + format->bytes;
  }

  // Every input the shader reads must come from an element.
  std::vector<std::pair<UINT, GLuint>> attributes;  // element, location
  for (const ShaderInput& input : parsed.inputs) {
    if (IsSystemValue(input.semantic)) continue;
    UINT i = 0;
    while (i < count && !(elements[i].SemanticIndex == input.semanticIndex &&
                          strcasecmp(elements[i].SemanticName, input.semantic.c_str()) == 0))
      ++i;
    if (i == count) return E_INVALIDARG;
    attributes.push_back({i, input.location});
  }
  if (!out) return S_FALSE;

  auto* layout = new (std::nothrow) InputLayout(device);
  if (HRESULT hr = PrepareNew(layout); FAILED(hr)) return hr;
  glCreateVertexArrays(1, &layout->vertexArray_);
  for (const auto& [i, location] : attributes) {
    const D3D11_INPUT_ELEMENT_DESC& e = elements[i];
    const VertexFormat& format = *resolved[i].format;
    glEnableVertexArrayAttrib(layout->vertexArray_, location);
    glVertexArrayAttribFormat(layout->vertexArray_, location, format.components, format.type, format.normalized,
                              resolved[i].offset);
    glVertexArrayAttribBinding(layout->vertexArray_, location, e.InputSlot);
    if (e.InputSlotClass == D3D11_INPUT_PER_INSTANCE_DATA)
      glVertexArrayBindingDivisor(layout->vertexArray_, e.InputSlot, e.InstanceDataStepRate);
    layout->slotMask_ |= 1u << e.InputSlot;
  }
  *out = layout;
  return S_OK;
}

InputLayout::~InputLayout() {
  if (vertexArray_ && MakeCurrent()) glDeleteVertexArrays(1, &vertexArray_);
}

}  // namespace platform::d3d11
