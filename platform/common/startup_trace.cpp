#include "startup_trace.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

namespace platform {
namespace {

constexpr int kMaxSteps = 16;
constexpr size_t kMaxStepLength = 63;

struct TraceState {
  bool enabled = false;
  long long originNs = 0;
  char seen[kMaxSteps][kMaxStepLength + 1] = {};
  int seenCount = 0;
};

// Reads the launcher's timestamp once; a missing, empty or malformed value leaves tracing off.
TraceState& State() {
  static TraceState state = [] {
    TraceState s;
    const char* value = getenv("PLATFORM_TRACE_FIRST_PRESENT");
    if (value == nullptr || *value == '\0') return s;
    char* end = nullptr;
    long long ns = strtoll(value, &end, 10);
    if (*end != '\0' || ns <= 0) return s;
    s.enabled = true;
    s.originNs = ns;
    return s;
  }();
  return state;
}

long long MonotonicNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

}  // namespace

void TraceStartupStep(const char* step) {
  TraceState& state = State();
  if (!state.enabled) return;
  long long now = MonotonicNs();
  for (int i = 0; i < state.seenCount; ++i) {
    if (strncmp(state.seen[i], step, kMaxStepLength) == 0) return;
  }
  if (state.seenCount == kMaxSteps) return;
  char* name = state.seen[state.seenCount++];
  strncpy(name, step, kMaxStepLength);
  fprintf(stderr, "platform-trace: %s %.3f\n", name, static_cast<double>(now - state.originNs) / 1e6);
  fflush(stderr);
}

}  // namespace platform
