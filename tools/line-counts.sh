#!/usr/bin/env bash
# Prints the non-blank lines of the tests and of the code they test, and their ratio (the aim is at most
# 0.33): .cpp .h .c .hlsl .sh .py files under tests/ (fuzz corpora aside) against the same under the
# program's folders and the layer.
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
  find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' -o -name '*.hlsl' -o -name '*.sh' -o -name '*.py' \) \
    -not -path '*/corpus/*' -print0 | xargs -0 cat | grep -cv '^[[:space:]]*$'
}
tests=$(count tests)
code=$(count app graphics model render platform shaders)
echo "test lines: $tests"
echo "code lines: $code"
awk -v t="$tests" -v c="$code" 'BEGIN { printf "ratio: %.2f\n", t / c }'
