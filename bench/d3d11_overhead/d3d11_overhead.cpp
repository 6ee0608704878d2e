// Frames of a few hundred small draws, each after a constant-buffer update, drawn through the Direct3D 11
// layer (Map WRITE_DISCARD, Unmap, DrawIndexed) and through raw OpenGL (glProgramUniform4fv, glDrawElements)
// with the same GLSL, buffers and target size, each in its own headless context. Rounds alternate between
// the two so both see the same machine load; the medians and their ratio are printed (goal: at most 1.1).
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/glcorearb.h>
#include <d3d11.h>
#include <d3dx11.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "common/shader_code.h"

namespace {

constexpr int kDrawsPerFrame = 300;
constexpr int kFramesPerRound = 10;
constexpr int kRounds = 60;
constexpr UINT kSize = 256;

struct DrawConstants {
  float offset[4];
  float color[4];
  float scale[4];
  float unused[4];
};

// The same per-draw values for both paths: a 5 x 5 pixel quad walking across the target.
DrawConstants ConstantsFor(int draw) {
  const float x = -0.9f + 1.8f * float(draw % 20) / 20.0f, y = -0.9f + 1.8f * float(draw / 20) / 15.0f;
  return {{x, y, 0.5f, 0}, {float(draw % 7) / 7.0f, float(draw % 5) / 5.0f, 1, 1}, {0.02f, 0.02f, 1, 0}, {}};
}

const float kQuad[] = {-1, -1, 0, -1, 1, 0, 1, 1, 0, 1, -1, 0};
const uint32_t kIndices[] = {0, 1, 2, 0, 2, 3};

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

ID3D10Blob* Compile(const char* entry, const char* profile) {
  const std::string path = OVERHEAD_HLSL;
  const std::wstring wide(path.begin(), path.end());
  ID3D10Blob* code = nullptr;
  ID3D10Blob* errors = nullptr;
  if (FAILED(D3DX11CompileFromFileW(wide.c_str(), nullptr, nullptr, entry, profile, 0, 0, nullptr, &code, &errors,
                                    nullptr))) {
    std::fprintf(stderr, "%s: %s\n", entry, errors ? static_cast<const char*>(errors->GetBufferPointer()) : "failed");
    return nullptr;
  }
  if (errors) errors->Release();
  return code;
}

// ---- through the layer ----

class LayerPath {
 public:
  bool Init(ID3D10Blob* vs, ID3D10Blob* ps) {
    const D3D_FEATURE_LEVEL level = D3D_FEATURE_LEVEL_11_0;
    if (FAILED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, &level, 1, D3D11_SDK_VERSION,
                                 &device_, nullptr, &context_)))
      return false;
    D3D11_TEXTURE2D_DESC desc = {kSize, kSize, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D11_USAGE_DEFAULT,
                                 D3D11_BIND_RENDER_TARGET, 0, 0};
    device_->CreateTexture2D(&desc, nullptr, &target_);
    device_->CreateRenderTargetView(target_, nullptr, &targetView_);
    desc.Format = DXGI_FORMAT_D32_FLOAT;
    desc.BindFlags = D3D11_BIND_DEPTH_STENCIL;
    device_->CreateTexture2D(&desc, nullptr, &depth_);
    device_->CreateDepthStencilView(depth_, nullptr, &depthView_);
    device_->CreateVertexShader(vs->GetBufferPointer(), vs->GetBufferSize(), nullptr, &vs_);
    device_->CreatePixelShader(ps->GetBufferPointer(), ps->GetBufferSize(), nullptr, &ps_);
    const D3D11_INPUT_ELEMENT_DESC element = {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0,
                                              D3D11_INPUT_PER_VERTEX_DATA, 0};
    device_->CreateInputLayout(&element, 1, vs->GetBufferPointer(), vs->GetBufferSize(), &layout_);
    D3D11_BUFFER_DESC bufferDesc = {sizeof kQuad, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, 0, 0, 0};
    D3D11_SUBRESOURCE_DATA data = {kQuad, 0, 0};
    device_->CreateBuffer(&bufferDesc, &data, &vertices_);
    bufferDesc = {sizeof kIndices, D3D11_USAGE_DEFAULT, D3D11_BIND_INDEX_BUFFER, 0, 0, 0};
    data.pSysMem = kIndices;
    device_->CreateBuffer(&bufferDesc, &data, &indices_);
    bufferDesc = {sizeof(DrawConstants), D3D11_USAGE_DYNAMIC, D3D11_BIND_CONSTANT_BUFFER, D3D11_CPU_ACCESS_WRITE, 0, 0};
    device_->CreateBuffer(&bufferDesc, nullptr, &constants_);
    D3D11_RASTERIZER_DESC rasterizer = {D3D11_FILL_SOLID, D3D11_CULL_NONE, FALSE, 0, 0, 0, TRUE, FALSE, FALSE, FALSE};
    device_->CreateRasterizerState(&rasterizer, &rasterizer_);
    if (!vs_ || !ps_ || !layout_ || !vertices_ || !indices_ || !constants_ || !targetView_ || !depthView_) return false;

    context_->OMSetRenderTargets(1, &targetView_, depthView_);
    const D3D11_VIEWPORT viewport = {0, 0, float(kSize), float(kSize), 0, 1};
    context_->RSSetViewports(1, &viewport);
    context_->RSSetState(rasterizer_);
    context_->VSSetShader(vs_, nullptr, 0);
    context_->PSSetShader(ps_, nullptr, 0);
    context_->VSSetConstantBuffers(0, 1, &constants_);
    context_->PSSetConstantBuffers(0, 1, &constants_);
    context_->IASetInputLayout(layout_);
    context_->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    const UINT stride = 12, offset = 0;
    context_->IASetVertexBuffers(0, 1, &vertices_, &stride, &offset);
    context_->IASetIndexBuffer(indices_, DXGI_FORMAT_R32_UINT, 0);
    return true;
  }

  void Frame() {
    const float clear[4] = {0, 0, 0.3f, 1};
    context_->ClearRenderTargetView(targetView_, clear);
    context_->ClearDepthStencilView(depthView_, D3D11_CLEAR_DEPTH, 1.0f, 0);
    for (int draw = 0; draw < kDrawsPerFrame; ++draw) {
      const DrawConstants constants = ConstantsFor(draw);
      D3D11_MAPPED_SUBRESOURCE mapped;
      if (SUCCEEDED(context_->Map(constants_, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped))) {
        memcpy(mapped.pData, &constants, sizeof constants);
        context_->Unmap(constants_, 0);
      }
      context_->DrawIndexed(6, 0, 0);
    }
  }

  // Waits for the frames drawn so far; the layer's context is current after its calls.
  void Finish() { glFinish(); }

  ~LayerPath() {
    for (IUnknown* object : std::initializer_list<IUnknown*>{rasterizer_, constants_, indices_, vertices_, layout_, ps_,
                                                             vs_, depthView_, depth_, targetView_, target_, context_,
                                                             device_})
      if (object) object->Release();
  }

 private:
  ID3D11Device* device_ = nullptr;
  ID3D11DeviceContext* context_ = nullptr;
  ID3D11Texture2D* target_ = nullptr;
  ID3D11RenderTargetView* targetView_ = nullptr;
  ID3D11Texture2D* depth_ = nullptr;
  ID3D11DepthStencilView* depthView_ = nullptr;
  ID3D11VertexShader* vs_ = nullptr;
  ID3D11PixelShader* ps_ = nullptr;
  ID3D11InputLayout* layout_ = nullptr;
  ID3D11Buffer* vertices_ = nullptr;
  ID3D11Buffer* indices_ = nullptr;
  ID3D11Buffer* constants_ = nullptr;
  ID3D11RasterizerState* rasterizer_ = nullptr;
};

// ---- raw OpenGL, as a hand-written renderer would do the same frame ----

class RawPath {
 public:
  bool Init(ID3D10Blob* vsBlob, ID3D10Blob* psBlob) {
    platform::ShaderCode vsCode, psCode;
    if (!platform::ParseShaderCode(vsBlob->GetBufferPointer(), vsBlob->GetBufferSize(), &vsCode) ||
        !platform::ParseShaderCode(psBlob->GetBufferPointer(), psBlob->GetBufferSize(), &psCode) ||
        vsCode.constantBuffers.empty() || psCode.constantBuffers.empty() || vsCode.inputs.empty())
      return false;
    display_ = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display_ == EGL_NO_DISPLAY || !eglInitialize(display_, nullptr, nullptr) || !eglBindAPI(EGL_OPENGL_API))
      return false;
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 4, EGL_CONTEXT_MINOR_VERSION, 5,
                                 EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
    context_ = eglCreateContext(display_, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context_ == EGL_NO_CONTEXT || !MakeCurrent()) return false;

    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glCreateTextures(GL_TEXTURE_2D, 1, &color_);
    glTextureStorage2D(color_, 1, GL_RGBA8, kSize, kSize);
    glCreateTextures(GL_TEXTURE_2D, 1, &depth_);
    glTextureStorage2D(depth_, 1, GL_DEPTH_COMPONENT32F, kSize, kSize);
    glCreateFramebuffers(1, &framebuffer_);
    glNamedFramebufferTexture(framebuffer_, GL_COLOR_ATTACHMENT0, color_, 0);
    glNamedFramebufferTexture(framebuffer_, GL_DEPTH_ATTACHMENT, depth_, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer_);
    glViewport(0, 0, kSize, kSize);

    const char* vsSource = vsCode.glsl.c_str();
    const char* psSource = psCode.glsl.c_str();
    vs_ = glCreateShaderProgramv(GL_VERTEX_SHADER, 1, &vsSource);
    ps_ = glCreateShaderProgramv(GL_FRAGMENT_SHADER, 1, &psSource);
    vsConstants_ = glGetUniformLocation(vs_, vsCode.constantBuffers[0].uniformName.c_str());
    psConstants_ = glGetUniformLocation(ps_, psCode.constantBuffers[0].uniformName.c_str());
    vsCount_ = GLsizei(vsCode.constantBuffers[0].vec4Count);
    psCount_ = GLsizei(psCode.constantBuffers[0].vec4Count);
    glCreateProgramPipelines(1, &pipeline_);
    glUseProgramStages(pipeline_, GL_VERTEX_SHADER_BIT, vs_);
    glUseProgramStages(pipeline_, GL_FRAGMENT_SHADER_BIT, ps_);
    glBindProgramPipeline(pipeline_);

    glCreateBuffers(1, &vertices_);
    glNamedBufferData(vertices_, sizeof kQuad, kQuad, GL_STATIC_DRAW);
    glCreateBuffers(1, &indices_);
    glNamedBufferData(indices_, sizeof kIndices, kIndices, GL_STATIC_DRAW);
    glCreateVertexArrays(1, &vertexArray_);
    const GLuint location = vsCode.inputs[0].location;
    glEnableVertexArrayAttrib(vertexArray_, location);
    glVertexArrayAttribFormat(vertexArray_, location, 3, GL_FLOAT, GL_FALSE, 0);
    glVertexArrayAttribBinding(vertexArray_, location, 0);
    glVertexArrayVertexBuffer(vertexArray_, 0, vertices_, 0, 12);
    glVertexArrayElementBuffer(vertexArray_, indices_);
    glBindVertexArray(vertexArray_);
    GLint linked = 0, linked2 = 0;
    glGetProgramiv(vs_, GL_LINK_STATUS, &linked);
    glGetProgramiv(ps_, GL_LINK_STATUS, &linked2);
    return linked && linked2 && vsConstants_ >= 0 && psConstants_ >= 0;
  }

  bool MakeCurrent() { return eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_); }

  void Frame() {
    const GLfloat clear[4] = {0, 0, 0.3f, 1}, one = 1.0f;
    glClearNamedFramebufferfv(framebuffer_, GL_COLOR, 0, clear);
    glClearNamedFramebufferfv(framebuffer_, GL_DEPTH, 0, &one);
    for (int draw = 0; draw < kDrawsPerFrame; ++draw) {
      const DrawConstants constants = ConstantsFor(draw);
      glProgramUniform4fv(vs_, vsConstants_, vsCount_, constants.offset);
      glProgramUniform4fv(ps_, psConstants_, psCount_, constants.offset);
      glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, nullptr);
    }
  }

  void Finish() { glFinish(); }

  ~RawPath() {
    if (context_ != EGL_NO_CONTEXT) {
      eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
      eglDestroyContext(display_, context_);
    }
  }

 private:
  EGLDisplay display_ = EGL_NO_DISPLAY;
  EGLContext context_ = EGL_NO_CONTEXT;
  GLuint color_ = 0, depth_ = 0, framebuffer_ = 0, vs_ = 0, ps_ = 0, pipeline_ = 0;
  GLuint vertices_ = 0, indices_ = 0, vertexArray_ = 0;
  GLint vsConstants_ = -1, psConstants_ = -1;
  GLsizei vsCount_ = 0, psCount_ = 0;
};

double ThreadCpuMs() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Timing {
  std::vector<double> wall;  // ms per frame, per round: submission plus llvmpipe's rasterising
  std::vector<double> cpu;   // ms per frame of this thread: the API calls themselves
};

// One untimed frame first: it takes the switch from the other path's context (a flush) and nothing else.
// The timed frames are waited for once, at the end, as a program that presents without vertical sync
// only waits when the driver's queue is full.
template <class Path>
void TimeRound(Path& path, Timing* timing) {
  path.Frame();
  path.Finish();
  const auto start = Clock::now();
  const double cpuStart = ThreadCpuMs();
  for (int i = 0; i < kFramesPerRound; ++i) path.Frame();
  path.Finish();
  timing->cpu.push_back((ThreadCpuMs() - cpuStart) / kFramesPerRound);
  timing->wall.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count() / kFramesPerRound);
}

double Best(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

void Report(const char* name, const Timing& timing) {
  const double wall = Median(timing.wall), cpu = Median(timing.cpu);
  std::printf("  %-18s: median %7.3f ms per frame, %7.3f ms on this thread (%5.2f us per draw); best round %7.3f, "
              "%7.3f\n",
              name, wall, cpu, 1000.0 * cpu / kDrawsPerFrame, Best(timing.wall), Best(timing.cpu));
}

}  // namespace

int main() {
  ID3D10Blob* vs = Compile("VS", "vs_5_0");
  ID3D10Blob* ps = Compile("PS", "ps_5_0");
  if (!vs || !ps) return 1;
  LayerPath layer;
  RawPath raw;
  if (!layer.Init(vs, ps)) {
    std::fprintf(stderr, "could not set up the Direct3D 11 path\n");
    return 1;
  }
  if (!raw.Init(vs, ps)) {
    std::fprintf(stderr, "could not set up the raw OpenGL path\n");
    return 1;
  }
  vs->Release();
  ps->Release();

  // Warm-up: llvmpipe compiles its shaders at first use.
  for (int i = 0; i < 5; ++i) layer.Frame();
  layer.Finish();
  raw.MakeCurrent();
  for (int i = 0; i < 5; ++i) raw.Frame();
  raw.Finish();

  // Short rounds, alternating which path goes first; the layer makes its own context current again.
  Timing layerTiming, rawTiming;
  for (int round = 0; round < kRounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      if ((round + turn) % 2) {
        raw.MakeCurrent();
        TimeRound(raw, &rawTiming);
      } else {
        TimeRound(layer, &layerTiming);
      }
    }
  }
  std::printf("d3d11_overhead: %d draws per frame, each after a constant-buffer update, %ux%u target, "
              "medians of %d rounds of %d frames\n",
              kDrawsPerFrame, kSize, kSize, kRounds, kFramesPerRound);
  Report("Direct3D 11 layer", layerTiming);
  Report("raw OpenGL", rawTiming);
  std::printf("  ratio layer / raw : median %6.3f per frame, %6.3f on this thread; best rounds %6.3f, %6.3f "
              "(goal: at most 1.10)\n",
              Median(layerTiming.wall) / Median(rawTiming.wall), Median(layerTiming.cpu) / Median(rawTiming.cpu),
              Best(layerTiming.wall) / Best(rawTiming.wall), Best(layerTiming.cpu) / Best(rawTiming.cpu));
  return 0;
}
