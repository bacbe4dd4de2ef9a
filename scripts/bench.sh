#!/usr/bin/env bash
# Installs what the benchmark suite needs when it is missing (lua5.4, hyperfine,
# GNU time and the build packages), then runs it:
#   scripts/bench.sh [--runs N] [program...]
# Benchmarks run on demand only; no test script calls this.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh"

need=()
command -v lua5.4 >/dev/null || need+=(lua5.4)
command -v hyperfine >/dev/null || need+=(hyperfine)
command -v python3 >/dev/null || need+=(python3)
[ -x /usr/bin/time ] || need+=(time)

if [ ${#need[@]} -gt 0 ]; then
  echo "bench: installing ${need[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq "${need[@]}" >/dev/null
fi

exec "$root/bench/run.sh" "$@"
