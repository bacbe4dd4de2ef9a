#!/bin/sh
# Installs the build tree into a fresh prefix and builds the embedding example
# against that install twice, once through find_package(mervanik) and once through
# pkg-config, then runs both and the installed nuv.
# Usage: check_install.sh BUILD_DIR SOURCE_DIR [EXTRA_CXX_FLAGS]
set -eu
build=$1
source=$2
flags=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
example=$source/examples/embed
expected=$(printf 'clicks: 16\nreset to 100\nreport returned: taps -> 6')

check_output() {
  if [ "$2" != "$3" ]; then
    printf '%s printed:\n%s\nexpected:\n%s\n' "$1" "$2" "$3"
    exit 1
  fi
}

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in include/mervanik/mervanik.h include/mervanik/mervanik_exports.h bin/nuv; do
  [ -e "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done

# The installed runner finds the installed library by itself.
printf 'println("installed " + (6 * 7));\n' >"$work/hello.nuv"
check_output "installed nuv" "$("$prefix/bin/nuv" "$work/hello.nuv")" "installed 42"

# find_package(mervanik) and the imported target mervanik::mervanik.
cmake -S "$example" -B "$work/with-cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$work/with-cmake" >/dev/null
check_output "find_package consumer" "$("$work/with-cmake/embed_counter" "$example/counter.nuv")" "$expected"

# pkg-config.
if command -v pkg-config >/dev/null 2>&1; then
  pc=$(find "$prefix" -name mervanik.pc)
  [ -n "$pc" ] || { echo "mervanik.pc not installed"; exit 1; }
  PKG_CONFIG_PATH=$(dirname "$pc")
  export PKG_CONFIG_PATH
  # shellcheck disable=SC2046,SC2086
  c++ -std=c++20 $flags $(pkg-config --cflags mervanik) "$example/main.cpp" -o "$work/with-pkg-config" \
      $(pkg-config --libs mervanik)
  libdir=$(pkg-config --variable=libdir mervanik)
  check_output "pkg-config consumer" \
      "$(LD_LIBRARY_PATH="$libdir" "$work/with-pkg-config" "$example/counter.nuv")" "$expected"
else
  echo "pkg-config not found: the pkg-config consumer was not built"
fi
echo "install checked"
