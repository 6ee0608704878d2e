// Start-up timing for the start-up benchmark. A launcher that wants to know how long a process took to
// reach a step sets PLATFORM_TRACE_FIRST_PRESENT to the CLOCK_MONOTONIC time, in nanoseconds, at which it
// started the process. Without that variable (the normal case) tracing costs one flag test per call.
#pragma once

namespace platform {

// Prints "platform-trace: STEP MS" to standard error, MS being the milliseconds from the launcher's
// timestamp to now, the first time it is called for STEP (one word; the first 63 characters count; at
// most 16 steps are traced). Later calls for the same step print nothing, so it may sit on a path taken
// every frame.
void TraceStartupStep(const char* step);

}  // namespace platform
