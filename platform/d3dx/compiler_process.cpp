// The compiler process (compiler_process.h) and its socket protocol: each message is its 32-bit length
// and its bytes; a question holds the stage, file name, source, preamble and entry point, an answer the
// HRESULT, the messages and the compiled code. The compiler process touches nothing but the compiler and
// leaves with _exit when the caller closes its end (at the latest when the caller exits).
#include "d3dx/compiler_process.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>

#include "d3dx/glsl_back_end.h"
#include "d3dx/hlsl_front_end.h"

namespace platform {
namespace {

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

void PutQuestion(const HlslSource& source, Message* question) {
  question->Put(uint32_t(source.stage));
  question->Put(source.fileName);
  question->Put(source.source);
  question->Put(source.preamble);
  question->Put(source.entryPoint);
}

bool TakeQuestion(Message* question, HlslSource* source) {
  uint32_t stage = 0;
  if (!question->Take(&stage) || !question->Take(&source->fileName) || !question->Take(&source->source) ||
      !question->Take(&source->preamble) || !question->Take(&source->entryPoint))
    return false;
  source->stage = static_cast<ShaderStage>(stage);
  return true;
}

void PutAnswer(const CompileResult& result, Message* answer) {
  answer->Put(uint32_t(result.hr));
  answer->Put(result.messages);
  answer->Put(result.code.data(), result.code.size());
}

bool TakeAnswer(Message* answer, CompileResult* result) {
  uint32_t hr = 0;
  std::string code;
  if (!answer->Take(&hr) || !answer->Take(&result->messages) || !answer->Take(&code) || !answer->AtEnd())
    return false;
  result->hr = HRESULT(hr);
  result->code.assign(code.begin(), code.end());
  return true;
}

// The one compiler process of this process, forked on first use (see compiler_process.h). A failed
// exchange ends it; the next compile forks a new one.
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

  CompileResult Compile(const HlslSource& source) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0 && !Start(/*warm=*/false)) return CompileInProcess(source);  // no fork possible: no isolation either
    Message question;
    PutQuestion(source, &question);
    Message answer;
    CompileResult result;
    if (SendMessage(fd_, question) && ReceiveMessage(fd_, &answer, kCompileTimeoutMs) && TakeAnswer(&answer, &result))
      return result;
    const std::string what = Stop();
    result = CompileResult();
    result.messages = source.fileName + ": error: the HLSL compiler " + what + " on this file\n";
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
    HlslSource request;
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
      HlslSource source;
      if (!ReceiveMessage(fd, &question, -1) || !TakeQuestion(&question, &source)) _exit(0);
      Message answer;
      PutAnswer(CompileInProcess(source), &answer);
      if (!SendMessage(fd, answer)) _exit(0);
    }
  }

  std::mutex mutex_;
  pid_t pid_ = -1;
  int fd_ = -1;
};

}  // namespace

CompileResult CompileInProcess(const HlslSource& source) {
  CompileResult result;
  std::vector<uint32_t> spirv;
  if (!HlslToSpirv(source, &spirv, &result.messages)) return result;
  ShaderCode code;
  code.stage = source.stage;
  std::string error;
  if (!SpirvToGlsl(spirv, source.fileName, &code, &error)) {
    result.messages += error;
    return result;
  }
  result.code = SerializeShaderCode(code);
  result.hr = S_OK;
  return result;
}

CompileResult CompileInCompilerProcess(const HlslSource& source) { return CompilerProcess::Instance().Compile(source); }

void StartShaderCompiler() { CompilerProcess::Instance().StartWarm(); }

}  // namespace platform
