// The OpenGL 4.5 core context a device and all its objects live in, and the per-context objects that
// stand in for Direct3D's defaults (the zero texture for null shader-resource slots, the default sampler).
//
// Each device has its own context; several devices may live in one process (an EGL one for work without a
// window, an SDL one per window: GLX, or EGL on X11 once a headless context exists, see CreateHeadless). Every call that touches OpenGL first makes its device's context current with
// MakeCurrent, which costs one query of the current context when it already is; switching releases the
// other window-system API's context first, since one thread can have only one API current.
// Objects are shared-owned by the device and by everything created from it, so the context outlives the
// last of them.
#pragma once

#include <GL/glcorearb.h>
#include <SDL.h>

#include <memory>

namespace platform::d3d11 {

// The ways to an EGL context without a window. Mesa's surfaceless platform needs no display server;
// EGL_EXT_platform_device is what other drivers offer for the same (each device EGL enumerates, in turn);
// the default display, with a 1 x 1 pbuffer made current, is what any EGL driver has.
enum class HeadlessPath { kSurfaceless, kDevice, kDefaultDisplay };
// The order CreateHeadless() tries them in.
inline constexpr HeadlessPath kHeadlessPaths[] = {HeadlessPath::kSurfaceless, HeadlessPath::kDevice,
                                                  HeadlessPath::kDefaultDisplay};

class GlContext {
 public:
  // The first OpenGL 4.5 core context the paths give, in kHeadlessPaths' order; null when none does (no
  // driver, or an older version only).
  static std::shared_ptr<GlContext> CreateHeadless();
  // A context on that path alone; null when it gives no OpenGL 4.5 core context.
  static std::shared_ptr<GlContext> CreateHeadless(HeadlessPath path);
  static std::shared_ptr<GlContext> CreateForWindow(SDL_Window* window);
  ~GlContext();
  GlContext(const GlContext&) = delete;
  GlContext& operator=(const GlContext&) = delete;

  // False when the context cannot be made current (its window is gone): skip the OpenGL work then; the
  // objects go away with the context.
  bool MakeCurrent() { return IsCurrent() || MakeCurrentSlow(); }

  // Null for a headless context, or when the window has been destroyed.
  SDL_Window* Window() const;

  GLuint ZeroTexture() const { return zeroTexture_; }
  GLuint DefaultSampler() const { return defaultSampler_; }

 private:
  GlContext() = default;
  // An OpenGL 4.5 core context on an initialised EGL display, with a pbuffer current when asked for or when
  // the display cannot make a context current without a surface; null when either fails.
  static std::shared_ptr<GlContext> CreateOnDisplay(void* display, bool pbuffer);
  bool IsCurrent() const;
  bool MakeCurrentSlow();
  // Direct3D's fixed conventions and the defaults shared by every draw.
  void InitializeState();

  void* eglDisplay_ = nullptr;  // EGLDisplay
  void* eglSurface_ = nullptr;  // EGLSurface: the pbuffer, or none
  void* eglContext_ = nullptr;  // EGLContext
  SDL_GLContext sdlContext_ = nullptr;
  Uint32 windowId_ = 0;
  GLuint zeroTexture_ = 0;
  GLuint defaultSampler_ = 0;
};

}  // namespace platform::d3d11
