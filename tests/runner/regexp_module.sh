#!/bin/sh
# The regular-expression engine is a module loaded beside the library on first
# use: a copy of nuv and the library without it runs scripts that use no RegExp,
# and a script that builds one gets a catchable error naming the reason; with
# the module beside the library, expressions work.
#   regexp_module.sh NUV LIBRARY MODULE
set -u
nuv=$1 library=$2 module=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/runner"
cp "$nuv" "$scratch/runner/nuv"
cp "$library" "$scratch/"
cat >"$scratch/plain.nuv" <<'SCRIPT'
println("no expressions: " + "abc".indexOf("c"));
SCRIPT
cat >"$scratch/regexp.nuv" <<'SCRIPT'
try {
  var r = new RegExp("b+");
  println("matched: " + r.test("abbc"));
} catch (e) {
  println("caught: " + e.message);
}
SCRIPT
fail=0
check() {
  case "$2" in
    $3) ;;
    *) printf '%s:\n[%s]\nexpected:\n[%s]\n' "$1" "$2" "$3"; fail=1 ;;
  esac
}
check "without the module, plain script" "$(cd "$scratch" && runner/nuv plain.nuv 2>&1)" "no expressions: 2"
# The engine's exception dump comes first; the script's own line is the last.
check "without the module, RegExp" "$(cd "$scratch" && runner/nuv regexp.nuv 2>/dev/null | tail -n 1)" \
  "caught: regular expressions are not available: *libmervanik_regexp.so*"
cp "$module" "$scratch/"
check "with the module" "$(cd "$scratch" && runner/nuv regexp.nuv 2>&1)" "matched: 1"
exit $fail
