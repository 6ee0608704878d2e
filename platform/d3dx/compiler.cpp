// D3DX11CompileFromFileW: HLSL -> SPIR-V (glslang's HLSL front end) -> GLSL 4.50 (SPIRV-Cross), packed with
// the reflection the Direct3D 11 layer needs (common/shader_code.h).
//
// Register classes keep their numbers through glslang's binding shifts: cbuffer b<n> becomes binding n,
// texture t<n> binding kTextureShift + n, sampler s<n> binding kSamplerShift + n. SPIRV-Cross then flattens
// each cbuffer into a vec4 array uniform and combines each (texture, sampler) pair into one sampler uniform;
// both are renamed after their registers, and all bindings are dropped from the GLSL because the device
// binds by name.
#include <d3dx11async.h>

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>
#include <spirv_cross/spirv_cross_c.h>

#include <ctype.h>
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "d3dx/compiler.h"

#include "common/blob.h"
#include "common/regular_file.h"
#include "common/shader_code.h"
#include "common/startup_trace.h"
#include "common/text.h"

namespace platform {
namespace {

constexpr unsigned kTextureShift = 1000;
constexpr unsigned kSamplerShift = 2000;
// Varying locations stay below this bound (GL_MAX_VARYING_VECTORS is 32 on the drivers we target).
constexpr uint32_t kVaryingLocations = 32;

std::string ToUpper(std::string text) {
  for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return text;
}

// A shader source larger than this is refused as a file that cannot be read. #include files are not
// opened here: they come from the caller's ID3DInclude.
constexpr size_t kMaxSourceBytes = 4 << 20;

bool ReadSourceFile(const std::string& path, std::string* contents) {
  std::vector<unsigned char> bytes;
  if (!ReadRegularFile(path.c_str(), kMaxSourceBytes, &bytes)) return false;
  contents->assign(bytes.begin(), bytes.end());
  return true;
}

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

std::string MacroPreamble(const D3D10_SHADER_MACRO* defines) {
  std::string preamble;
  for (; defines && defines->Name; ++defines)
    preamble += std::string("#define ") + defines->Name + " " + (defines->Definition ? defines->Definition : "") + "\n";
  return preamble;
}

// glslang: HLSL source -> legalised SPIR-V for one stage. *messages receives the compiler's errors and
// warnings.
bool HlslToSpirv(const std::string& fileName, const std::string& source, const std::string& preamble,
                 const char* entryPoint, EShLanguage stage, ID3DInclude* include, std::vector<uint32_t>* spirv,
                 std::string* messages) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { glslang::InitializeProcess(); });

  glslang::TShader shader(stage);
  const char* text = source.c_str();
  const int length = static_cast<int>(source.size());
  const char* name = fileName.c_str();
  shader.setStringsWithLengthsAndNames(&text, &length, &name, 1);
  shader.setPreamble(preamble.c_str());
  shader.setEntryPoint(entryPoint);
  shader.setSourceEntryPoint(entryPoint);
  shader.setEnvInput(glslang::EShSourceHlsl, stage, glslang::EShClientVulkan, 100);
  shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
  shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
  shader.setEnvTargetHlslFunctionality1();
  shader.setHlslIoMapping(true);
  shader.setAutoMapBindings(true);
  shader.setAutoMapLocations(true);
  shader.setShiftBinding(glslang::EResTexture, kTextureShift);
  shader.setShiftBinding(glslang::EResSampler, kSamplerShift);
  shader.setDxPositionW(true);  // a pixel shader's SV_Position.w is clip w, as in Direct3D (gl_FragCoord.w is 1/w)

  const auto rules =
      static_cast<EShMessages>(EShMsgSpvRules | EShMsgVulkanRules | EShMsgReadHlsl | EShMsgHlslOffsets);
  IncludeBridge includer(include);
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
      *messages += fileName + ": error: entry point '" + entryPoint + "' not found or not linkable\n";
    return false;
  }
  *messages = FormatMessages(shader.getInfoLog());

  glslang::SpvOptions options;
  options.disableOptimizer = false;  // legalisation: textures passed to functions, etc.
  spv::SpvBuildLogger logger;
  glslang::GlslangToSpv(*program.getIntermediate(stage), *spirv, &logger, &options);
  return !spirv->empty();
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

// SPIR-V -> GLSL 4.50 for a separable program, filling code->glsl and the reflection.
bool SpirvToGlsl(const std::vector<uint32_t>& spirv, const std::string& fileName, ShaderCode* code,
                 std::string* error) {
  SpirvCrossContext context;
  spvc_parsed_ir ir = nullptr;
  spvc_compiler compiler = nullptr;
  spvc_resources resources = nullptr;
  spvc_compiler_options options = nullptr;
  auto fail = [&](const std::string& what) {
    *error = fileName + ": error: " + what + ": " + context.LastError() + "\n";
    return false;
  };
  if (spvc_context_parse_spirv(context.get(), spirv.data(), spirv.size(), &ir) != SPVC_SUCCESS ||
      spvc_context_create_compiler(context.get(), SPVC_BACKEND_GLSL, ir, SPVC_CAPTURE_MODE_TAKE_OWNERSHIP,
                                   &compiler) != SPVC_SUCCESS)
    return fail("SPIR-V not accepted");

  spvc_variable_id dummySampler = 0;
  if (spvc_compiler_build_dummy_sampler_for_combined_images(compiler, &dummySampler) != SPVC_SUCCESS ||
      spvc_compiler_build_combined_image_samplers(compiler) != SPVC_SUCCESS ||
      spvc_compiler_create_shader_resources(compiler, &resources) != SPVC_SUCCESS)
    return fail("resources not translatable");

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
    if (spvc_compiler_flatten_buffer_block(compiler, list[i].id) != SPVC_SUCCESS) return fail("cbuffer not flattenable");
    code->constantBuffers.push_back(cb);
  }

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
    code->textures.push_back(texture);
  }

  const spvc_reflected_resource* inputs = ResourceList(resources, SPVC_RESOURCE_TYPE_STAGE_INPUT, &count);
  if (code->stage == ShaderStage::Vertex) {
    for (size_t i = 0; i < count; ++i) {
      ShaderInput input;
      SplitSemantic(spvc_compiler_get_decoration_string(compiler, inputs[i].id, SpvDecorationUserSemantic),
                    &input.semantic, &input.semanticIndex);
      input.location = spvc_compiler_get_decoration(compiler, inputs[i].id, SpvDecorationLocation);
      code->inputs.push_back(input);
    }
    size_t outputCount = 0;
    const spvc_reflected_resource* outputs = ResourceList(resources, SPVC_RESOURCE_TYPE_STAGE_OUTPUT, &outputCount);
    if (!LocateVaryings(compiler, outputs, outputCount, fileName, error)) return false;
  } else if (!LocateVaryings(compiler, inputs, count, fileName, error)) {
    return false;
  }

  if (spvc_compiler_create_compiler_options(compiler, &options) != SPVC_SUCCESS) return fail("no compiler options");
  spvc_compiler_options_set_uint(options, SPVC_COMPILER_OPTION_GLSL_VERSION, 450);
  spvc_compiler_options_set_bool(options, SPVC_COMPILER_OPTION_GLSL_ES, SPVC_FALSE);
  spvc_compiler_options_set_bool(options, SPVC_COMPILER_OPTION_GLSL_VULKAN_SEMANTICS, SPVC_FALSE);
  spvc_compiler_options_set_bool(options, SPVC_COMPILER_OPTION_GLSL_SEPARATE_SHADER_OBJECTS, SPVC_TRUE);
  spvc_compiler_install_compiler_options(compiler, options);
  const char* glsl = nullptr;
  if (spvc_compiler_compile(compiler, &glsl) != SPVC_SUCCESS || !glsl) return fail("GLSL translation failed");
  code->glsl = glsl;
  return true;
}

struct CompileRequest {
  std::string fileName;
  std::string source;
  std::string preamble;
  std::string entryPoint;
  ShaderStage stage = ShaderStage::Vertex;
  ID3DInclude* include = nullptr;
};

struct CompileResult {
  HRESULT hr = E_FAIL;
  std::string messages;
  std::vector<unsigned char> code;  // SerializeShaderCode's bytes
};

CompileResult CompileInProcess(const CompileRequest& request) {
  CompileResult result;
  ShaderCode code;
  code.stage = request.stage;
  const EShLanguage stage = request.stage == ShaderStage::Vertex ? EShLangVertex : EShLangFragment;
  std::vector<uint32_t> spirv;
  if (!HlslToSpirv(request.fileName, request.source, request.preamble, request.entryPoint.c_str(), stage,
                   request.include, &spirv, &result.messages))
    return result;
  std::string error;
  if (!SpirvToGlsl(spirv, request.fileName, &code, &error)) {
    result.messages += error;
    return result;
  }
  result.code = SerializeShaderCode(code);
  result.hr = S_OK;
  return result;
}

// Messages between this process and the compiler process: 32-bit lengths and values, then bytes.
class Message {
 public:
  Message() = default;
  explicit Message(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}
  const std::vector<unsigned char>& Bytes() const { return bytes_; }

  void Put(uint32_t value) { PutRaw(&value, sizeof value); }
  void Put(const std::string& text) { Put(text.data(), text.size()); }
  void Put(const void* data, size_t size) {
    Put(uint32_t(size));
    PutRaw(data, size);
  }
  bool Take(uint32_t* value) { return TakeRaw(value, sizeof *value); }
  bool Take(std::string* text) {
    uint32_t size = 0;
    if (!Take(&size) || size > bytes_.size() - at_) return false;
    text->assign(reinterpret_cast<const char*>(bytes_.data() + at_), size);
    at_ += size;
    return true;
  }
  bool AtEnd() const { return at_ == bytes_.size(); }

 private:
  void PutRaw(const void* data, size_t size) {
    bytes_.insert(bytes_.end(), static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + size);
  }
  bool TakeRaw(void* data, size_t size) {
    if (size > bytes_.size() - at_) return false;
    memcpy(data, bytes_.data() + at_, size);
    at_ += size;
    return true;
  }

  std::vector<unsigned char> bytes_;
  size_t at_ = 0;
};

// Each message goes over the socket as its 32-bit length and its bytes. MSG_NOSIGNAL: a peer that has
// died gives an error, not SIGPIPE.
bool SendMessage(int fd, const Message& message) {
  const uint32_t size = uint32_t(message.Bytes().size());
  std::vector<unsigned char> frame(sizeof size);
  memcpy(frame.data(), &size, sizeof size);
  frame.insert(frame.end(), message.Bytes().begin(), message.Bytes().end());
  for (size_t sent = 0; sent < frame.size();) {
    const ssize_t n = send(fd, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += size_t(n);
  }
  return true;
}

// Reads exactly size bytes; timeoutMs < 0 waits for ever.
bool ReceiveBytes(int fd, void* data, size_t size, int timeoutMs) {
  auto* bytes = static_cast<unsigned char*>(data);
  while (size > 0) {
    pollfd readable = {fd, POLLIN, 0};
    const int ready = poll(&readable, 1, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t n = recv(fd, bytes, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= size_t(n);
  }
  return true;
}

constexpr uint32_t kMaxMessage = 1u << 30;

bool ReceiveMessage(int fd, Message* message, int timeoutMs) {
  uint32_t size = 0;
  if (!ReceiveBytes(fd, &size, sizeof size, timeoutMs) || size > kMaxMessage) return false;
  std::vector<unsigned char> bytes(size);
  if (!ReceiveBytes(fd, bytes.data(), size, timeoutMs)) return false;
  *message = Message(std::move(bytes));
  return true;
}

// glslang crashes on some malformed sources (a declaration like "float k[2 = 1.0;" is one), and a broken
// shader file must fail its compile, not end the program. Compiles therefore run in a compiler process
// forked on first use, which keeps glslang's tables of built-ins warm from one compile to the next and
// answers over a socket. When it dies, or takes longer than kCompileTimeoutMs, that compile fails with a
// message saying so, and the next compile forks a new one. The compiler process touches nothing but the
// compiler and leaves with _exit when this process closes its end (at the latest when it exits).
class CompilerProcess {
 public:
  static CompilerProcess& Instance() {
    static CompilerProcess* const instance = new CompilerProcess;  // lives as long as the process
    return *instance;
  }

  // Starts the compiler process ahead of the first compile; it loads glslang's built-ins while the caller
  // goes on (see StartShaderCompiler).
  void StartWarm() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0) Start(/*warm=*/true);
  }

  CompileResult Compile(const CompileRequest& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0 && !Start(/*warm=*/false)) return CompileInProcess(request);  // no fork possible: no isolation either
    Message question;
    question.Put(uint32_t(request.stage));
    question.Put(request.fileName);
    question.Put(request.source);
    question.Put(request.preamble);
    question.Put(request.entryPoint);
    Message answer;
    CompileResult result;
    uint32_t hr = 0;
    if (SendMessage(fd_, question) && ReceiveMessage(fd_, &answer, kCompileTimeoutMs) && answer.Take(&hr) &&
        answer.Take(&result.messages)) {
      std::string code;
      if (answer.Take(&code) && answer.AtEnd()) {
        result.hr = HRESULT(hr);
        result.code.assign(code.begin(), code.end());
        return result;
      }
    }
    const std::string what = Stop();
    result = CompileResult();
    result.messages = request.fileName + ": error: the HLSL compiler " + what + " on this file\n";
    return result;
  }

 private:
  static constexpr int kCompileTimeoutMs = 30000;

  bool Start(bool warm) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
    const pid_t pid = fork();
    if (pid < 0) {
      close(fds[0]);
      close(fds[1]);
      return false;
    }
    if (pid == 0) {
      // Keep only standard error and the socket: the caller's window, GL and file descriptors are not
      // held open by the compiler process.
      const int socket = fds[1] > 3 ? fds[1] : dup2(fds[1], 3);
      close_range(0, 1, 0);
      close_range(3, socket - 1, 0);
      close_range(socket + 1, ~0u, 0);
      if (warm) WarmUp();
      Serve(socket);
    }
    close(fds[1]);
    pid_ = pid;
    fd_ = fds[0];
    return true;
  }

  // Ends the compiler process after a failed exchange and says what became of it. A process that is still
  // there (hung, or answering garbage) is killed; one that crashed is only reaped.
  std::string Stop() {
    close(fd_);
    fd_ = -1;
    kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (WIFSIGNALED(status) && WTERMSIG(status) != SIGKILL)
      return "crashed (signal " + std::to_string(WTERMSIG(status)) + ")";
    return "did not answer";
  }

  // One small compile per stage builds glslang's tables of HLSL built-ins, the larger part of a first compile.
  static void WarmUp() {
    CompileRequest request;
    request.fileName = "warm-up";
    request.source = "float4 VS(float4 p : POSITION) : SV_Position { return p; }\n"
                     "float4 PS(float4 p : SV_Position) : SV_Target { return p; }\n";
    request.entryPoint = "VS";
    request.stage = ShaderStage::Vertex;
    CompileInProcess(request);
    request.entryPoint = "PS";
    request.stage = ShaderStage::Pixel;
    CompileInProcess(request);
  }

  [[noreturn]] static void Serve(int fd) {
    // A crash ends this process with its signal, whatever handlers the caller installed; the caller reports it.
    for (int crash : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) signal(crash, SIG_DFL);
    for (;;) {
      Message question;
      CompileRequest request;
      uint32_t stage = 0;
      if (!ReceiveMessage(fd, &question, -1) || !question.Take(&stage) || !question.Take(&request.fileName) ||
          !question.Take(&request.source) || !question.Take(&request.preamble) || !question.Take(&request.entryPoint))
        _exit(0);
      request.stage = static_cast<ShaderStage>(stage);
      const CompileResult result = CompileInProcess(request);
      Message answer;
      answer.Put(uint32_t(result.hr));
      answer.Put(result.messages);
      answer.Put(result.code.data(), result.code.size());
      if (!SendMessage(fd, answer)) _exit(0);
    }
  }

  std::mutex mutex_;
  pid_t pid_ = -1;
  int fd_ = -1;
};

HRESULT Compile(LPCWSTR pSrcFile, const D3D10_SHADER_MACRO* pDefines, ID3DInclude* pInclude, LPCSTR pFunctionName,
                LPCSTR pProfile, ID3D10Blob** ppShader, std::string* messages) {
  CompileRequest request;
  request.fileName = WideToUtf8(pSrcFile);
  if (!ReadSourceFile(request.fileName, &request.source)) {
    *messages = request.fileName + ": error: cannot open file '" + request.fileName + "'\n";
    return D3D11_ERROR_FILE_NOT_FOUND;
  }
  if (strcmp(pProfile, "vs_5_0") == 0) {
    request.stage = ShaderStage::Vertex;
  } else if (strcmp(pProfile, "ps_5_0") == 0) {
    request.stage = ShaderStage::Pixel;
  } else {
    *messages = request.fileName + ": error: unsupported profile '" + pProfile +
                "' (this compiler builds vs_5_0 and ps_5_0)\n";
    return E_FAIL;
  }
  request.preamble = MacroPreamble(pDefines);
  request.entryPoint = pFunctionName;
  request.include = pInclude;
  // An include handler is the caller's object and must see its calls in the caller's process.
  const CompileResult result = pInclude ? CompileInProcess(request) : CompilerProcess::Instance().Compile(request);
  *messages = result.messages;
  if (FAILED(result.hr)) return result.hr;
  *ppShader = CreateBlob(result.code.data(), result.code.size());
  return *ppShader ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

void StartShaderCompiler() { CompilerProcess::Instance().StartWarm(); }

}  // namespace platform

HRESULT WINAPI D3DX11CompileFromFileW(LPCWSTR pSrcFile, CONST D3D10_SHADER_MACRO* pDefines, LPD3D10INCLUDE pInclude,
                                      LPCSTR pFunctionName, LPCSTR pProfile, UINT Flags1, UINT Flags2,
                                      ID3DX11ThreadPump* pPump, ID3D10Blob** ppShader, ID3D10Blob** ppErrorMsgs,
                                      HRESULT* pHResult) {
  (void)Flags1;
  (void)Flags2;
  if (ppShader) *ppShader = nullptr;
  if (ppErrorMsgs) *ppErrorMsgs = nullptr;
  HRESULT hr = E_INVALIDARG;
  std::string messages;
  if (pPump)
    hr = E_NOTIMPL;
  else if (pSrcFile && pFunctionName && pProfile && ppShader)
    hr = platform::Compile(pSrcFile, pDefines, pInclude, pFunctionName, pProfile, ppShader, &messages);
  if (ppErrorMsgs && !messages.empty()) *ppErrorMsgs = platform::CreateTextBlob(messages);
  if (pHResult) *pHResult = hr;
  platform::TraceStartupStep(pProfile ? pProfile : "compile");  // vs_5_0, ps_5_0: for the start-up benchmark
  return hr;
}
