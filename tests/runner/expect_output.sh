#!/bin/sh
# Runs a command and checks its exact standard output (trailing line breaks
# included), standard error and exit status:
#   expect_output.sh STATUS STDOUT STDERR FOLDER COMMAND [ARGUMENTS...]
# The command runs in FOLDER.
status=$1 output=$2 errors=$3 folder=$4
shift 4
scratch=$(mktemp -d)
actual_output=$(cd "$folder" && { "$@" 2>"$scratch/errors"; echo "$?" >"$scratch/status"; }; printf x)
actual_output=${actual_output%x}
actual_errors=$(cat "$scratch/errors")
actual_status=$(cat "$scratch/status")
rm -rf "$scratch"
ok=0
[ "$actual_output" = "$output" ] || { printf 'standard output:\n[%s]\nexpected:\n[%s]\n' "$actual_output" "$output"; ok=1; }
[ "$actual_errors" = "$errors" ] || { printf 'standard error:\n[%s]\nexpected:\n[%s]\n' "$actual_errors" "$errors"; ok=1; }
[ "$actual_status" = "$status" ] || { printf 'exit status %s, expected %s\n' "$actual_status" "$status"; ok=1; }
exit $ok
