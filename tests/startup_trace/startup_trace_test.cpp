// The start-up trace reads its launcher's timestamp once per process, so each case runs the trace in a
// forked child with the environment it needs and checks what the child wrote to standard error.
#include "common/startup_trace.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

long long MonotonicNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Runs body in a child whose PLATFORM_TRACE_FIRST_PRESENT is value (unset for null); returns its stderr.
std::string TraceInChild(const char* value, const std::function<void()>& body) {
  int fds[2];
  if (pipe(fds) != 0) return "pipe failed";
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    dup2(fds[1], STDERR_FILENO);
    if (value) setenv("PLATFORM_TRACE_FIRST_PRESENT", value, 1);
    else unsetenv("PLATFORM_TRACE_FIRST_PRESENT");
    body();
    _exit(0);
  }
  close(fds[1]);
  std::string output;
  char buffer[256];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) output.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child crashed";
  return output;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(StartupTrace, PrintsEachStepOnceWithTheTimeSinceTheLaunchersTimestamp) {
  // A launcher that started the process 50 ms ago.
  std::string origin = std::to_string(MonotonicNs() - 50000000LL);
  std::string output = TraceInChild(origin.c_str(), [] {
    for (int frame = 0; frame < 3; ++frame) platform::TraceStartupStep("present");
    platform::TraceStartupStep("window");
    platform::TraceStartupStep("present");
  });
  std::vector<std::string> lines = Lines(output);
  ASSERT_EQ(lines.size(), 2u) << output;
  char name[32];
  double first = 0, second = 0;
  ASSERT_EQ(sscanf(lines[0].c_str(), "platform-trace: %31s %lf", name, &first), 2) << lines[0];
  EXPECT_STREQ(name, "present");
  ASSERT_EQ(sscanf(lines[1].c_str(), "platform-trace: %31s %lf", name, &second), 2) << lines[1];
  EXPECT_STREQ(name, "window");
  EXPECT_GE(first, 50.0);
  EXPECT_LT(first, 50.0 + 60000.0);
  EXPECT_GE(second, first);
}

TEST(StartupTrace, KeepsItsOwnCopyOfEachStepName) {
  std::string origin = std::to_string(MonotonicNs());
  std::string output = TraceInChild(origin.c_str(), [] {
    char name[16];
    for (const char* file : {"a.bmp", "b.bmp", "a.bmp"}) {
      snprintf(name, sizeof name, "%s", file);  // the caller reuses its buffer
      platform::TraceStartupStep(name);
    }
  });
  std::vector<std::string> lines = Lines(output);
  ASSERT_EQ(lines.size(), 2u) << output;
  EXPECT_EQ(lines[0].rfind("platform-trace: a.bmp ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("platform-trace: b.bmp ", 0), 0u) << lines[1];
}

TEST(StartupTrace, StaysSilentWithoutAValidTimestamp) {
  auto trace = [] { platform::TraceStartupStep("present"); };
  for (const char* value : {static_cast<const char*>(nullptr), "", "soon", "12ms", "-5", "0"}) {
    EXPECT_EQ(TraceInChild(value, trace), "") << (value ? value : "(unset)");
  }
}

TEST(StartupTrace, TracesAtMostSixteenDistinctSteps) {
  std::string origin = std::to_string(MonotonicNs());
  static const char* const kSteps[] = {"s0", "s1", "s2",  "s3",  "s4",  "s5",  "s6",  "s7",  "s8", "s9",
                                       "s10", "s11", "s12", "s13", "s14", "s15", "s16", "s17", "s18"};
  std::string output = TraceInChild(origin.c_str(), [] {
    for (const char* step : kSteps) platform::TraceStartupStep(step);
  });
  std::vector<std::string> lines = Lines(output);
  ASSERT_EQ(lines.size(), 16u) << output;
  EXPECT_EQ(lines.back().rfind("platform-trace: s15 ", 0), 0u) << lines.back();
}

}  // namespace
