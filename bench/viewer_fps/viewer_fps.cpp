// Frames per second of the viewer's default scene against a raw OpenGL program that draws the same
// buffers with the same shaders, measured side by side in one run under one X display.
//
// The viewer side is the program itself: its own InitWindow and InitDevice from the data folder, then
// RenderFrame called in a loop (clear, constants, both meshes material by material, Present).
// The reference side is plain OpenGL 4.5 in its own SDL window: the vertex and index data and the textures
// are read back from the viewer's GPU resources through staging copies, the GLSL is what the layer's HLSL
// compiler makes of Fog.hlsl, and each frame clears, uploads the same constants, issues the same draws into
// a 640 x 480 framebuffer and presents it the way the layer does (a flipping blit and a buffer swap).
// Both sides end each timed batch by reading the whole frame back, so the work is really done.
//
// Usage: viewer_fps [DATA_DIR [FRAMES_PER_BATCH [BATCHES]]]   (defaults: the build's data folder, 10, 32)
// The goal is a viewer frame time of at most 1.1 times the reference's. Batches alternate between the two
// sides, so load from elsewhere on the machine falls on both; the medians are compared, and the fastest
// batches are shown too (the least disturbed figure on a busy machine), as is the CPU time the process
// spent per frame in all its threads (llvmpipe's included): the work itself, which other load on the
// machine hardly changes.
#include <windows.h>
#include <d3d11.h>
#include <d3dx11.h>
#include <d3dx10math.h>

#include <GL/glcorearb.h>
#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/Window.h"
#include "common/shader_code.h"
#include "graphics/Device.h"
#include "graphics/ShaderConstants.h"
#include "render/Render.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kWarmUpFrames = 20;

[[noreturn]] void Fail(const std::string& message) {
  fprintf(stderr, "viewer_fps: %s\n", message.c_str());
  exit(1);
}

template <class T>
struct Released {
  T* p = nullptr;
  Released() = default;
  Released(const Released&) = delete;
  Released& operator=(const Released&) = delete;
  ~Released() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
};

// ---- reading the viewer's GPU resources back ----

std::vector<unsigned char> ReadBuffer(ID3D11Buffer* buffer) {
  D3D11_BUFFER_DESC desc;
  buffer->GetDesc(&desc);
  D3D11_BUFFER_DESC stagingDesc = {};
  stagingDesc.ByteWidth = desc.ByteWidth;
  stagingDesc.Usage = D3D11_USAGE_STAGING;
  stagingDesc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  Released<ID3D11Buffer> staging;
  if (FAILED(g_app->device->CreateBuffer(&stagingDesc, nullptr, &staging))) Fail("cannot create a staging buffer");
  g_app->context->CopyResource(staging.p, buffer);
  D3D11_MAPPED_SUBRESOURCE mapped;
  if (FAILED(g_app->context->Map(staging.p, 0, D3D11_MAP_READ, 0, &mapped))) Fail("cannot map a staging buffer");
  const unsigned char* bytes = static_cast<const unsigned char*>(mapped.pData);
  std::vector<unsigned char> data(bytes, bytes + desc.ByteWidth);
  g_app->context->Unmap(staging.p, 0);
  return data;
}

struct Image {
  int width = 0;
  int height = 0;
  DXGI_FORMAT format = DXGI_FORMAT_UNKNOWN;
  std::vector<unsigned char> pixels;  // top row first, 4 bytes a pixel, no padding
};

// Reads the mip levels of a 2D texture with 4-byte pixels through a staging texture made once, so that
// repeated reads (the end of every timed batch) cost a copy and a map, not a new resource.
class TextureReader {
 public:
  explicit TextureReader(ID3D11Texture2D* texture) : texture_(texture) {
    texture_->AddRef();
    D3D11_TEXTURE2D_DESC desc;
    texture->GetDesc(&desc);
    if (desc.Format != DXGI_FORMAT_R8G8B8A8_UNORM && desc.Format != DXGI_FORMAT_B8G8R8A8_UNORM) {
      Fail("a texture has a format other than RGBA8 or BGRA8: " + std::to_string(desc.Format));
    }
    D3D11_TEXTURE2D_DESC stagingDesc = desc;
    stagingDesc.Usage = D3D11_USAGE_STAGING;
    stagingDesc.BindFlags = 0;
    stagingDesc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    stagingDesc.MiscFlags = 0;
    if (FAILED(g_app->device->CreateTexture2D(&stagingDesc, nullptr, &staging_.p))) {
      Fail("cannot create a staging texture");
    }
    levels_ = desc.MipLevels;
    image_.format = desc.Format;
    width_ = static_cast<int>(desc.Width);
    height_ = static_cast<int>(desc.Height);
  }
  ~TextureReader() { texture_->Release(); }
  TextureReader(const TextureReader&) = delete;
  TextureReader& operator=(const TextureReader&) = delete;

  UINT Levels() const { return levels_; }

  const Image& Read(UINT level = 0) {
    if (level == 0) g_app->context->CopyResource(staging_.p, texture_);
    image_.width = std::max(1, width_ >> level);
    image_.height = std::max(1, height_ >> level);
    image_.pixels.resize(static_cast<size_t>(image_.width) * image_.height * 4);
    D3D11_MAPPED_SUBRESOURCE mapped;
    if (FAILED(g_app->context->Map(staging_.p, level, D3D11_MAP_READ, 0, &mapped))) {
      Fail("cannot map a staging texture");
    }
    const size_t rowBytes = static_cast<size_t>(image_.width) * 4;
    for (int y = 0; y < image_.height; ++y) {
      memcpy(&image_.pixels[y * rowBytes], static_cast<const unsigned char*>(mapped.pData) + y * mapped.RowPitch,
             rowBytes);
    }
    g_app->context->Unmap(staging_.p, level);
    return image_;
  }

 private:
  ID3D11Texture2D* texture_;
  Released<ID3D11Texture2D> staging_;
  UINT levels_ = 1;
  int width_ = 0;
  int height_ = 0;
  Image image_;
};

// Every mip level of the texture a view shows, the largest first.
std::vector<Image> ReadView(ID3D11ShaderResourceView* view) {
  Released<ID3D11Resource> resource;
  view->GetResource(&resource);
  Released<ID3D11Texture2D> texture;
  if (FAILED(resource->QueryInterface(__uuidof(ID3D11Texture2D), reinterpret_cast<void**>(&texture)))) {
    Fail("a shader-resource view does not view a 2D texture");
  }
  TextureReader reader(texture.p);
  std::vector<Image> levels;
  for (UINT level = 0; level < reader.Levels(); ++level) levels.push_back(reader.Read(level));
  return levels;
}

// The viewer's back buffer, which is what its frame ends in.
void GetBackBuffer(ID3D11Texture2D** backBuffer) {
  if (FAILED(g_app->swapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), reinterpret_cast<void**>(backBuffer)))) {
    Fail("cannot get the back buffer");
  }
}

platform::ShaderCode CompileStage(const char* entry, const char* profile) {
  Released<ID3D10Blob> code;
  Released<ID3D10Blob> errors;
  HRESULT hr = D3DX11CompileFromFileW(L"Fog.hlsl", nullptr, nullptr, entry, profile, 0, 0, nullptr, &code, &errors,
                                      nullptr);
  if (FAILED(hr)) {
    Fail(std::string("Fog.hlsl does not compile: ") +
         (errors.p ? static_cast<const char*>(errors->GetBufferPointer()) : "no message"));
  }
  platform::ShaderCode parsed;
  if (!platform::ParseShaderCode(code->GetBufferPointer(), code->GetBufferSize(), &parsed)) {
    Fail("the compiler's blob is not shader code of this layer");
  }
  return parsed;
}

// ---- the reference: the same scene in plain OpenGL ----

struct RawDraw {
  GLuint indexBuffer = 0;
  GLsizei indexCount = 0;
  MaterialConstants colours = {};
  GLuint texture = 0;  // 0: keep the previous binding of t0, as the viewer does
};

struct RawMesh {
  GLuint vertexArray = 0;
  GLuint vertexBuffer = 0;
  std::vector<RawDraw> draws;
};

struct RawUniform {
  GLint location = -1;
  GLsizei vec4Count = 0;
};

class RawRenderer {
 public:
  RawRenderer(int windowWidth, int windowHeight) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    window_ = SDL_CreateWindow("raw OpenGL reference", 0, 0, windowWidth, windowHeight,
                               SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
    if (!window_) Fail(std::string("cannot create the reference window: ") + SDL_GetError());
    context_ = SDL_GL_CreateContext(window_);
    if (!context_) Fail(std::string("cannot create a GL 4.5 core context: ") + SDL_GetError());
    MakeCurrent();
    SDL_GL_SetSwapInterval(0);
    SDL_GL_GetDrawableSize(window_, &windowWidth_, &windowHeight_);

    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_DEPTH_CLAMP);
    glDisable(GL_CULL_FACE);
    glViewport(0, 0, kWidth, kHeight);
    glDepthRangef(0.0f, 1.0f);

    // The back buffer and depth buffer: 640 x 480 RGBA8 and 32-bit float depth, as the viewer's.
    glCreateFramebuffers(1, &framebuffer_);
    auto attach = [this](GLenum attachment, GLenum format, GLuint* texture) {
      glCreateTextures(GL_TEXTURE_2D, 1, texture);
      glTextureStorage2D(*texture, 1, format, kWidth, kHeight);
      glNamedFramebufferTexture(framebuffer_, attachment, *texture, 0);
    };
    attach(GL_COLOR_ATTACHMENT0, GL_RGBA8, &colourTarget_);
    attach(GL_DEPTH_ATTACHMENT, GL_DEPTH_COMPONENT32F, &depthTarget_);
    if (glCheckNamedFramebufferStatus(framebuffer_, GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      Fail("the reference framebuffer is incomplete");
    }

    // The viewer's sampler: linear, wrapping, top mip level only. Slots without one use Direct3D's default.
    glCreateSamplers(1, &wrapSampler_);
    glSamplerParameteri(wrapSampler_, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glSamplerParameteri(wrapSampler_, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    for (GLenum axis : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R}) {
      glSamplerParameteri(wrapSampler_, axis, GL_REPEAT);
    }
    glSamplerParameterf(wrapSampler_, GL_TEXTURE_MIN_LOD, 0.0f);
    glSamplerParameterf(wrapSampler_, GL_TEXTURE_MAX_LOD, 0.0f);
  }

  ~RawRenderer() {
    MakeCurrent();
    for (RawMesh& mesh : meshes_) {
      for (RawDraw& draw : mesh.draws) glDeleteBuffers(1, &draw.indexBuffer);
      glDeleteBuffers(1, &mesh.vertexBuffer);
      glDeleteVertexArrays(1, &mesh.vertexArray);
    }
    glDeleteTextures(static_cast<GLsizei>(textures_.size()), textures_.data());
    glDeleteSamplers(1, &wrapSampler_);
    glDeleteFramebuffers(1, &framebuffer_);
    glDeleteTextures(1, &colourTarget_);
    glDeleteTextures(1, &depthTarget_);
    glDeleteProgram(program_);
    SDL_GL_DeleteContext(context_);
    SDL_DestroyWindow(window_);
  }

  void MakeCurrent() {
    if (SDL_GL_MakeCurrent(window_, context_) != 0) Fail(std::string("SDL_GL_MakeCurrent: ") + SDL_GetError());
  }

  void LoadProgram(const platform::ShaderCode& vs, const platform::ShaderCode& ps) {
    GLuint stages[2] = {CompileGlsl(GL_VERTEX_SHADER, vs.glsl), CompileGlsl(GL_FRAGMENT_SHADER, ps.glsl)};
    program_ = glCreateProgram();
    for (GLuint stage : stages) glAttachShader(program_, stage);
    glLinkProgram(program_);
    GLint linked = 0;
    glGetProgramiv(program_, GL_LINK_STATUS, &linked);
    if (!linked) Fail("the reference program does not link: " + ProgramLog());
    for (GLuint stage : stages) glDeleteShader(stage);

    for (const platform::ShaderCode* code : {&vs, &ps}) {
      for (const platform::ShaderConstantBuffer& block : code->constantBuffers) {
        if (block.slot >= 3) continue;
        RawUniform uniform{glGetUniformLocation(program_, block.uniformName.c_str()),
                           static_cast<GLsizei>(block.vec4Count)};
        if (uniform.location >= 0) uniforms_[block.slot].push_back(uniform);
      }
      for (const platform::ShaderSampledTexture& sampled : code->textures) {
        GLint location = glGetUniformLocation(program_, sampled.uniformName.c_str());
        if (location < 0) continue;
        GLuint unit = static_cast<GLuint>(units_.size());
        glProgramUniform1i(program_, location, static_cast<GLint>(unit));
        units_.push_back(sampled);
      }
    }
    for (const platform::ShaderInput& input : vs.inputs) {
      std::string semantic = input.semantic;
      std::transform(semantic.begin(), semantic.end(), semantic.begin(), ::toupper);
      if (semantic == "POSITION") attributes_.push_back({input.location, 3, offsetof(Vertex, position)});
      else if (semantic == "NORMAL") attributes_.push_back({input.location, 3, offsetof(Vertex, normal)});
      else if (semantic == "TEXCOORD") attributes_.push_back({input.location, 2, offsetof(Vertex, texcoord)});
      else Fail("the vertex shader reads an input the viewer's layout lacks: " + input.semantic);
    }
  }

  // The same mip chain as the viewer's texture: the sampler and llvmpipe's sampling code depend on it.
  GLuint AddTexture(const std::vector<Image>& levels) {
    GLuint texture = 0;
    glCreateTextures(GL_TEXTURE_2D, 1, &texture);
    glTextureStorage2D(texture, static_cast<GLsizei>(levels.size()), GL_RGBA8, levels[0].width, levels[0].height);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    for (size_t level = 0; level < levels.size(); ++level) {
      const Image& image = levels[level];
      glTextureSubImage2D(texture, static_cast<GLint>(level), 0, 0, image.width, image.height,
                          image.format == DXGI_FORMAT_B8G8R8A8_UNORM ? GL_BGRA : GL_RGBA, GL_UNSIGNED_BYTE,
                          image.pixels.data());
    }
    textures_.push_back(texture);
    return texture;
  }

  // Vertices and each material's indices as read back from the viewer's buffers.
  void AddMesh(const std::vector<unsigned char>& vertices, std::vector<RawDraw> draws,
               const std::vector<std::vector<unsigned char>>& indices) {
    RawMesh mesh;
    glCreateBuffers(1, &mesh.vertexBuffer);
    glNamedBufferStorage(mesh.vertexBuffer, static_cast<GLsizeiptr>(vertices.size()), vertices.data(), 0);
    glCreateVertexArrays(1, &mesh.vertexArray);
    glVertexArrayVertexBuffer(mesh.vertexArray, 0, mesh.vertexBuffer, 0, sizeof(Vertex));
    for (const Attribute& attribute : attributes_) {
      glEnableVertexArrayAttrib(mesh.vertexArray, attribute.location);
      glVertexArrayAttribFormat(mesh.vertexArray, attribute.location, attribute.components, GL_FLOAT, GL_FALSE,
                                attribute.offset);
      glVertexArrayAttribBinding(mesh.vertexArray, attribute.location, 0);
    }
    for (size_t i = 0; i < draws.size(); ++i) {
      glCreateBuffers(1, &draws[i].indexBuffer);
      glNamedBufferStorage(draws[i].indexBuffer, static_cast<GLsizeiptr>(indices[i].size()), indices[i].data(), 0);
    }
    mesh.draws = std::move(draws);
    meshes_.push_back(std::move(mesh));
  }

  void SetSharedTexture(GLuint texture) { sharedTexture_ = texture; }

  // One frame with the viewer's camera, constants and draw order.
  void RenderFrame(const Application& app) {
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    const GLfloat blue[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    const GLfloat farDepth = 1.0f;
    glClearNamedFramebufferfv(framebuffer_, GL_COLOR, 0, blue);
    glClearNamedFramebufferfv(framebuffer_, GL_DEPTH, 0, &farDepth);
    glUseProgram(program_);

    const D3DXVECTOR3& eye = app.cameraPosition;
    D3DXVECTOR3 at(eye.x, eye.y + 0.01f, eye.z + 0.1f);
    D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMATRIX view;
    D3DXMATRIX projection;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, static_cast<float>(M_PI / 3), 4.0f / 3.0f, 0.1f, 100.0f);

    D3DXVECTOR4 light;
    D3DXVec4Normalize(&light, &app.lightDirection);
    const float frame[20] = {light.x, light.y, light.z, light.w, app.fogDensity, 0, 0, 0,
                             eye.x,   eye.y,   eye.z,   0,       1,              1, 1, 1,
                             0.5f,    0,       0,       0};
    Upload(0, frame, sizeof frame);
    textureSlots_[1] = sharedTexture_;

    for (const RawMesh& mesh : meshes_) {
      ObjectConstants object;
      D3DXMATRIX world;
      D3DXMatrixIdentity(&world);
      D3DXMATRIX product;
      D3DXMatrixTranspose(&object.world, &world);
      D3DXMatrixMultiply(&product, &world, &view);
      D3DXMatrixMultiply(&product, &product, &projection);
      D3DXMatrixTranspose(&object.worldViewProjection, &product);
      D3DXMatrixMultiply(&product, &world, &projection);
      D3DXMatrixMultiply(&product, &product, &app.textureBias);
      D3DXMatrixTranspose(&object.worldProjectionBias, &product);
      Upload(1, &object, sizeof object);

      glBindVertexArray(mesh.vertexArray);
      for (const RawDraw& draw : mesh.draws) {
        Upload(2, &draw.colours, sizeof draw.colours);
        if (draw.texture != 0) {
          textureSlots_[0] = draw.texture;
          samplerBound_ = true;
        }
        BindTextures();
        glVertexArrayElementBuffer(mesh.vertexArray, draw.indexBuffer);
        glDrawElements(GL_TRIANGLES, draw.indexCount, GL_UNSIGNED_INT, nullptr);
      }
    }

    // Present: the frame, top row first, flipped onto the window and swapped in.
    glBlitNamedFramebuffer(framebuffer_, 0, 0, 0, kWidth, kHeight, 0, windowHeight_, windowWidth_, 0,
                           GL_COLOR_BUFFER_BIT, GL_LINEAR);
    SDL_GL_SwapWindow(window_);
  }

  // The whole frame into memory allocated once, as the viewer side's staging read.
  const Image& ReadFrame() {
    frame_.width = kWidth;
    frame_.height = kHeight;
    frame_.format = DXGI_FORMAT_R8G8B8A8_UNORM;
    frame_.pixels.resize(static_cast<size_t>(kWidth) * kHeight * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTextureImage(colourTarget_, 0, GL_RGBA, GL_UNSIGNED_BYTE, static_cast<GLsizei>(frame_.pixels.size()),
                      frame_.pixels.data());
    return frame_;
  }

 private:
  struct Attribute {
    GLuint location;
    GLint components;
    GLuint offset;
  };

  static GLuint CompileGlsl(GLenum type, const std::string& source) {
    GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint compiled = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (!compiled) {
      char log[4096] = "";
      glGetShaderInfoLog(shader, sizeof log, nullptr, log);
      Fail(std::string("the layer's GLSL does not compile: ") + log);
    }
    return shader;
  }

  std::string ProgramLog() const {
    char log[4096] = "";
    glGetProgramInfoLog(program_, sizeof log, nullptr, log);
    return log;
  }

  void Upload(uint32_t slot, const void* data, size_t size) {
    for (const RawUniform& uniform : uniforms_[slot]) {
      GLsizei count = std::min(uniform.vec4Count, static_cast<GLsizei>(size / 16));
      glProgramUniform4fv(program_, uniform.location, count, static_cast<const GLfloat*>(data));
    }
  }

  void BindTextures() {
    for (size_t unit = 0; unit < units_.size(); ++unit) {
      const platform::ShaderSampledTexture& sampled = units_[unit];
      GLuint texture = sampled.textureSlot < 2 ? textureSlots_[sampled.textureSlot] : 0;
      glBindTextureUnit(static_cast<GLuint>(unit), texture);
      bool wrap = sampled.samplerSlot == 0 && samplerBound_;
      glBindSampler(static_cast<GLuint>(unit), wrap ? wrapSampler_ : 0);
    }
  }

  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
  int windowWidth_ = 0;
  int windowHeight_ = 0;
  GLuint framebuffer_ = 0;
  GLuint colourTarget_ = 0;
  GLuint depthTarget_ = 0;
  GLuint wrapSampler_ = 0;
  GLuint program_ = 0;
  GLuint sharedTexture_ = 0;
  GLuint textureSlots_[2] = {0, 0};
  bool samplerBound_ = false;
  std::vector<RawUniform> uniforms_[3];
  std::vector<platform::ShaderSampledTexture> units_;
  std::vector<Attribute> attributes_;
  std::vector<RawMesh> meshes_;
  std::vector<GLuint> textures_;
  Image frame_;
};

// The reference gets the viewer's own meshes, read back from its buffers, and its textures.
void LoadReferenceScene(RawRenderer& raw) {
  for (Mesh* mesh : {&g_app->sceneMesh, &g_app->skyMesh}) {
    std::vector<unsigned char> vertices;
    if (mesh->vertexBuffer) vertices = ReadBuffer(mesh->vertexBuffer);
    std::vector<RawDraw> draws;
    std::vector<std::vector<unsigned char>> indices;
    for (UINT i = 0; i < mesh->materialCount; ++i) {
      const Material& material = mesh->materials[i];
      if (material.faceCount == 0) continue;
      RawDraw draw;
      draw.indexCount = static_cast<GLsizei>(material.faceCount * 3);
      draw.colours.ambient = material.ambient;
      draw.colours.diffuse = material.diffuse;
      draw.colours.specular = material.specular;
      indices.push_back(ReadBuffer(mesh->indexBuffers[i]));
      if (material.textureFile[0] != '\0' && material.textureView) {
        std::vector<Image> image = ReadView(material.textureView);
        raw.MakeCurrent();
        draw.texture = raw.AddTexture(image);
      }
      draws.push_back(draw);
    }
    raw.MakeCurrent();
    if (!vertices.empty()) raw.AddMesh(vertices, std::move(draws), indices);
  }
  std::vector<Image> shared = ReadView(g_app->sharedTexture);
  raw.MakeCurrent();
  raw.SetSharedTexture(raw.AddTexture(shared));
}

// Mean absolute difference of two frames, 0..255, over the colour channels.
double MeanDifference(const Image& a, const Image& b) {
  if (a.pixels.size() != b.pixels.size() || a.pixels.empty()) return 255.0;
  double sum = 0.0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    if (i % 4 == 3) continue;
    sum += std::abs(static_cast<int>(a.pixels[i]) - static_cast<int>(b.pixels[i]));
  }
  return sum / (a.pixels.size() / 4 * 3);
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

double ProcessCpuSeconds() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct FrameTimes {
  std::vector<double> wall;  // seconds per frame, one entry a batch
  std::vector<double> cpu;
};

// One batch: FRAMES frames, then a full readback so the work is done; adds the seconds per frame.
void TimeBatch(int frames, const std::function<void()>& frame, const std::function<void()>& readBack,
               FrameTimes* times) {
  auto start = std::chrono::steady_clock::now();
  double cpuStart = ProcessCpuSeconds();
  for (int i = 0; i < frames; ++i) frame();
  readBack();
  double cpuEnd = ProcessCpuSeconds();
  auto end = std::chrono::steady_clock::now();
  times->wall.push_back(std::chrono::duration<double>(end - start).count() / frames);
  times->cpu.push_back((cpuEnd - cpuStart) / frames);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int PositiveArgument(int argc, char** argv, int index, int fallback) {
  if (argc <= index) return fallback;
  int value = atoi(argv[index]);
  if (value <= 0) Fail(std::string("not a positive count: ") + argv[index]);
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  const char* dataDir = argc > 1 ? argv[1] : VIEWER_DATA_DIR;
  int frames = PositiveArgument(argc, argv, 2, 10);
  int batches = PositiveArgument(argc, argv, 3, 32);
  if (chdir(dataDir) != 0) Fail(std::string("no data folder at ") + dataDir);

  g_app = new Application();
  if (FAILED(InitWindow(GetModuleHandleW(nullptr)))) Fail("InitWindow failed (is there an X display?)");
  if (FAILED(InitDevice())) Fail("InitDevice failed");

  RECT client = {};
  GetClientRect(g_app->hWnd, &client);
  int clientWidth = std::max(1, static_cast<int>(client.right - client.left));
  int clientHeight = std::max(1, static_cast<int>(client.bottom - client.top));
  {
    RawRenderer raw(clientWidth, clientHeight);
    raw.LoadProgram(CompileStage("VS", "vs_5_0"), CompileStage("PS", "ps_5_0"));
    LoadReferenceScene(raw);

    Released<ID3D11Texture2D> backBufferTexture;
    GetBackBuffer(&backBufferTexture);
    TextureReader backBuffer(backBufferTexture.p);
    auto viewerFrame = [] { RenderFrame(*g_app); };
    auto rawFrame = [&raw] { raw.RenderFrame(*g_app); };
    auto viewerReadBack = [&backBuffer] { backBuffer.Read(); };
    auto rawReadBack = [&raw] { raw.ReadFrame(); };

    // Warm up both (llvmpipe compiles shaders and state at first use) and check they draw the same picture.
    PumpMessages();
    FrameTimes warmUp;
    TimeBatch(kWarmUpFrames, viewerFrame, viewerReadBack, &warmUp);
    raw.MakeCurrent();
    TimeBatch(kWarmUpFrames, rawFrame, rawReadBack, &warmUp);
    const Image& viewerImage = backBuffer.Read();
    raw.MakeCurrent();
    double difference = MeanDifference(viewerImage, raw.ReadFrame());

    FrameTimes viewerTimes;
    FrameTimes rawTimes;
    // The side that goes first alternates too, so neither always runs right after the other.
    auto timeViewer = [&] {
      PumpMessages();
      TimeBatch(frames, viewerFrame, viewerReadBack, &viewerTimes);
    };
    auto timeRaw = [&] {
      raw.MakeCurrent();
      TimeBatch(frames, rawFrame, rawReadBack, &rawTimes);
    };
    for (int batch = 0; batch < batches; ++batch) {
      if (batch % 2 == 0) {
        timeViewer();
        timeRaw();
      } else {
        timeRaw();
        timeViewer();
      }
    }

    double viewerFrameTime = Median(viewerTimes.wall);
    double rawFrameTime = Median(rawTimes.wall);
    double viewerFastest = *std::min_element(viewerTimes.wall.begin(), viewerTimes.wall.end());
    double rawFastest = *std::min_element(rawTimes.wall.begin(), rawTimes.wall.end());
    double viewerCpu = Median(viewerTimes.cpu);
    double rawCpu = Median(rawTimes.cpu);
    double ratio = viewerFrameTime / rawFrameTime;
    printf("viewer_fps: default scene, 640 x 480, window client %d x %d, %d alternating batches of %d frames\n",
           clientWidth, clientHeight, batches, frames);
    printf("                             median ms/frame     fps   fastest batch ms/frame     fps   CPU ms/frame\n");
    printf("  viewer (RenderFrame)       %15.3f %7.1f   %22.3f %7.1f   %12.3f\n", viewerFrameTime * 1e3,
           1.0 / viewerFrameTime, viewerFastest * 1e3, 1.0 / viewerFastest, viewerCpu * 1e3);
    printf("  raw OpenGL reference       %15.3f %7.1f   %22.3f %7.1f   %12.3f\n", rawFrameTime * 1e3,
           1.0 / rawFrameTime, rawFastest * 1e3, 1.0 / rawFastest, rawCpu * 1e3);
    printf("  ratio viewer / reference   %15.3f  (goal <= 1.10: %s); fastest batches %.3f; CPU time %.3f\n",
           ratio, ratio <= 1.10 ? "met" : "NOT met", viewerFastest / rawFastest, viewerCpu / rawCpu);
    printf("  same picture: mean absolute difference %.3f of 255 per channel%s\n", difference,
           difference < 2.0 ? "" : "  (the two sides differ: the comparison is suspect)");
  }

  Cleanup();
  delete g_app;
  g_app = nullptr;
  return 0;
}
