#include "shader_code.h"

#include <string.h>

namespace platform {
namespace {

constexpr char kMagic[4] = {'G', 'L', 'S', 'C'};
constexpr uint32_t kVersion = 1;
constexpr uint32_t kMaxCount = 1u << 16;

class Writer {
 public:
  void U32(uint32_t value) { Raw(&value, sizeof value); }
  void String(const std::string& text) {
    U32(static_cast<uint32_t>(text.size()));
    Raw(text.data(), text.size());
  }
  void Raw(const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    out.insert(out.end(), bytes, bytes + size);
  }
  std::vector<unsigned char> out;
};

class Reader {
 public:
  Reader(const void* data, size_t size) : at_(static_cast<const unsigned char*>(data)), left_(size) {}
  bool U32(uint32_t* value) { return Raw(value, sizeof *value); }
  bool Count(uint32_t* value) { return U32(value) && *value <= kMaxCount; }
  bool String(std::string* text) {
    uint32_t size = 0;
    if (!U32(&size) || size > left_) return false;
    text->assign(reinterpret_cast<const char*>(at_), size);
    at_ += size;
    left_ -= size;
    return true;
  }
  bool Raw(void* data, size_t size) {
    if (size > left_) return false;
    memcpy(data, at_, size);
    at_ += size;
    left_ -= size;
    return true;
  }
  bool AtEnd() const { return left_ == 0; }

 private:
  const unsigned char* at_;
  size_t left_;
};

}  // namespace

std::vector<unsigned char> SerializeShaderCode(const ShaderCode& code) {
  Writer w;
  w.Raw(kMagic, sizeof kMagic);
  w.U32(kVersion);
  w.U32(static_cast<uint32_t>(code.stage));
  w.String(code.glsl);
  w.U32(static_cast<uint32_t>(code.inputs.size()));
  for (const ShaderInput& input : code.inputs) {
    w.String(input.semantic);
    w.U32(input.semanticIndex);
    w.U32(input.location);
  }
  w.U32(static_cast<uint32_t>(code.constantBuffers.size()));
  for (const ShaderConstantBuffer& cb : code.constantBuffers) {
    w.U32(cb.slot);
    w.String(cb.uniformName);
    w.U32(cb.vec4Count);
  }
  w.U32(static_cast<uint32_t>(code.textures.size()));
  for (const ShaderSampledTexture& texture : code.textures) {
    w.String(texture.uniformName);
    w.U32(texture.textureSlot);
    w.U32(texture.samplerSlot);
  }
  return std::move(w.out);
}

bool ParseShaderCode(const void* bytes, size_t size, ShaderCode* out) {
  if (!bytes || !out) return false;
  Reader r(bytes, size);
  char magic[4];
  uint32_t version = 0, stage = 0, count = 0;
  if (!r.Raw(magic, sizeof magic) || memcmp(magic, kMagic, sizeof kMagic) != 0) return false;
  if (!r.U32(&version) || version != kVersion || !r.U32(&stage)) return false;
  if (stage != static_cast<uint32_t>(ShaderStage::Vertex) && stage != static_cast<uint32_t>(ShaderStage::Pixel))
    return false;
  ShaderCode code;
  code.stage = static_cast<ShaderStage>(stage);
  if (!r.String(&code.glsl) || !r.Count(&count)) return false;
  code.inputs.resize(count);
  for (ShaderInput& input : code.inputs)
    if (!r.String(&input.semantic) || !r.U32(&input.semanticIndex) || !r.U32(&input.location)) return false;
  if (!r.Count(&count)) return false;
  code.constantBuffers.resize(count);
  for (ShaderConstantBuffer& cb : code.constantBuffers)
    if (!r.U32(&cb.slot) || !r.String(&cb.uniformName) || !r.U32(&cb.vec4Count)) return false;
  if (!r.Count(&count)) return false;
  code.textures.resize(count);
  for (ShaderSampledTexture& texture : code.textures)
    if (!r.String(&texture.uniformName) || !r.U32(&texture.textureSlot) || !r.U32(&texture.samplerSlot)) return false;
  if (!r.AtEnd() || code.glsl.empty()) return false;
  *out = std::move(code);
  return true;
}

}  // namespace platform
