#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz, with clang++) in build/fuzz and fuzzes
# each for the given number of seconds over its committed corpus:
#   scripts/fuzz.sh [seconds] [--merge] [target...]
#   scripts/fuzz.sh --regress [target...]
# New inputs go to build/fuzz/scratch/<target>/, crash inputs to
# build/fuzz/artifacts/. With --merge the new inputs that add coverage join
# tests/fuzz/corpus/<target>/ afterwards. --regress fuzzes nothing: it runs every
# committed input once (what scripts/test.sh does). Exits non-zero when a target
# crashed. Fuzzing runs at the lowest priority: the machine is shared.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

seconds=60
merge=0
regress=0
targets=()
for argument in "$@"; do
  case "$argument" in
    --merge) merge=1 ;;
    --regress) regress=1 ;;
    ''|*[!0-9]*) targets+=("$argument") ;;
    *) seconds=$argument ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_compile fuzz_run fuzz_parsers)

"$root/scripts/setup.sh" clang libclang-rt-14-dev

dir="$root/build/fuzz"
compiler=$(command -v clang++ || command -v clang++-14)
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$root/tests/fuzz" -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER="$compiler" >/dev/null
fi
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)"

# Scripts run on a time budget of their own; these limits catch what escapes it.
limits=(-timeout=60 -rss_limit_mb=2048 -malloc_limit_mb=1024 -max_len=4096)
mkdir -p "$dir/artifacts"
status=0
for target in "${targets[@]}"; do
  corpus="$root/tests/fuzz/corpus/$target"
  log="$dir/$target.log"
  if [ $regress -eq 1 ]; then
    echo "=== $target over $(ls "$corpus" | wc -l) committed inputs ==="
    run=("$dir/$target" -runs=0 "${limits[@]}" -artifact_prefix="$dir/artifacts/$target-" "$corpus")
  else
    scratch="$dir/scratch/$target"
    mkdir -p "$scratch"
    echo "=== fuzzing $target for ${seconds}s ==="
    dictionary=()
    [ "$target" = fuzz_parsers ] || dictionary=(-dict="$root/tests/fuzz/nuv.dict")
    run=(nice -n 19 "$dir/$target" -max_total_time="$seconds" -print_final_stats=1 "${limits[@]}"
         "${dictionary[@]}" -artifact_prefix="$dir/artifacts/$target-" "$scratch" "$corpus")
  fi
  if "${run[@]}" >"$log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+DONE' "$log" || true
  else
    status=1
    grep -E 'ERROR|SUMMARY|Test unit written' "$log" >&2 || true
    echo "$target: FAILED, see $log" >&2
  fi
  if [ $merge -eq 1 ] && [ $regress -eq 0 ]; then
    # Edge coverage alone decides, which keeps the committed corpus small.
    nice -n 19 "$dir/$target" -merge=1 -use_counters=0 -use_cmp=0 "${limits[@]}" "$corpus" "$scratch" \
      >>"$log" 2>&1
  fi
done
exit $status
