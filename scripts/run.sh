#!/usr/bin/env bash
# Builds the library and the console runner (installing what is missing) and runs
# a NUV2 script with it: scripts/run.sh [options] scriptfile
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh"
"$root/scripts/build.sh" normal >/dev/null

exec "$root/build/normal/runner/nuv" "$@"
