#include "RawRenderer.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "model/Mesh.h"

namespace {

GLuint CompileGlsl(GLenum type, const std::string& source) {
  GLuint shader = glCreateShader(type);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint compiled = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
  if (!compiled) {
    char log[4096] = "";
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    BenchFail(std::string("the layer's GLSL does not compile: ") + log);
  }
  return shader;
}

platform::ShaderCode Parse(const std::vector<unsigned char>& blob) {
  platform::ShaderCode code;
  if (!platform::ParseShaderCode(blob.data(), blob.size(), &code))
    BenchFail("the compiler's blob is not shader code of this layer");
  return code;
}

}  // namespace

RawRenderer::RawRenderer(int windowWidth, int windowHeight) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  window_ = SDL_CreateWindow("raw OpenGL reference", 0, 0, windowWidth, windowHeight,
                             SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
  if (!window_) BenchFail(std::string("cannot create the reference window: ") + SDL_GetError());
  context_ = SDL_GL_CreateContext(window_);
  if (!context_) BenchFail(std::string("cannot create a GL 4.5 core context: ") + SDL_GetError());
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
    BenchFail("the reference framebuffer is incomplete");
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

RawRenderer::~RawRenderer() {
  MakeCurrent();
  for (Mesh& mesh : meshes_) {
    for (Draw& draw : mesh.draws) glDeleteBuffers(1, &draw.indexBuffer);
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

void RawRenderer::MakeCurrent() {
  if (SDL_GL_MakeCurrent(window_, context_) != 0) BenchFail(std::string("SDL_GL_MakeCurrent: ") + SDL_GetError());
}

void RawRenderer::Load(const RawScene& scene) {
  LoadProgram(Parse(scene.vertexCode), Parse(scene.pixelCode));
  std::vector<GLuint> textures;
  for (const std::vector<Image>& levels : scene.textures) textures.push_back(AddTexture(levels));
  for (const RawSceneMesh& mesh : scene.meshes) AddMesh(mesh, textures);
  sharedTexture_ = scene.sharedTexture >= 0 ? textures[scene.sharedTexture] : 0;
}

void RawRenderer::LoadProgram(const platform::ShaderCode& vs, const platform::ShaderCode& ps) {
  GLuint stages[2] = {CompileGlsl(GL_VERTEX_SHADER, vs.glsl), CompileGlsl(GL_FRAGMENT_SHADER, ps.glsl)};
  program_ = glCreateProgram();
  for (GLuint stage : stages) glAttachShader(program_, stage);
  glLinkProgram(program_);
  GLint linked = 0;
  glGetProgramiv(program_, GL_LINK_STATUS, &linked);
  if (!linked) {
    char log[4096] = "";
    glGetProgramInfoLog(program_, sizeof log, nullptr, log);
    BenchFail(std::string("the reference program does not link: ") + log);
  }
  for (GLuint stage : stages) glDeleteShader(stage);
  ReflectProgram(vs, ps);
}

// Uniform locations of the flattened cbuffers, texture units of the samplers, the vertex attributes.
void RawRenderer::ReflectProgram(const platform::ShaderCode& vs, const platform::ShaderCode& ps) {
  for (const platform::ShaderCode* code : {&vs, &ps}) {
    for (const platform::ShaderConstantBuffer& block : code->constantBuffers) {
      if (block.slot >= 3) continue;
      Uniform uniform{glGetUniformLocation(program_, block.uniformName.c_str()), static_cast<GLsizei>(block.vec4Count)};
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
    else BenchFail("the vertex shader reads an input the viewer's layout lacks: " + input.semantic);
  }
}

// The same mip chain as the viewer's texture: the sampler and llvmpipe's sampling code depend on it.
GLuint RawRenderer::AddTexture(const std::vector<Image>& levels) {
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

void RawRenderer::AddMesh(const RawSceneMesh& source, const std::vector<GLuint>& textures) {
  Mesh mesh;
  glCreateBuffers(1, &mesh.vertexBuffer);
  glNamedBufferStorage(mesh.vertexBuffer, static_cast<GLsizeiptr>(source.vertices.size()), source.vertices.data(), 0);
  glCreateVertexArrays(1, &mesh.vertexArray);
  glVertexArrayVertexBuffer(mesh.vertexArray, 0, mesh.vertexBuffer, 0, sizeof(Vertex));
  for (const Attribute& attribute : attributes_) {
    glEnableVertexArrayAttrib(mesh.vertexArray, attribute.location);
    glVertexArrayAttribFormat(mesh.vertexArray, attribute.location, attribute.components, GL_FLOAT, GL_FALSE,
                              attribute.offset);
    glVertexArrayAttribBinding(mesh.vertexArray, attribute.location, 0);
  }
  for (const RawSceneDraw& sourceDraw : source.draws) {
    Draw draw;
    glCreateBuffers(1, &draw.indexBuffer);
    glNamedBufferStorage(draw.indexBuffer, static_cast<GLsizeiptr>(sourceDraw.indices.size()),
                         sourceDraw.indices.data(), 0);
    draw.indexCount = static_cast<GLsizei>(sourceDraw.indices.size() / 4);
    draw.colours = sourceDraw.colours;
    draw.texture = sourceDraw.texture >= 0 ? textures[sourceDraw.texture] : 0;
    mesh.draws.push_back(draw);
  }
  meshes_.push_back(std::move(mesh));
}

void RawRenderer::RenderFrame(const RawFrame& constants) {
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  const GLfloat blue[4] = {0.0f, 0.0f, 1.0f, 1.0f};
  const GLfloat farDepth = 1.0f;
  glClearNamedFramebufferfv(framebuffer_, GL_COLOR, 0, blue);
  glClearNamedFramebufferfv(framebuffer_, GL_DEPTH, 0, &farDepth);
  glUseProgram(program_);
  Upload(0, &constants.frame, sizeof constants.frame);
  textureSlots_[1] = sharedTexture_;

  for (const Mesh& mesh : meshes_) {
    Upload(1, &constants.object, sizeof constants.object);
    glBindVertexArray(mesh.vertexArray);
    for (const Draw& draw : mesh.draws) {
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

const Image& RawRenderer::ReadFrame() {
  frame_.width = kWidth;
  frame_.height = kHeight;
  frame_.format = DXGI_FORMAT_R8G8B8A8_UNORM;
  frame_.pixels.resize(static_cast<size_t>(kWidth) * kHeight * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glGetTextureImage(colourTarget_, 0, GL_RGBA, GL_UNSIGNED_BYTE, static_cast<GLsizei>(frame_.pixels.size()),
                    frame_.pixels.data());
  return frame_;
}

void RawRenderer::Upload(uint32_t slot, const void* data, size_t size) {
  for (const Uniform& uniform : uniforms_[slot]) {
    GLsizei count = std::min(uniform.vec4Count, static_cast<GLsizei>(size / 16));
    glProgramUniform4fv(program_, uniform.location, count, static_cast<const GLfloat*>(data));
  }
}

void RawRenderer::BindTextures() {
  for (size_t unit = 0; unit < units_.size(); ++unit) {
    const platform::ShaderSampledTexture& sampled = units_[unit];
    GLuint texture = sampled.textureSlot < 2 ? textureSlots_[sampled.textureSlot] : 0;
    glBindTextureUnit(static_cast<GLuint>(unit), texture);
    bool wrap = sampled.samplerSlot == 0 && samplerBound_;
    glBindSampler(static_cast<GLuint>(unit), wrap ? wrapSampler_ : 0);
  }
}
