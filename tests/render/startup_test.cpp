// Start-up failures as a user meets them: the built viewer run from a prepared folder on the X display.
// Its message boxes are answered with Return, a viewer that keeps running is ended with Escape, and what
// the Win32 layer echoes of each message box on standard error tells which messages were shown.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "graphics/Device.h"
#include "tests/render/render_test_support.h"

namespace {

const char kLoadMessage[] = "hlsl読み込み失敗";
const char kAnswerMessageBox[] = "xdotool search --name '^Error$' key --window %1 Return >/dev/null 2>&1";

struct ViewerRun {
  bool ended = false;
  int status = -1;
  std::string errors;  // standard error

  int Messages() const {
    std::istringstream lines(errors);
    int count = 0;
    for (std::string line; std::getline(lines, line);) count += line.rfind("Error: ", 0) == 0;
    return count;
  }
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the viewer in folder for at most 60 s: start-up can take many seconds on a loaded machine. With
// escapeOnceRunning, the viewer is sent Escape once its window has been up for a second.
ViewerRun RunViewer(const std::string& folder, bool escapeOnceRunning) {
  const std::string errorsFile = folder + "/viewer-stderr.txt";
  pid_t pid = fork();
  if (pid == 0) {
    int fd = open(errorsFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (chdir(folder.c_str()) != 0 || fd < 0 || dup2(fd, 2) < 0) _exit(126);
    execl(VIEWER_EXECUTABLE, VIEWER_EXECUTABLE, static_cast<char*>(nullptr));
    _exit(127);
  }
  ViewerRun run;
  const auto start = std::chrono::steady_clock::now();
  auto seconds = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
  double windowSeen = -1, lastKey = -1;
  while (seconds() < 60) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      run.ended = true;
      run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (seconds() - lastKey < 0.5) continue;
    if (ReadFile(errorsFile).find("Error: ") != std::string::npos) {
      lastKey = seconds();
      (void)system(kAnswerMessageBox);  // repeated until the viewer ends: the box may not take keys at once
    } else if (escapeOnceRunning) {
      // The window is found by the ASCII part of its title: xdotool does not match the Japanese part.
      if (windowSeen < 0 && system("xdotool search --name 'WSAD,QE' >/dev/null 2>&1") == 0) windowSeen = seconds();
      if (windowSeen >= 0 && seconds() - windowSeen > 1.0) {
        lastKey = seconds();
        (void)system("xdotool search --name 'WSAD,QE' key --window %1 Escape >/dev/null 2>&1");
      }
    }
  }
  if (!run.ended) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  run.errors = ReadFile(errorsFile);
  return run;
}

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = getenv("DISPLAY");
    ASSERT_TRUE(display != nullptr && *display) << "these tests need an X display: run them under tools/with-xvfb.sh";
  }
  DataFolder folder_;
};

// The real shader with its pixel-shader entry point renamed.
std::string ShaderWithoutPixelEntry() {
  std::string source = ReadFile(std::string(VIEWER_DATA_DIR) + "/Fog.hlsl");
  return std::regex_replace(source, std::regex("\\bPS\\s*\\("), "PixelMain(");
}

// The run ended by itself once its one message box was answered, with status 0.
void ExpectOneLoadMessage(const ViewerRun& run) {
  EXPECT_TRUE(run.ended);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.Messages(), 1) << run.errors;
  EXPECT_NE(run.errors.find(kLoadMessage), std::string::npos) << run.errors;
}

TEST_F(StartupTest, ShaderThatDoesNotBuildShowsOneMessageAndExitsWithZero) {
  folder_.Remove("Fog.hlsl");
  ExpectOneLoadMessage(RunViewer(folder_.Path(), false));
  folder_.Write("Fog.hlsl", ShaderWithoutPixelEntry());
  ExpectOneLoadMessage(RunViewer(folder_.Path(), false));
}

TEST_F(StartupTest, MissingSharedTextureEndsQuietly) {
  folder_.Remove("t3.bmp");
  ViewerRun run = RunViewer(folder_.Path(), true);
  EXPECT_TRUE(run.ended);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.Messages(), 0) << run.errors;
}

TEST_F(StartupTest, BrokenModelOrLibraryLeavesTheViewerRunning) {
  const std::string scene = ReadFile(folder_.Path() + "/test.obj");
  struct Case {
    const char* file;
    std::string contents;
  } cases[] = {
      {"test.obj", scene.substr(0, scene.size() / 2 + 7)},              // cut inside a statement
      {"test.obj", "mtllib test.mtl\nusemtl Red\nf 1//1 2//1 9//1\nv 1 2\nvn x\nf 7/7/7\n"},  // references past the lists
      {"test.obj", "v 1 2 3 " + std::string(500, 'x') + "\nf\n"},       // a token longer than any buffer
      {"test.mtl", "newmtl Ground\nKa 1 1\nmap_Kd nothing-here.bmp\nnewmtl Red\nKd 1 0 0\n"},  // missing texture
      {"Sky_Sphere_R10.obj", ""},                                       // empty model
      {"Sky_Sphere_R10.mtl", "newmtl " + std::string(300, 'n') + "\n"},  // name longer than the record
  };
  for (const Case& c : cases) {
    const std::string original = ReadFile(folder_.Path() + "/" + c.file);
    folder_.Write(c.file, c.contents);
    ViewerRun run = RunViewer(folder_.Path(), true);
    EXPECT_TRUE(run.ended) << c.file << ": the viewer did not end after Escape";
    EXPECT_EQ(run.status, 0) << c.file << ": " << run.errors;
    EXPECT_EQ(run.Messages(), 0) << run.errors;
    folder_.Write(c.file, original);
  }
}

// In the viewer's own process: the vertex stage exists before the pixel shader's message is shown.
TEST_F(StartupTest, PixelShaderFailureComesAfterTheVertexStage) {
  folder_.Write("Fog.hlsl", ShaderWithoutPixelEntry());
  std::atomic<bool> done(false);
  std::thread answer([&] {
    while (!done) {
      (void)system(kAnswerMessageBox);
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
  });
  ViewerSession viewer;
  testing::internal::CaptureStderr();
  HRESULT hr = viewer.Start();
  std::string errors = testing::internal::GetCapturedStderr();
  done = true;
  answer.join();

  Application& app = viewer.App();
  EXPECT_EQ(hr, E_FAIL);
  EXPECT_NE(errors.find(std::string("Error: ") + kLoadMessage), std::string::npos) << errors;
  EXPECT_TRUE(app.vertexShader != nullptr && app.inputLayout != nullptr);
  EXPECT_TRUE(app.pixelShader == nullptr && app.frameConstantBuffer == nullptr);
  EXPECT_TRUE(app.sceneMesh.vertexBuffer == nullptr && app.sharedTexture == nullptr) << "set-up stops at the shaders";
}

}  // namespace
