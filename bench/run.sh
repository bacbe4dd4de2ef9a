#!/usr/bin/env bash
# Compares nuv with lua5.4 and python3 on the programs of this directory.
# Usage: bench/run.sh [--runs N] [program...]   (default: 5 runs, every program)
#
# Every program exists as <name>.nuv, <name>.lua and <name>.py and must print
# exactly <name>.expected. The outputs are checked first (a mismatch stops the
# run), then hyperfine times each program, and a Markdown table is printed.
set -euo pipefail
bench=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$bench")
build="$root/build/bench"
nuv="$build/runner/nuv"

usage() { echo "usage: $0 [--runs N] [program...]" >&2; }

runs=5
programs=()
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) [ $# -ge 2 ] || { usage; exit 2; }; runs=$2; shift 2 ;;
    --runs=*) runs=${1#--runs=}; shift ;;
    -h|--help) usage; exit 0 ;;
    -*) usage; exit 2 ;;
    *) programs+=("${1%.*}"); shift ;;
  esac
done
case "$runs" in
  ''|*[!0-9]*|0) echo "run.sh: --runs needs a positive number, not '$runs'" >&2; exit 2 ;;
esac
if [ ${#programs[@]} -eq 0 ]; then
  for expected in "$bench"/*.expected; do
    name=$(basename "$expected" .expected)
    programs+=("$name")
  done
fi
for name in "${programs[@]}"; do
  for ext in nuv lua py expected; do
    [ -f "$bench/$name.$ext" ] || { echo "run.sh: missing $bench/$name.$ext" >&2; exit 2; }
  done
done

for tool in lua5.4 python3 hyperfine cmake ninja; do
  command -v "$tool" >/dev/null || { echo "run.sh: $tool is missing (scripts/bench.sh installs it)" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "run.sh: /usr/bin/time is missing (scripts/bench.sh installs it)" >&2; exit 2; }

# An optimised build of its own; ninja only rebuilds what changed.
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DNUV_SANITIZE=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --build "$build" --target nuv -j2 >"$tmp/build.log" 2>&1 || { cat "$tmp/build.log" >&2; exit 1; }

# python3 may be a launcher script (pyenv shims start in about half a second);
# time the interpreter it runs.
python=$(python3 -c 'import sys; print(sys.executable)')

languages=(nuv lua py)
command_for() {  # language, script file
  case "$1" in
    nuv) printf '%q %q' "$nuv" "$2" ;;
    lua) printf 'lua5.4 %q' "$2" ;;
    py) printf '%q %q' "$python" "$2" ;;
  esac
}

# Output check, which also measures each interpreter's peak memory on one run.
failed=0
for name in "${programs[@]}"; do
  for lang in "${languages[@]}"; do
    base="$tmp/$name.$lang"
    eval "/usr/bin/time -f %M -o $(printf '%q' "$base.rss") $(command_for "$lang" "$bench/$name.$lang")" \
      >"$base.out" 2>"$base.err" || true
    if ! cmp -s "$base.out" "$bench/$name.expected"; then
      failed=1
      echo "MISMATCH: $name.$lang does not print $name.expected:" >&2
      diff "$bench/$name.expected" "$base.out" | head -20 >&2 || true
      head -5 "$base.err" >&2
    fi
  done
done
if [ "$failed" -ne 0 ]; then
  echo "run.sh: output check FAILED, nothing timed" >&2
  exit 1
fi
echo "run.sh: all outputs match; timing ${#programs[@]} program(s), $runs run(s) each" >&2

for name in "${programs[@]}"; do
  echo "run.sh: timing $name" >&2
  args=()
  for lang in "${languages[@]}"; do
    args+=(-n "$lang" "$(command_for "$lang" "$bench/$name.$lang")")
  done
  hyperfine -N --style basic --warmup 1 --runs "$runs" --export-json "$tmp/$name.json" "${args[@]}" \
    >"$tmp/$name.hyperfine.log" 2>&1 || { cat "$tmp/$name.hyperfine.log" >&2; exit 1; }
done

# Start-up: a script holding only a comment (nuv refuses an empty file).
printf '// nothing\n' >"$tmp/empty.nuv"
printf -- '-- nothing\n' >"$tmp/empty.lua"
printf '# nothing\n' >"$tmp/empty.py"
echo "run.sh: timing start-up" >&2
args=()
for lang in "${languages[@]}"; do
  args+=(-n "$lang" "$(command_for "$lang" "$tmp/empty.$lang")")
done
hyperfine -N --style basic --warmup 3 --runs 30 --export-json "$tmp/startup.json" "${args[@]}" \
  >"$tmp/startup.hyperfine.log" 2>&1 || { cat "$tmp/startup.hyperfine.log" >&2; exit 1; }

echo "nuv: $nuv ($(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown) plus working tree)"
echo "lua: $(lua5.4 -v 2>&1 | head -1)"
echo "python: $python ($("$python" --version 2>&1))"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
python3 - "$tmp" "$runs" "${programs[@]}" <<'EOF'
import json, math, os, sys

tmp, runs, programs = sys.argv[1], sys.argv[2], sys.argv[3:]
langs = ["nuv", "lua", "py"]

def medians(path):
    with open(path) as f:
        results = json.load(f)["results"]
    return {r["command"]: r["median"] for r in results}

def mib(name, lang):
    with open(os.path.join(tmp, "%s.%s.rss" % (name, lang))) as f:
        kib = int(f.read().split()[-1])
    return kib / 1024.0

print("Median of %s run(s) after one warm-up; memory is the peak RSS of one run." % runs)
print()
print("| program | nuv s | lua5.4 s | python3 s | nuv/lua | nuv/python | nuv MiB | lua MiB | python MiB |")
print("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
lua_ratios, py_ratios = [], []
for name in programs:
    t = medians(os.path.join(tmp, name + ".json"))
    rl, rp = t["nuv"] / t["lua"], t["nuv"] / t["py"]
    lua_ratios.append(rl)
    py_ratios.append(rp)
    print("| %s | %.3f | %.3f | %.3f | %.2f | %.2f | %.1f | %.1f | %.1f |" % (
        name, t["nuv"], t["lua"], t["py"], rl, rp, mib(name, "nuv"), mib(name, "lua"), mib(name, "py")))

def geomean(values):
    return math.exp(sum(math.log(v) for v in values) / len(values))

print("| geometric mean | | | | %.2f | %.2f | | | |" % (geomean(lua_ratios), geomean(py_ratios)))
print()
s = medians(os.path.join(tmp, "startup.json"))
print("Start-up (script holding only a comment, median of 30): nuv %.1f ms, lua5.4 %.1f ms, "
      "python3 %.1f ms; nuv/lua %.2f, nuv/python %.2f" % (
          s["nuv"] * 1000, s["lua"] * 1000, s["py"] * 1000, s["nuv"] / s["lua"], s["nuv"] / s["py"]))
EOF
