#!/usr/bin/env bash
# Installs what the benchmark suite needs when it is missing (lua5.4, hyperfine,
# GNU time and the build packages), then runs it:
#   scripts/bench.sh [--runs N] [program...]
# Benchmarks run on demand only; no test script calls this.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# The build packages, and what the suite runs and measures with.
"$root/scripts/setup.sh" lua5.4 hyperfine time
command -v python3 >/dev/null || "$root/scripts/setup.sh" python3

exec "$root/bench/run.sh" "$@"
