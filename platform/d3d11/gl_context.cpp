#include "d3d11/gl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cfloat>
#include <vector>

namespace platform::d3d11 {
namespace {

// Displays are initialised on first use and never terminated (terminating would destroy the contexts of
// every other headless device on them); initialising one again does nothing.
EGLDisplay Initialized(EGLDisplay display) {
  return display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr) ? display : EGL_NO_DISPLAY;
}

// Whole names in a space-separated extension list (EGL_NO_DISPLAY: the client extensions).
bool HasExtension(EGLDisplay display, const char* name) {
  const char* list = eglQueryString(display, EGL_EXTENSIONS);
  const size_t length = SDL_strlen(name);
  for (const char* at = list ? SDL_strstr(list, name) : nullptr; at; at = SDL_strstr(at + length, name)) {
    if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
  }
  return false;
}

bool HasVersion45() {
  GLint major = 0, minor = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  return major > 4 || (major == 4 && minor >= 5);
}

// An EGL and a GLX context cannot both be current on one thread: drop the other API's before switching.
void ReleaseCurrentEgl() {
  if (eglGetCurrentContext() != EGL_NO_CONTEXT)
    eglMakeCurrent(eglGetCurrentDisplay(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

void ReleaseCurrentSdl() {
  if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GL_GetCurrentContext())
    SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr);
}

// A config for OpenGL contexts (and pbuffers when a surface is needed); none when the display takes
// contexts without one.
bool ChooseConfig(EGLDisplay display, bool withSurface, EGLConfig* config) {
  *config = EGL_NO_CONFIG_KHR;
  if (!withSurface && HasExtension(display, "EGL_KHR_no_config_context")) return true;
  const EGLint attributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE,
                               withSurface ? EGL_PBUFFER_BIT : 0, EGL_NONE};
  EGLint count = 0;
  return eglChooseConfig(display, attributes, config, 1, &count) && count >= 1;
}

// Each device EGL enumerates, in turn, as a display of EGL_EXT_platform_device.
std::vector<EGLDisplay> DeviceDisplays() {
  std::vector<EGLDisplay> displays;
  auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
  EGLint count = 0;
  if (!queryDevices || !HasExtension(EGL_NO_DISPLAY, "EGL_EXT_platform_device") ||
      !queryDevices(0, nullptr, &count) || count <= 0)
    return displays;
  std::vector<EGLDeviceEXT> devices(static_cast<size_t>(count));
  if (!queryDevices(count, devices.data(), &count)) return displays;
  for (EGLint i = 0; i < count; ++i)
    displays.push_back(eglGetPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[static_cast<size_t>(i)], nullptr));
  return displays;
}

}  // namespace

std::shared_ptr<GlContext> GlContext::CreateHeadless() {
  for (HeadlessPath path : kHeadlessPaths) {
    if (auto context = CreateHeadless(path)) return context;
  }
  return nullptr;
}

std::shared_ptr<GlContext> GlContext::CreateHeadless(HeadlessPath path) {
  // A GLX call while an EGL context is current fails with BadAccess (libglvnd keeps one window-system API
  // per thread), and SDL makes a GLX context current when it first loads OpenGL for a window. From now on
  // let SDL use EGL on X11 too: windows created after this device cannot trip over its context. (A window
  // whose OpenGL was loaded with GLX earlier keeps working: the contexts are switched in MakeCurrentSlow.)
  SDL_SetHint(SDL_HINT_VIDEO_X11_FORCE_EGL, "1");
  switch (path) {
    case HeadlessPath::kSurfaceless:
      return CreateOnDisplay(
          Initialized(eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr)), false);
    case HeadlessPath::kDevice:
      for (EGLDisplay display : DeviceDisplays()) {
        if (auto context = CreateOnDisplay(Initialized(display), false)) return context;
      }
      return nullptr;
    case HeadlessPath::kDefaultDisplay: return CreateOnDisplay(Initialized(eglGetDisplay(EGL_DEFAULT_DISPLAY)), true);
  }
  return nullptr;
}

std::shared_ptr<GlContext> GlContext::CreateOnDisplay(void* display, bool pbuffer) {
  if (display == EGL_NO_DISPLAY || !eglBindAPI(EGL_OPENGL_API)) return nullptr;
  const bool withSurface = pbuffer || !HasExtension(display, "EGL_KHR_surfaceless_context");
  EGLConfig config;
  if (!ChooseConfig(display, withSurface, &config)) return nullptr;
  const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 4, EGL_CONTEXT_MINOR_VERSION, 5,
                               EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, attributes);
  if (context == EGL_NO_CONTEXT) return nullptr;
  std::shared_ptr<GlContext> result(new GlContext);
  result->eglDisplay_ = display;
  result->eglContext_ = context;
  if (withSurface) {
    const EGLint size[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
    result->eglSurface_ = eglCreatePbufferSurface(display, config, size);
    if (result->eglSurface_ == EGL_NO_SURFACE) return nullptr;  // the destructor destroys the context
  }
  if (!result->MakeCurrent() || !HasVersion45()) return nullptr;
  result->InitializeState();
  return result;
}

std::shared_ptr<GlContext> GlContext::CreateForWindow(SDL_Window* window) {
  if (!window || !(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) return nullptr;
  ReleaseCurrentEgl();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GLContext context = SDL_GL_CreateContext(window);  // also makes it current
  if (!context) return nullptr;
  std::shared_ptr<GlContext> result(new GlContext);
  result->sdlContext_ = context;
  result->windowId_ = SDL_GetWindowID(window);
  if (!result->MakeCurrent() || !HasVersion45()) return nullptr;
  result->InitializeState();
  return result;
}

GlContext::~GlContext() {
  if (MakeCurrent()) {
    glDeleteTextures(1, &zeroTexture_);
    glDeleteSamplers(1, &defaultSampler_);
  }
  if (eglContext_) {
    if (eglGetCurrentContext() == eglContext_)
      eglMakeCurrent(eglDisplay_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(eglDisplay_, eglContext_);
    if (eglSurface_) eglDestroySurface(eglDisplay_, eglSurface_);
  }
  if (sdlContext_) SDL_GL_DeleteContext(sdlContext_);  // releases it first when it is current
}

SDL_Window* GlContext::Window() const { return sdlContext_ ? SDL_GetWindowFromID(windowId_) : nullptr; }

bool GlContext::IsCurrent() const {
  if (eglContext_) return eglGetCurrentContext() == eglContext_;
  return SDL_GL_GetCurrentContext() == sdlContext_;
}

bool GlContext::MakeCurrentSlow() {
  if (eglContext_) {
    ReleaseCurrentSdl();
    return eglMakeCurrent(eglDisplay_, eglSurface_, eglSurface_, eglContext_) == EGL_TRUE;
  }
  SDL_Window* window = Window();
  if (!window) return false;
  ReleaseCurrentEgl();
  return SDL_GL_MakeCurrent(window, sdlContext_) == 0;
}

void GlContext::InitializeState() {
  // Direct3D's clip space (z in [0, 1]) and top-left origin: row 0 of every render target is the top row.
  glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
  // Without a depth-stencil state: depth test LESS, depth writes on. Never changed afterwards, so clears
  // of depth views are never masked.
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
  // Rows of system memory are tightly packed at the pitch the caller gives.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);

  // A null shader-resource slot samples (0, 0, 0, 0).
  glCreateTextures(GL_TEXTURE_2D, 1, &zeroTexture_);
  glTextureStorage2D(zeroTexture_, 1, GL_RGBA8, 1, 1);
  const GLubyte zero[4] = {0, 0, 0, 0};
  glTextureSubImage2D(zeroTexture_, 0, 0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, zero);

  // A null sampler slot: linear min, mag and mip filtering, clamp on U, V and W, every level.
  glCreateSamplers(1, &defaultSampler_);
  glSamplerParameteri(defaultSampler_, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glSamplerParameteri(defaultSampler_, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glSamplerParameteri(defaultSampler_, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glSamplerParameteri(defaultSampler_, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glSamplerParameteri(defaultSampler_, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  glSamplerParameterf(defaultSampler_, GL_TEXTURE_MIN_LOD, -FLT_MAX);
  glSamplerParameterf(defaultSampler_, GL_TEXTURE_MAX_LOD, FLT_MAX);
}

}  // namespace platform::d3d11
