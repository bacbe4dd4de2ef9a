#!/usr/bin/env bash
# Builds everything twice (normal, and with AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs the whole test suite in each build; then builds the libFuzzer targets
# (installing clang) and runs each once over its committed corpus. Exits non-zero
# on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
jobs=$(nproc 2>/dev/null || echo 2)

status=0
for kind in normal sanitize; do
  echo "=== $kind build ==="
  "$root/scripts/build.sh" "$kind"
  echo "=== $kind tests ==="
  if ! ctest --test-dir "$root/build/$kind" --output-on-failure -j "$jobs"; then
    status=1
  fi
done
echo "=== fuzz targets over their corpora ==="
if ! "$root/scripts/fuzz.sh" --regress; then
  status=1
fi
exit $status
