// Frames per second of the viewer's default scene against a raw OpenGL program that draws the same
// buffers with the same shaders, measured side by side in one run under one X display.
//
// The viewer side is the program itself: its own InitWindow and InitDevice from the data folder, then
// RenderFrame called in a loop (clear, constants, both meshes material by material, Present).
// The reference side is plain OpenGL 4.5 in its own SDL window (bench/raw_gl, shared with the start-up
// benchmark's reference): the vertex and index data and the textures are read back from the viewer's GPU
// resources through staging copies, the GLSL is what the layer's HLSL compiler makes of Fog.hlsl, and each
// frame clears, uploads the same constants, issues the same draws into a 640 x 480 framebuffer and presents
// it the way the layer does (a flipping blit and a buffer swap).
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
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "RawRenderer.h"
#include "ViewerScene.h"
#include "app/Application.h"
#include "app/Window.h"
#include "graphics/Device.h"
#include "render/Render.h"

namespace {

constexpr int kWarmUpFrames = 20;

[[noreturn]] void Fail(const std::string& message) { BenchFail(message); }

// The viewer's back buffer, which is what its frame ends in.
void GetBackBuffer(ID3D11Texture2D** backBuffer) {
  if (FAILED(g_app->swapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), reinterpret_cast<void**>(backBuffer)))) {
    Fail("cannot get the back buffer");
  }
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

  const RawScene scene = ReadViewerScene();
  const int clientWidth = scene.clientWidth;
  const int clientHeight = scene.clientHeight;
  {
    RawRenderer raw(clientWidth, clientHeight);
    raw.Load(scene);

    Released<ID3D11Texture2D> backBufferTexture;
    GetBackBuffer(&backBufferTexture);
    TextureReader backBuffer(backBufferTexture.p);
    auto viewerFrame = [] { RenderFrame(*g_app); };
    auto rawFrame = [&raw] { raw.RenderFrame(ComputeFrame(*g_app)); };
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
