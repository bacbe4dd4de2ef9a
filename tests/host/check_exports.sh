#!/bin/sh
# The library exports the Mrvk functions and nothing else of its own: every
# defined dynamic symbol of the code and data sections starts with "Mrvk".
# With INCLUDE_DIR, the public headers must declare every export.
# Usage: check_exports.sh LIBRARY [INCLUDE_DIR]
library=$1
headers=${2:-}
symbols=$(nm -D --defined-only "$library" | awk '$2 ~ /^[TtDdBbRrVvWw]$/ { print $3 }')
[ -n "$symbols" ] || { echo "no exported symbols found in $library"; exit 1; }
others=$(printf '%s\n' "$symbols" | grep -v '^Mrvk' || true)
if [ -n "$others" ]; then
  echo "exported beyond the Mrvk interface:"
  printf '%s\n' "$others"
  exit 1
fi
for name in MrvkInitScriptEnvironment MrvkExecScript MrvkLoadScriptFile MrvkAddProgramArgument \
            Mrvk_0078_Export_Func Mrvk_0083_Export_Func; do
  printf '%s\n' "$symbols" | grep -qx "$name" || { echo "missing export $name"; exit 1; }
done
# The numbered table is complete: Mrvk_0000_Export_Func .. Mrvk_0100_Export_Func.
expected=$(number=0; while [ $number -le 256 ]; do
  printf 'Mrvk_%04X_Export_Func\n' $number; number=$((number + 1)); done)
missing=$(printf '%s\n' "$expected" | grep -Fxv "$symbols" || true)
[ -z "$missing" ] || { echo "missing numbered exports:"; printf '%s\n' "$missing"; exit 1; }
if [ -n "$headers" ]; then
  declared=$(cat "$headers"/mervanik/*.h | grep -o 'Mrvk[A-Za-z0-9_]*(' | tr -d '(' | sort -u)
  undeclared=$(printf '%s\n' "$symbols" | grep -Fxv "$declared" || true)
  [ -z "$undeclared" ] || { echo "exported but not declared in the headers:"; printf '%s\n' "$undeclared"; exit 1; }
fi
echo "$(printf '%s\n' "$symbols" | wc -l) exports, all Mrvk"
