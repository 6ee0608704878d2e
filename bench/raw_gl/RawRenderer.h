// The viewer's scene drawn with plain OpenGL 4.5 in an SDL window of its own: what any program drawing
// the same meshes with the same shaders must do. Each frame clears a 640 x 480 framebuffer (RGBA8, 32-bit
// float depth), uploads the constants, issues the viewer's draws in its order and presents the way the
// layer does (a flipping blit onto the window and a buffer swap, swap interval 0).
#pragma once

#include <GL/glcorearb.h>
#include <SDL.h>

#include <vector>

#include "RawScene.h"
#include "common/shader_code.h"

class RawRenderer {
 public:
  static constexpr int kWidth = 640;
  static constexpr int kHeight = 480;

  // A window of the given client size and an OpenGL 4.5 core context on it, made current.
  RawRenderer(int windowWidth, int windowHeight);
  ~RawRenderer();
  RawRenderer(const RawRenderer&) = delete;
  RawRenderer& operator=(const RawRenderer&) = delete;

  void MakeCurrent();
  // Compiles and links the scene's GLSL, uploads its textures and meshes.
  void Load(const RawScene& scene);
  // One frame with the viewer's draw order.
  void RenderFrame(const RawFrame& constants);
  // The whole frame into memory allocated once.
  const Image& ReadFrame();

 private:
  struct Draw {
    GLuint indexBuffer = 0;
    GLsizei indexCount = 0;
    MaterialConstants colours = {};
    GLuint texture = 0;  // 0: keep the previous binding of t0
  };
  struct Mesh {
    GLuint vertexArray = 0;
    GLuint vertexBuffer = 0;
    std::vector<Draw> draws;
  };
  struct Uniform {
    GLint location = -1;
    GLsizei vec4Count = 0;
  };
  struct Attribute {
    GLuint location;
    GLint components;
    GLuint offset;
  };

  void LoadProgram(const platform::ShaderCode& vs, const platform::ShaderCode& ps);
  void ReflectProgram(const platform::ShaderCode& vs, const platform::ShaderCode& ps);
  GLuint AddTexture(const std::vector<Image>& levels);
  void AddMesh(const RawSceneMesh& mesh, const std::vector<GLuint>& textures);
  void Upload(uint32_t slot, const void* data, size_t size);
  void BindTextures();

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
  std::vector<Uniform> uniforms_[3];
  std::vector<platform::ShaderSampledTexture> units_;
  std::vector<Attribute> attributes_;
  std::vector<Mesh> meshes_;
  std::vector<GLuint> textures_;
  Image frame_;
};
