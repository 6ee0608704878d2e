// The start-up reference: what any program that shows the viewer's first frame must do, with raw OpenGL.
// It reads the viewer's scene as plain data (a file the start-up benchmark writes beforehand: GLSL of
// Fog.hlsl, vertex and index bytes, texture mip chains, the first frame's constants), opens a window of the
// viewer's client size with an OpenGL 4.5 core context, compiles and links the GLSL, uploads the meshes and
// textures and draws the first frame (llvmpipe compiles its shaders at that first draw, as it does for the
// viewer), then presents. Traced like the viewer (platform-trace lines on standard error); waits to be
// stopped.
//
// Usage: startup_reference SCENE_FILE
#include <SDL.h>

#include "RawRenderer.h"
#include "common/startup_trace.h"

int main(int argc, char** argv) {
  if (argc != 2) BenchFail("usage: startup_reference SCENE_FILE");
  const RawScene scene = ReadRawScene(argv[1]);
  platform::TraceStartupStep("scene-file");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) BenchFail(std::string("SDL_Init: ") + SDL_GetError());
  {
    RawRenderer raw(scene.clientWidth, scene.clientHeight);
    platform::TraceStartupStep("device");
    raw.Load(scene);
    platform::TraceStartupStep("load");
    raw.RenderFrame(scene.firstFrame);
    platform::TraceStartupStep("present");
    SDL_Event event;
    while (SDL_WaitEvent(&event) && event.type != SDL_QUIT) {
    }
  }
  SDL_Quit();
  return 0;
}
