// SPIR-V -> GLSL 4.50 with the SPIRV-Cross C API, with the reflection the Direct3D 11 layer needs
// (common/shader_code.h).
//
// SPIRV-Cross flattens each cbuffer into a vec4 array uniform and combines each (texture, sampler) pair
// into one sampler uniform; both are renamed after their registers, and all bindings are dropped from the
// GLSL because the device binds by name. Varyings are located by semantic.
#include "d3dx/glsl_back_end.h"

#include <spirv_cross/spirv_cross_c.h>

#include <ctype.h>
#include <stdlib.h>

#include <map>

#include "d3dx/register_bindings.h"

namespace platform {
namespace {

// Varying locations stay below this bound (GL_MAX_VARYING_VECTORS is 32 on the drivers we target).
constexpr uint32_t kVaryingLocations = 32;

std::string ToUpper(std::string text) {
  for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return text;
}

// Direct3D matches varyings by semantic, GL separable programs by location: both stages derive each
// varying's location from its semantic alone. TEXCOORDn is n, COLORn 16 + n, a few common semantics have
// fixed places, and any other semantic hashes into the last four locations.
uint32_t VaryingLocation(const std::string& semantic, uint32_t index) {
  static const struct {
    const char* name;
    uint32_t first;
    uint32_t count;
  } kTable[] = {{"TEXCOORD", 0, 16}, {"COLOR", 16, 4},   {"NORMAL", 20, 2},   {"TANGENT", 22, 1},
                {"BINORMAL", 23, 1}, {"POSITION", 24, 2}, {"FOG", 26, 1},     {"PSIZE", 27, 1}};
  for (const auto& entry : kTable)
    if (semantic == entry.name && index < entry.count) return entry.first + index;
  uint32_t hash = 2166136261u;  // FNV-1a
  for (char c : semantic) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return 28 + (hash + index) % 4;
}

// "TEXCOORD3" -> ("TEXCOORD", 3); "NORMAL" -> ("NORMAL", 0). Names are case-insensitive: upper case.
void SplitSemantic(const char* text, std::string* name, uint32_t* index) {
  std::string full = ToUpper(text ? text : "");
  size_t digits = full.find_last_not_of("0123456789") + 1;
  *name = full.substr(0, digits);
  *index = digits < full.size() ? static_cast<uint32_t>(strtoul(full.c_str() + digits, nullptr, 10)) : 0;
}

// Number of locations a variable of this type spans (matrix columns times array elements).
uint32_t LocationSpan(spvc_compiler compiler, spvc_type_id typeId) {
  spvc_type type = spvc_compiler_get_type_handle(compiler, typeId);
  uint32_t span = spvc_type_get_columns(type);
  for (unsigned d = 0; d < spvc_type_get_num_array_dimensions(type); ++d) span *= spvc_type_get_array_dimension(type, d);
  return span ? span : 1;
}

const spvc_reflected_resource* ResourceList(spvc_resources resources, spvc_resource_type type, size_t* count) {
  const spvc_reflected_resource* list = nullptr;
  *count = 0;
  spvc_resources_get_resource_list_for_type(resources, type, &list, count);
  return list;
}

class SpirvCrossContext {
 public:
  SpirvCrossContext() { spvc_context_create(&context_); }
  ~SpirvCrossContext() { spvc_context_destroy(context_); }
  SpirvCrossContext(const SpirvCrossContext&) = delete;
  SpirvCrossContext& operator=(const SpirvCrossContext&) = delete;
  spvc_context get() const { return context_; }
  std::string LastError() const { return spvc_context_get_last_error_string(context_); }

 private:
  spvc_context context_ = nullptr;
};

// Locates the stage's varyings by semantic. Returns false with a message when two of them claim the same
// locations.
bool LocateVaryings(spvc_compiler compiler, const spvc_reflected_resource* list, size_t count,
                    const std::string& fileName, std::string* error) {
  std::map<uint32_t, std::string> taken;
  for (size_t i = 0; i < count; ++i) {
    std::string name;
    uint32_t index = 0;
    SplitSemantic(spvc_compiler_get_decoration_string(compiler, list[i].id, SpvDecorationUserSemantic), &name, &index);
    const uint32_t location = VaryingLocation(name, index);
    const uint32_t span = LocationSpan(compiler, list[i].type_id);
    const std::string semantic = name + std::to_string(index);
    for (uint32_t at = location; at < location + span; ++at) {
      if (at >= kVaryingLocations || taken.count(at)) {
        *error = fileName + ": error: varying " + semantic + " has no free location" +
                 (at < kVaryingLocations ? " (it collides with " + taken[at] + ")" : "") +
                 "; use TEXCOORD0-15 for custom data\n";
        return false;
      }
      taken[at] = semantic;
    }
    spvc_compiler_set_decoration(compiler, list[i].id, SpvDecorationLocation, location);
  }
  return true;
}

// Each cbuffer becomes "uniform vec4 d3d_cb<register>[...]". False when SPIRV-Cross cannot flatten one.
bool ReflectConstantBuffers(spvc_compiler compiler, spvc_resources resources,
                            std::vector<ShaderConstantBuffer>* buffers) {
  size_t count = 0;
  const spvc_reflected_resource* list = ResourceList(resources, SPVC_RESOURCE_TYPE_UNIFORM_BUFFER, &count);
  for (size_t i = 0; i < count; ++i) {
    ShaderConstantBuffer cb;
    cb.slot = spvc_compiler_get_decoration(compiler, list[i].id, SpvDecorationBinding);
    cb.uniformName = "d3d_cb" + std::to_string(cb.slot);
    size_t size = 0;
    spvc_compiler_get_declared_struct_size(compiler, spvc_compiler_get_type_handle(compiler, list[i].base_type_id),
                                           &size);
    cb.vec4Count = static_cast<uint32_t>((size + 15) / 16);
    spvc_compiler_set_name(compiler, list[i].id, cb.uniformName.c_str());
    spvc_compiler_set_name(compiler, list[i].base_type_id, cb.uniformName.c_str());
    if (spvc_compiler_flatten_buffer_block(compiler, list[i].id) != SPVC_SUCCESS) return false;
    buffers->push_back(cb);
  }
  return true;
}

// Each combined (texture, sampler) uniform is named "d3d_t<t register>_s<s register>", or "d3d_t<t register>"
// for a texture read without a sampler (dummySampler's pairs).
void ReflectTextures(spvc_compiler compiler, spvc_variable_id dummySampler,
                     std::vector<ShaderSampledTexture>* textures) {
  size_t count = 0;
  const spvc_combined_image_sampler* samplers = nullptr;
  spvc_compiler_get_combined_image_samplers(compiler, &samplers, &count);
  for (size_t i = 0; i < count; ++i) {
    ShaderSampledTexture texture;
    texture.textureSlot = spvc_compiler_get_decoration(compiler, samplers[i].image_id, SpvDecorationBinding) - kTextureShift;
    texture.uniformName = "d3d_t" + std::to_string(texture.textureSlot);
    if (samplers[i].sampler_id != dummySampler) {
      texture.samplerSlot = spvc_compiler_get_decoration(compiler, samplers[i].sampler_id, SpvDecorationBinding) - kSamplerShift;
      texture.uniformName += "_s" + std::to_string(texture.samplerSlot);
    }
    spvc_compiler_set_name(compiler, samplers[i].combined_id, texture.uniformName.c_str());
    spvc_compiler_unset_decoration(compiler, samplers[i].combined_id, SpvDecorationBinding);
    spvc_compiler_unset_decoration(compiler, samplers[i].combined_id, SpvDecorationDescriptorSet);
    textures->push_back(texture);
  }
}

// A vertex shader's inputs are reflected by semantic for the input layout, and its outputs located; a pixel
// shader's inputs are located.
bool ReflectStageInterface(spvc_compiler compiler, spvc_resources resources, const std::string& fileName,
                           ShaderCode* code, std::string* error) {
  size_t count = 0;
  const spvc_reflected_resource* inputs = ResourceList(resources, SPVC_RESOURCE_TYPE_STAGE_INPUT, &count);
  if (code->stage != ShaderStage::Vertex) return LocateVaryings(compiler, inputs, count, fileName, error);
  for (size_t i = 0; i < count; ++i) {
    ShaderInput input;
    SplitSemantic(spvc_compiler_get_decoration_string(compiler, inputs[i].id, SpvDecorationUserSemantic),
                  &input.semantic, &input.semanticIndex);
    input.location = spvc_compiler_get_decoration(compiler, inputs[i].id, SpvDecorationLocation);
    code->inputs.push_back(input);
  }
  size_t outputCount = 0;
  const spvc_reflected_resource* outputs = ResourceList(resources, SPVC_RESOURCE_TYPE_STAGE_OUTPUT, &outputCount);
  return LocateVaryings(compiler, outputs, outputCount, fileName, error);
}

// GLSL 4.50 for a separable program; null when SPIRV-Cross refuses, with *failure saying where.
const char* CompileGlsl(spvc_compiler compiler, const char** failure) {
  spvc_compiler_options options = nullptr;
  if (spvc_compiler_create_compiler_options(compiler, &options) != SPVC_SUCCESS) {
    *failure = "no compiler options";
    return nullptr;
  }
  spvc_compiler_options_set_uint(options, SPVC_COMPILER_OPTION_GLSL_VERSION, 450);
  spvc_compiler_options_set_bool(options, SPVC_COMPILER_OPTION_GLSL_ES, SPVC_FALSE);
  spvc_compiler_options_set_bool(options, SPVC_COMPILER_OPTION_GLSL_VULKAN_SEMANTICS, SPVC_FALSE);
  spvc_compiler_options_set_bool(options, SPVC_COMPILER_OPTION_GLSL_SEPARATE_SHADER_OBJECTS, SPVC_TRUE);
  spvc_compiler_install_compiler_options(compiler, options);
  const char* glsl = nullptr;
  if (spvc_compiler_compile(compiler, &glsl) != SPVC_SUCCESS || !glsl) *failure = "GLSL translation failed";
  return *failure ? nullptr : glsl;
}

}  // namespace

bool SpirvToGlsl(const std::vector<uint32_t>& spirv, const std::string& fileName, ShaderCode* code,
                 std::string* error) {
  SpirvCrossContext context;
  auto fail = [&](const std::string& what) {
    *error = fileName + ": error: " + what + ": " + context.LastError() + "\n";
    return false;
  };
  spvc_parsed_ir ir = nullptr;
  spvc_compiler compiler = nullptr;
  if (spvc_context_parse_spirv(context.get(), spirv.data(), spirv.size(), &ir) != SPVC_SUCCESS ||
      spvc_context_create_compiler(context.get(), SPVC_BACKEND_GLSL, ir, SPVC_CAPTURE_MODE_TAKE_OWNERSHIP,
                                   &compiler) != SPVC_SUCCESS)
    return fail("SPIR-V not accepted");

  spvc_variable_id dummySampler = 0;
  spvc_resources resources = nullptr;
  if (spvc_compiler_build_dummy_sampler_for_combined_images(compiler, &dummySampler) != SPVC_SUCCESS ||
      spvc_compiler_build_combined_image_samplers(compiler) != SPVC_SUCCESS ||
      spvc_compiler_create_shader_resources(compiler, &resources) != SPVC_SUCCESS)
    return fail("resources not translatable");
  if (!ReflectConstantBuffers(compiler, resources, &code->constantBuffers)) return fail("cbuffer not flattenable");
  ReflectTextures(compiler, dummySampler, &code->textures);
  if (!ReflectStageInterface(compiler, resources, fileName, code, error)) return false;

  const char* failure = nullptr;
  const char* glsl = CompileGlsl(compiler, &failure);
  if (!glsl) return fail(failure);
  code->glsl = glsl;
  return true;
}

}  // namespace platform
