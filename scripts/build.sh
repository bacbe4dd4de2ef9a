#!/usr/bin/env bash
# Configures and builds one variant of the project.
# Usage: scripts/build.sh [normal|sanitize]   (default: normal)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-normal}

case "$kind" in
  normal)   dir="$root/build/normal";   flags=(-DNUV_SANITIZE=OFF) ;;
  sanitize) dir="$root/build/sanitize"; flags=(-DNUV_SANITIZE=ON) ;;
  *) echo "usage: $0 [normal|sanitize]" >&2; exit 2 ;;
esac

if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$root" -B "$dir" -G Ninja "${flags[@]}" >/dev/null
fi
cmake --build "$dir"
