#!/usr/bin/env bash
# Cross-builds mervanik.dll and nuv.exe for 64-bit and 32-bit Windows with
# mingw-w64 and runs the tests of the 64-bit build under Wine.
#
#   scripts/test-windows.sh          build both, check them, run the x86-64 tests
#
# Build folders: build/win-x86_64 and build/win-i686 (the 32-bit build is only
# built and checked: this machine does not run 32-bit programs). Under Wine run
# the script tests, the runner tests and the examples, as nuv.exe with the
# library's DLL; the unit and host tests are Linux builds only.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${NUV_JOBS:-2}

"$root/scripts/setup.sh" g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64

# Boost.Regex is header-only from 1.76 on, so the Windows build needs only the
# headers of Debian's libboost1.81-dev. That package cannot be installed beside
# the 1.74 one that the Linux build links, so its headers are unpacked into the
# build tree instead; the folder holds boost/ and nothing else.
deps=$root/build/win-deps
boost=$deps/boost-1.81
if [ ! -f "$boost/boost/regex.hpp" ]; then
  mkdir -p "$deps/download"
  rm -f "$deps"/download/libboost1.81-dev_*.deb
  if ! (cd "$deps/download" && apt-get download -q libboost1.81-dev 2>/dev/null); then
    apt-get update -qq
    (cd "$deps/download" && apt-get download -q libboost1.81-dev 2>/dev/null)
  fi
  rm -rf "$boost" "$deps/unpack"
  mkdir -p "$deps/unpack"
  dpkg-deb --fsys-tarfile "$deps"/download/libboost1.81-dev_*.deb | tar -x -C "$deps/unpack" ./usr/include/boost
  mkdir -p "$boost"
  mv "$deps/unpack/usr/include/boost" "$boost/boost"
  rm -rf "$deps/unpack"
fi

wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "test-windows: wine64 not found" >&2; exit 1; }

# The emulator through which CTest starts Windows programs: Wine in a prefix of
# the build's own, without its diagnostics. The C runtime writes standard output
# and error in text mode (LF as CR LF); the line ends are turned back to LF so the
# expectations of the Linux tests hold unchanged.
write_emulator() {
  local build=$1
  mkdir -p "$build"
  cat >"$build/wine-run" <<EOF
#!/bin/sh
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all
unset DISPLAY
out=\$(mktemp) err=\$(mktemp)
"$wine" "\$@" >"\$out" 2>"\$err"
status=\$?
sed 's/\r\$//' "\$out"
sed 's/\r\$//' "\$err" >&2
rm -f "\$out" "\$err"
exit \$status
EOF
  chmod +x "$build/wine-run"
  if [ ! -f "$build/wine-prefix/system.reg" ]; then
    echo "test-windows: creating the Wine prefix in $build/wine-prefix"
    WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all DISPLAY= "$wine" wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX="$build/wine-prefix" "$(dirname "$wine")/wineserver" -w 2>/dev/null || true
  fi
}

configure_and_build() {
  local arch=$1 build=$root/build/win-$1
  local extra=()
  if [ "$arch" = x86_64 ]; then
    write_emulator "$build"
    extra=(-DCMAKE_CROSSCOMPILING_EMULATOR="$build/wine-run")
  else
    # Nothing runs here; the tests are registered all the same.
    extra=(-DCMAKE_CROSSCOMPILING_EMULATOR=/bin/false)
  fi
  cmake -S "$root" -B "$build" -G Ninja -DNUV_SANITIZE=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-$arch.cmake" \
        -DNUV_BOOST_INCLUDE_DIR="$boost" "${extra[@]}" >/dev/null
  cmake --build "$build" -j"$jobs"
}

configure_and_build x86_64
configure_and_build i686

failed=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failed=1; fi
}

# The 32-bit layout: a variant is 12 bytes (8-byte value area and the tag,
# packed to 4), a string body 64 bytes, for the engine and for hosts alike.
layout_probe() {
  printf '%s\n' '#include "engine/values/variant.h"' '#include "engine/values/string_body.h"' \
    'static_assert(sizeof(NUV::tNUVVariant_S) == 12 && sizeof(NUV::tNUVVariant) == 12);' \
    'static_assert(alignof(NUV::tNUVVariant_S) == 4);' \
    'static_assert(sizeof(NUV::tNUVVariantString) == 64);' |
    i686-w64-mingw32-g++-posix -std=c++20 -fsyntax-only -DMRVK_EXPORT= -I"$root" -I"$root/include" -x c++ - &&
  printf '%s\n' '#include "mervanik/mervanik.h"' \
    'static_assert(sizeof(NUV::tNUVVariant_S) == 12 && sizeof(NUV::tNUVVariant) == 12);' |
    i686-w64-mingw32-g++-posix -std=c++20 -fsyntax-only -I"$root/include" -x c++ -
}
check "i686 layout: variant 12 bytes, string body 64 bytes" layout_probe

# The export table: exactly the names of environment/mervanik.def at their
# ordinals, and the .def names exactly the functions the public headers declare.
exports_match() {
  local dll=$1 objdump=$2
  local want got declared
  want=$(awk '$1 ~ /^Mrvk/ { sub("@", "", $2); print $2, $1 }' "$root/environment/mervanik.def" | sort)
  # objdump shows each name with its ordinal less the ordinal base.
  got=$("$objdump" -p "$dll" | awk '
      /^Ordinal Base/ { base = $3 }
      /^\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
      table && /^\t\[/ { line = $0; sub(/^\t\[ */, "", line); split(line, part, /\] /)
                         print part[1] + base, part[2]; next }
      table && !/^\t/ { table = 0 }' | sort)
  # What the public headers declare: every function named Mrvk..., classes aside.
  declared=$(cat "$root"/include/mervanik/*.h | grep -o 'Mrvk[A-Za-z0-9_]*(' | tr -d '(' | sort -u |
    grep -Fxv "$(cat "$root"/include/mervanik/*.h | grep -o 'class Mrvk[A-Za-z0-9_]*' | cut -d' ' -f2)")
  [ "$want" = "$got" ] || { diff <(echo "$want") <(echo "$got") | head -20; return 1; }
  [ "$(echo "$want" | awk '{ print $2 }' | sort -u)" = "$declared" ] ||
    { diff <(echo "$want" | awk '{ print $2 }' | sort -u) <(echo "$declared") | head -20; return 1; }
}
# The programs need no DLL of the compiler's runtime: only the system's and mervanik.dll.
imports_only_system() {
  local file=$1 objdump=$2
  ! "$objdump" -p "$file" | awk '/DLL Name:/ { print $3 }' |
    grep -viE '^(mervanik|kernel32|msvcrt|user32|advapi32|ws2_32|shell32|ole32)\.dll$'
}
for arch in x86_64 i686; do
  build=$root/build/win-$arch
  objdump=$arch-w64-mingw32-objdump
  check "$arch: mervanik.dll exports the .def table" exports_match "$build/mervanik.dll" "$objdump"
  check "$arch: import library" test -f "$build/libmervanik.dll.a"
  check "$arch: nuv.exe imports only system DLLs and mervanik.dll" imports_only_system "$build/nuv.exe" "$objdump"
  check "$arch: mervanik.dll imports only system DLLs" imports_only_system "$build/mervanik.dll" "$objdump"
done

# The tests of the 64-bit build, under Wine.
check "x86_64: tests under Wine" ctest --test-dir "$root/build/win-x86_64" -j"$jobs" --output-on-failure

exit $failed
