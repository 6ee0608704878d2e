#!/usr/bin/env bash
# The Direct3D 11 and D3DX tests on Wine's Direct3D 11: cross-builds the test programs that speak only the
# Direct3D 11, DXGI and D3DX API (cmake/windows-tests.cmake; MinGW-w64 with the POSIX thread model, against
# the real SDK headers, into build-wine/ or the directory given as $1) and runs each under wine64 on a
# private X display. One Wine prefix is made per run (wineboot -i, the slow part) and shared by every
# program. Tests that hit what Wine lacks skip themselves and say why; those reasons are listed.
# Prints "N passed, M skipped, K failed"; fails when a test fails or a program ends without its summary.
set -uo pipefail
shopt -s nullglob
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-wine}"
"$root/tools/install-deps.sh" || exit 1
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64

start=$SECONDS
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DMINGW_THREAD_MODEL=-posix \
  -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -DNDEBUG" -DVIEWER_BUILD_WINDOWS_TESTS=ON >/dev/null || exit 1
cmake --build "$build" -j"${JOBS:-$(nproc)}" --target windows_tests || exit 1
echo "test-wine: built in $((SECONDS - start)) s"

export WINEPREFIX
WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/viewer-wine.XXXXXX")"
trap '"$wineserver" -k 2>/dev/null; rm -rf "$WINEPREFIX"' EXIT
export WINEDEBUG=-all
# No Mono or Gecko install prompts while the prefix is made; no debugger on a crash (the program just ends).
export WINEDLLOVERRIDES="mscoree,mshtml,winedbg.exe="

run_all() {
  local start=$SECONDS
  "$wine" wineboot -i >/dev/null 2>&1
  "$wineserver" -w
  echo "test-wine: Wine prefix made in $((SECONDS - start)) s"
  for program in "$build"/tests/*.exe; do
    local name log
    name="$(basename "$program" .exe)"
    log="$build/tests/$name.log"
    start=$SECONDS
    (cd "$root" && timeout 600 "$wine" "$program") 2>&1 | tr -d '\r' >"$log"
    echo "test-wine: $name ran in $((SECONDS - start)) s"
  done
  "$wineserver" -w
}

rm -f "$build"/tests/*.log
"$root/tools/with-xvfb.sh" bash -c "$(declare -f run_all); wine=$wine wineserver=$wineserver build=$build root=$root run_all"

passed=0 skipped=0 failed=0
programs=("$build"/tests/*.exe)
logs=("$build"/tests/*.log)
if [ ${#programs[@]} -eq 0 ] || [ ${#logs[@]} -ne ${#programs[@]} ]; then
  echo "test-wine: ${#programs[@]} test programs, ${#logs[@]} of them ran"
  failed=1
fi
for log in "${logs[@]}"; do
  passed=$((passed + $(grep -c '^\[       OK \]' "$log")))
  skipped=$((skipped + $(grep -c '^\[  SKIPPED \] .* ([0-9]* ms)$' "$log")))
  failed=$((failed + $(grep -c '^\[  FAILED  \] .* ([0-9]* ms)$' "$log")))
  # Each skip with its reason: the lines between "Skipped" and the [  SKIPPED ] line of that test.
  awk '/^\[ RUN      \]/ { reason = "" } / Skipped$/ { grab = 1; next }
       /^\[  SKIPPED \] .* \([0-9]* ms\)$/ { print "skipped " $4 ": " reason; grab = 0; next }
       grab { reason = reason (reason == "" ? "" : " ") $0 }' "$log"
  grep '^\[  FAILED  \] .* ([0-9]* ms)$' "$log" | sed 's/^\[  FAILED  \] /failed /'
  if ! grep -q '^\[==========\] .* ran\.' "$log"; then  # it crashed or hung: the test it was in fails
    failed=$((failed + 1))
    echo "failed $(grep '^\[ RUN      \]' "$log" | tail -n 1 | cut -c14-): $(basename "$log" .log) ended there:"
    tail -n 5 "$log"
  fi
done
echo "test-wine: $((SECONDS - start)) s in all"
echo "$passed passed, $skipped skipped, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
