#!/usr/bin/env bash
# Builds everything and runs every test:
#   1. the tests (build/), under an X display (a private Xvfb when there is none);
#   2. the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer (build-sanitize/);
#   3. the Windows cross build of the program with MinGW-w64 and its zip package (build-windows/);
#   4. the Direct3D 11 and D3DX tests cross-built and run on Wine's Direct3D 11 (build-wine/);
#   5. the fuzzers of the model readers and the image decoder, each for a bounded time (build-fuzz/);
#   6. a short soak run of the viewer.
# Installs what it needs first; builds incrementally. Exits non-zero if any step fails.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
tools/install-deps.sh || exit 1
jobs="$(nproc)"
passed=0
failed=0
failures=()
timings=()

step() {  # step NAME COMMAND...
  local name="$1"; shift
  echo "=== $name"
  local start=$SECONDS
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); failures+=("$name"); fi
  timings+=("$name: $((SECONDS - start)) s")
}

build() {  # build DIR CMAKE_ARGS...
  local dir="$1"; shift
  cmake -S . -B "$dir" "$@" >/dev/null && cmake --build "$dir" -j"$jobs"
}

run_ctest() {  # run_ctest DIR [CTEST_ARGS...]
  local log="$1/ctest.log"
  tools/with-xvfb.sh ctest --test-dir "$1" --output-on-failure -j2 --timeout 300 "${@:2}" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  local summary failed_here total
  summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  failed_here=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$summary")
  tests_passed=$((tests_passed + ${total:-0} - ${failed_here:-0}))
  tests_failed=$((tests_failed + ${failed_here:-0}))
  [ -n "$summary" ] || return 1
  return "$status"
}

run_wine_tests() {  # adds the Wine run's counts to the totals
  local log="build-wine/test-wine.log"
  mkdir -p build-wine
  tools/test-wine.sh 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  local counts
  counts=$(grep -E '^[0-9]+ passed, [0-9]+ skipped, [0-9]+ failed$' "$log" | tail -n 1)
  [ -n "$counts" ] || return 1
  tests_passed=$((tests_passed + $(cut -d' ' -f1 <<<"$counts")))
  tests_failed=$((tests_failed + $(cut -d' ' -f5 <<<"$counts")))
  return "$status"
}

export LSAN_OPTIONS="suppressions=$root/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export ASAN_OPTIONS="detect_odr_violation=0"
tests_passed=0
tests_failed=0

step "build" build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
step "tests" run_ctest build
# -O1 and line tables only: the sanitizers' reports keep their file and line, and the build takes far
# less time than at -O2 with full debug information.
step "sanitizer build" build build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIEWER_SANITIZE=address,undefined \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" \
  -DVIEWER_BUILD_BENCH=OFF
# LeakSanitizer's stop-the-world tracer now and then dies with signal 11 while a process that ran Mesa's
# worker threads exits ("Tracer caught signal 11 ... LeakSanitizer has encountered a fatal error"), which
# fails that test without any finding. A test that fails twice in a row still fails the run.
step "sanitizer tests" run_ctest build-sanitize --repeat until-pass:2
step "windows cross build and package" tools/package-windows.sh
step "tests on Wine" run_wine_tests
[ -x tools/fuzz.sh ] && step "fuzzers" tools/fuzz.sh
[ -x tools/soak.sh ] && step "soak" tools/with-xvfb.sh tools/soak.sh "${SOAK_SECONDS:-20}"

echo
printf '%s\n' "${timings[@]}"
if [ "$failed" -ne 0 ]; then
  echo "failed steps: ${failures[*]}"
fi
echo "steps: $passed of $((passed + failed)) succeeded"
echo "tests: $tests_passed passed, $tests_failed failed"
[ "$failed" -eq 0 ]
