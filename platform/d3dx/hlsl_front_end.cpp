// HLSL -> SPIR-V with glslang's HLSL front end, one stage per call. Register numbers pass through as
// register_bindings.h says.
#include "d3dx/hlsl_front_end.h"

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>

#include <map>
#include <mutex>
#include <sstream>

#include "d3dx/register_bindings.h"

namespace platform {
namespace {

// glslang writes "ERROR: file:line: text" and "WARNING: file:line: text"; Direct3D's compiler writes
// "file(line,column): error X0000: text". The messages keep glslang's text in Direct3D's shape, minus the
// column glslang does not know, and drop glslang's summary lines ("1 compilation errors...").
std::string FormatMessages(const std::string& log) {
  std::istringstream lines(log);
  std::string line, out;
  while (std::getline(lines, line)) {
    const char* severity = nullptr;
    std::string rest;
    if (line.rfind("ERROR: ", 0) == 0) {
      severity = "error";
      rest = line.substr(7);
    } else if (line.rfind("WARNING: ", 0) == 0) {
      severity = "warning";
      rest = line.substr(9);
    } else {
      continue;
    }
    // rest = "file:line: text" (the file name may itself hold ':'), or plain text.
    size_t textStart = rest.find(": ");
    while (textStart != std::string::npos) {
      size_t colon = rest.rfind(':', textStart - 1);
      if (colon != std::string::npos && colon + 1 < textStart &&
          rest.find_first_not_of("0123456789", colon + 1) == textStart) {
        out += rest.substr(0, colon) + "(" + rest.substr(colon + 1, textStart - colon - 1) + "): " + severity +
               ": " + rest.substr(textStart + 2) + "\n";
        break;
      }
      textStart = rest.find(": ", textStart + 2);
    }
    if (textStart == std::string::npos) {
      if (rest.find("compilation errors") != std::string::npos || rest.find("No code generated") != std::string::npos)
        continue;
      out += std::string(severity) + ": " + rest + "\n";
    }
  }
  return out;
}

// Hands #include requests to the application's ID3DInclude. The data of each open file is kept by name so
// that a nested include can pass its parent's data to Open, as Direct3D does.
class IncludeBridge final : public glslang::TShader::Includer {
 public:
  explicit IncludeBridge(ID3DInclude* include) : include_(include) {}

  IncludeResult* includeLocal(const char* headerName, const char* includerName, size_t) override {
    return Open(D3D_INCLUDE_LOCAL, headerName, includerName);
  }
  IncludeResult* includeSystem(const char* headerName, const char* includerName, size_t) override {
    return Open(D3D_INCLUDE_SYSTEM, headerName, includerName);
  }
  void releaseInclude(IncludeResult* result) override {
    if (!result) return;
    include_->Close(result->userData);
    delete result;
  }

 private:
  IncludeResult* Open(D3D_INCLUDE_TYPE type, const char* headerName, const char* includerName) {
    if (!include_) return nullptr;
    auto parent = openData_.find(includerName ? includerName : "");
    LPCVOID data = nullptr;
    UINT bytes = 0;
    if (FAILED(include_->Open(type, headerName, parent == openData_.end() ? nullptr : parent->second, &data,
                              &bytes)) ||
        (!data && bytes != 0))
      return nullptr;
    openData_[headerName] = data;
    return new IncludeResult(headerName, static_cast<const char*>(data), bytes, const_cast<void*>(data));
  }

  ID3DInclude* include_;
  std::map<std::string, LPCVOID> openData_;
};

EShLanguage GlslangStage(ShaderStage stage) { return stage == ShaderStage::Vertex ? EShLangVertex : EShLangFragment; }

// Direct3D's environment for glslang: HLSL in, Vulkan-flavoured SPIR-V 1.0 out, registers mapped as
// register_bindings.h says.
void SetUpShader(glslang::TShader* shader, EShLanguage stage, const char* entryPoint) {
  shader->setEntryPoint(entryPoint);
  shader->setSourceEntryPoint(entryPoint);
  shader->setEnvInput(glslang::EShSourceHlsl, stage, glslang::EShClientVulkan, 100);
  shader->setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
  shader->setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
  shader->setEnvTargetHlslFunctionality1();
  shader->setHlslIoMapping(true);
  shader->setAutoMapBindings(true);
  shader->setAutoMapLocations(true);
  shader->setShiftBinding(glslang::EResTexture, kTextureShift);
  shader->setShiftBinding(glslang::EResSampler, kSamplerShift);
  shader->setDxPositionW(true);  // a pixel shader's SV_Position.w is clip w, as in Direct3D (gl_FragCoord.w is 1/w)
}

}  // namespace

bool HlslToSpirv(const HlslSource& source, std::vector<uint32_t>* spirv, std::string* messages) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { glslang::InitializeProcess(); });

  const EShLanguage stage = GlslangStage(source.stage);
  const char* entryPoint = source.entryPoint.c_str();
  glslang::TShader shader(stage);
  const char* text = source.source.c_str();
  const int length = static_cast<int>(source.source.size());
  const char* name = source.fileName.c_str();
  shader.setStringsWithLengthsAndNames(&text, &length, &name, 1);
  shader.setPreamble(source.preamble.c_str());
  SetUpShader(&shader, stage, entryPoint);

  const auto rules =
      static_cast<EShMessages>(EShMsgSpvRules | EShMsgVulkanRules | EShMsgReadHlsl | EShMsgHlslOffsets);
  IncludeBridge includer(source.include);
  if (!shader.parse(GetDefaultResources(), 100, false, rules, includer)) {
    *messages = FormatMessages(shader.getInfoLog());
    return false;
  }
  glslang::TProgram program;
  program.addShader(&shader);
  if (!program.link(rules) || !program.mapIO()) {
    // A missing entry point is only a warning in glslang's log; link() failing is the error.
    const std::string linkLog = shader.getInfoLog() + std::string(program.getInfoLog());
    *messages = FormatMessages(linkLog);
    if (linkLog.find("ERROR: ") == std::string::npos)
      *messages += source.fileName + ": error: entry point '" + entryPoint + "' not found or not linkable\n";
    return false;
  }
  *messages = FormatMessages(shader.getInfoLog());

  glslang::SpvOptions options;
  options.disableOptimizer = false;  // legalisation: textures passed to functions, etc.
  spv::SpvBuildLogger logger;
  glslang::GlslangToSpv(*program.getIntermediate(stage), *spirv, &logger, &options);
  return !spirv->empty();
}

}  // namespace platform
