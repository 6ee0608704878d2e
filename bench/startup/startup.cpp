// Time from process start to the viewer's first Present, over several runs of the real executable.
//
// Each run starts the viewer from the data folder on the current X display with PLATFORM_TRACE_FIRST_PRESENT
// set to the CLOCK_MONOTONIC time taken just before fork; the layer then prints, once per step, lines
// "platform-trace: STEP MS" to standard error (the steps it traces, such as entering main, the window, the
// device, the first compiled shader, and "present" for the first Present). The run ends with SIGTERM once
// the first Present is seen.
//
// The viewer is measured against a reference, in the same runs (alternating): startup_reference, a raw
// OpenGL program that shows the same first frame. It opens a window of the viewer's client size with an
// OpenGL 4.5 core context, compiles and links the same GLSL the layer makes of Fog.hlsl, uploads the same
// meshes and textures and draws them (llvmpipe compiles its shaders at that first draw, which the viewer
// pays too), then swaps. Its data (the viewer's scene read back through Direct3D 11, as viewer_fps reads
// it) is written to a file once before the runs, by this program in its --write-scene mode. What the
// viewer pays beyond it is its own work: HLSL to GLSL, reading the models and images, the layer.
// The goal is a median of at most 1.2 times the reference's.
//
// Also alternating, the bare floor: this program in its --floor mode, the least any SDL/OpenGL program
// shows a frame in (SDL video, a window, an OpenGL 4.5 core context, one clear and one buffer swap).
//
// Prints min / median / max of the time to the first Present of each, the median time at which each
// traced step was reached, and the ratios (of the medians, and of the fastest runs: the least disturbed
// figures on a busy machine).
//
// Usage: startup [VIEWER [DATA_DIR [RUNS]]]   (defaults: the build's viewer and data folder, 10 runs)
#include <GL/glcorearb.h>
#include <SDL.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "ViewerScene.h"
#include "app/Window.h"
#include "common/startup_trace.h"
#include "graphics/Device.h"

namespace {

constexpr double kGoalMs = 150.0;
constexpr double kReferenceGoal = 1.2;  // viewer median / reference median
constexpr int kRunTimeoutMs = 20000;
const char kFirstPresent[] = "present";

[[noreturn]] void Fail(const std::string& message) { BenchFail(message); }

long long MonotonicNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Ends the viewer: SIGTERM, then SIGKILL if it lingers. Says how it ended.
std::string Stop(pid_t pid) {
  kill(pid, SIGTERM);
  int status = 0;
  for (int i = 0; i < 300; ++i) {
    if (waitpid(pid, &status, WNOHANG) == pid) break;
    usleep(10000);
    if (i == 299) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
  }
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  return "signal " + std::to_string(WTERMSIG(status));
}

struct Step {
  std::string name;
  double ms;
};

// One run: the traced steps in the order they were printed; empty if the first Present never came.
std::vector<Step> RunOnce(const std::vector<std::string>& command, const std::string& dataDir,
                          std::string* output) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) Fail("pipe failed");
  long long spawnNs = MonotonicNs();
  pid_t pid = fork();
  if (pid < 0) Fail("fork failed");
  if (pid == 0) {
    dup2(pipeFds[1], STDERR_FILENO);
    if (chdir(dataDir.c_str()) != 0) _exit(126);
    setenv("PLATFORM_TRACE_FIRST_PRESENT", std::to_string(spawnNs).c_str(), 1);
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipeFds[1]);

  std::vector<Step> steps;
  std::string pending;
  bool presented = false;
  while (!presented) {
    long long waitedMs = (MonotonicNs() - spawnNs) / 1000000;
    if (waitedMs >= kRunTimeoutMs) break;
    pollfd fd = {pipeFds[0], POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(kRunTimeoutMs - waitedMs)) <= 0) break;
    char buffer[4096];
    ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
    if (n <= 0) break;  // the viewer ended (or closed its standard error) before presenting
    pending.append(buffer, static_cast<size_t>(n));
    size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      char name[64];
      double ms = 0;
      if (sscanf(line.c_str(), "platform-trace: %63s %lf", name, &ms) == 2) {
        steps.push_back({name, ms});
        presented = presented || strcmp(name, kFirstPresent) == 0;
      } else {
        *output += line + "\n";
      }
    }
  }
  close(pipeFds[0]);
  std::string ended = Stop(pid);
  if (!presented) {
    steps.clear();
    *output += "(the viewer ended with " + ended + ")\n";
  }
  return steps;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The floor: a window, a context, one cleared frame swapped in; then it waits to be stopped.
int RunFloor() {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_Window* window = SDL_CreateWindow("startup floor", 0, 0, 624, 441, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
  if (!window) return 1;
  platform::TraceStartupStep("window");
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) return 1;
  SDL_GL_SetSwapInterval(0);
  platform::TraceStartupStep("device");
  glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  SDL_GL_SwapWindow(window);
  platform::TraceStartupStep(kFirstPresent);
  SDL_Event event;
  while (SDL_WaitEvent(&event) && event.type != SDL_QUIT) {
  }
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}

// The reference's data: the viewer's scene as its own InitWindow and InitDevice make it from DATA_DIR.
int WriteScene(const char* dataDir, const char* path) {
  if (chdir(dataDir) != 0) Fail(std::string("no data folder at ") + dataDir);
  g_app = new Application();
  if (FAILED(InitWindow(GetModuleHandleW(nullptr)))) Fail("InitWindow failed (is there an X display?)");
  if (FAILED(InitDevice())) Fail("InitDevice failed");
  WriteRawScene(ReadViewerScene(), path);
  Cleanup();
  delete g_app;
  g_app = nullptr;
  return 0;
}

// Runs a command to its end; fails unless it exits with status 0.
void RunToEnd(const std::vector<std::string>& command) {
  pid_t pid = fork();
  if (pid < 0) Fail("fork failed");
  if (pid == 0) {
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail(command[0] + " " + command[1] + " failed");
}

struct Series {
  std::vector<double> firstPresent;
  std::vector<std::string> order;  // step names in the order the runs printed them
  std::map<std::string, std::vector<double>> stepTimes;

  void Add(const std::vector<Step>& steps) {
    for (const Step& step : steps) {
      if (std::find(order.begin(), order.end(), step.name) == order.end()) order.push_back(step.name);
      stepTimes[step.name].push_back(step.ms);
      if (step.name == kFirstPresent) firstPresent.push_back(step.ms);
    }
  }

  void Print(const char* title) const {
    printf("  %s: min %8.1f ms   median %8.1f ms   max %8.1f ms\n", title,
           *std::min_element(firstPresent.begin(), firstPresent.end()), Median(firstPresent),
           *std::max_element(firstPresent.begin(), firstPresent.end()));
    printf("    where the time goes (median time each step was reached, and since the step before):\n");
    double previous = 0.0;
    for (const std::string& name : order) {
      double at = Median(stepTimes.at(name));
      printf("      %-12s at %8.1f ms  (+%7.1f ms)\n", name.c_str(), at, at - previous);
      previous = at;
    }
  }
};

struct Subject {
  const char* title;
  std::vector<std::string> command;
  Series series;
};

void RunSubject(Subject& subject, int run, const std::string& dataDir) {
  std::string output;
  std::vector<Step> steps = RunOnce(subject.command, dataDir, &output);
  if (steps.empty()) {
    Fail("run " + std::to_string(run + 1) + " of the " + subject.title + ": no first Present within " +
         std::to_string(kRunTimeoutMs / 1000) + " s; it said:\n" + output);
  }
  subject.series.Add(steps);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "--floor") == 0) return RunFloor();
  if (argc == 4 && strcmp(argv[1], "--write-scene") == 0) return WriteScene(argv[2], argv[3]);

  std::string viewer = argc > 1 ? argv[1] : VIEWER_EXECUTABLE;
  std::string dataDir = argc > 2 ? argv[2] : VIEWER_DATA_DIR;
  int runs = argc > 3 ? atoi(argv[3]) : 10;
  if (runs <= 0) Fail("the number of runs must be positive");
  char* resolved = realpath(viewer.c_str(), nullptr);  // the child changes to the data folder first
  if (resolved == nullptr || access(resolved, X_OK) != 0) Fail("no viewer executable at " + viewer);
  viewer = resolved;
  free(resolved);
  if (access((dataDir + "/Fog.hlsl").c_str(), R_OK) != 0) Fail("no data folder with Fog.hlsl at " + dataDir);
  if (getenv("DISPLAY") == nullptr) Fail("needs an X display (run it under tools/with-xvfb.sh)");
  if (access(STARTUP_REFERENCE, X_OK) != 0) Fail(std::string("no reference program at ") + STARTUP_REFERENCE);

  char* self = realpath("/proc/self/exe", nullptr);
  if (self == nullptr) Fail("cannot find this program's own path");
  const std::string selfPath = self;
  free(self);
  char sceneDir[] = "/tmp/startup-scene.XXXXXX";
  if (!mkdtemp(sceneDir)) Fail("cannot make a folder for the scene file");
  const std::string sceneFile = std::string(sceneDir) + "/scene.bin";
  RunToEnd({selfPath, "--write-scene", dataDir, sceneFile});

  Subject subjects[] = {
      {"viewer", {viewer}, {}},
      {"reference (raw OpenGL: window, context, the same GLSL, meshes and textures, first frame)",
       {STARTUP_REFERENCE, sceneFile},
       {}},
      {"floor (SDL window + OpenGL 4.5 context + clear + swap)", {selfPath, "--floor"}, {}},
  };
  for (int run = 0; run < runs; ++run) {
    for (Subject& subject : subjects) RunSubject(subject, run, dataDir);
  }
  unlink(sceneFile.c_str());
  rmdir(sceneDir);

  const double median = Median(subjects[0].series.firstPresent);
  const double referenceMedian = Median(subjects[1].series.firstPresent);
  const double floorMedian = Median(subjects[2].series.firstPresent);
  printf("startup: process start to first Present, %d runs each, alternating\n", runs);
  for (const Subject& subject : subjects) subject.series.Print(subject.title);
  const double ratio = median / referenceMedian;
  const auto fastest = [](const Subject& subject) {
    return *std::min_element(subject.series.firstPresent.begin(), subject.series.firstPresent.end());
  };
  printf("  viewer median / reference median   %.2f  (goal <= %.1f: %s); fastest runs %.2f\n", ratio,
         kReferenceGoal, ratio <= kReferenceGoal ? "met" : "NOT met", fastest(subjects[0]) / fastest(subjects[1]));
  printf("  viewer median / goal (%.0f ms)      %.2f  (%s)\n", kGoalMs, median / kGoalMs,
         median <= kGoalMs ? "met" : "NOT met");
  printf("  viewer median / floor median       %.2f;  reference median / floor median  %.2f\n",
         median / floorMedian, referenceMedian / floorMedian);
  return 0;
}
