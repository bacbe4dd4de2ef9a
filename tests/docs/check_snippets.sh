#!/bin/bash
# Runs every example of the user's guide and compares what it prints.
# An example is a ```nuv block followed (blank lines aside) by an ```output
# block holding exactly the lines the script writes to standard output.
# Blocks in other fences (```cpp, ```sh, ```text, ...) are not run. The pages
# are every .md file in DOCDIR and each further PAGE given.
# Usage: check_snippets.sh NUV DOCDIR [PAGE...]
set -u
if [ $# -lt 2 ]; then
  echo "usage: $0 NUV DOCDIR [PAGE...]" >&2
  exit 2
fi
nuv=$1
docs=$2
shift 2
# Examples run in directories of their own: the runner is needed by full path.
case $nuv in /*) ;; *) nuv=$(pwd)/$nuv ;; esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

shopt -s nullglob
pages=("$docs"/*.md "$@")
if [ ${#pages[@]} -eq 0 ]; then
  echo "no pages in $docs" >&2
  exit 1
fi

# Extraction writes N.nuv and N.out for each pair and one "N file line" entry
# per example to the index; a malformed page is reported with exit status 1.
awk -v dir="$work" '
  function fail(msg) { printf "%s:%d: %s\n", FILENAME, FNR, msg; bad = 1 }
  FNR == 1 {
    if (state == "nuv" || state == "out") fail("unclosed code block at end of previous page")
    if (state == "wait") fail("example without an output block")
    state = ""
  }
  state == "nuv" {
    if ($0 ~ /^```[ \t]*$/) { close(dir "/" n ".nuv"); state = "wait"; next }
    print > (dir "/" n ".nuv"); next
  }
  state == "out" {
    if ($0 ~ /^```[ \t]*$/) { close(dir "/" n ".out"); state = ""; next }
    print > (dir "/" n ".out"); next
  }
  state == "other" { if ($0 ~ /^```/) state = ""; next }
  state == "wait" {
    if ($0 ~ /^[ \t]*$/) next
    if ($0 ~ /^```output[ \t]*$/) { state = "out"; printf "" > (dir "/" n ".out"); next }
    printf "%s:%d: example without an output block\n", FILENAME, start; bad = 1
    state = ""
  }
  /^```nuv[ \t]*$/ {
    n++; start = FNR; state = "nuv"
    printf "" > (dir "/" n ".nuv")
    printf "%d %s %d\n", n, FILENAME, FNR > (dir "/index")
    next
  }
  /^```output[ \t]*$/ { fail("output block without an example"); state = "other"; next }
  /^```/ { state = "other"; next }
  END {
    if (state == "nuv" || state == "out" || state == "other") fail("unclosed code block")
    if (state == "wait") printf "%s:%d: example without an output block\n", FILENAME, start
    if (state == "wait") bad = 1
    exit bad
  }
' "${pages[@]}"
status=$?

if [ ! -f "$work/index" ]; then
  echo "no examples found in $docs" >&2
  exit 1
fi

count=0
failed=0
while read -r n page line; do
  count=$((count + 1))
  if [ ! -f "$work/$n.out" ]; then
    failed=$((failed + 1))
    continue
  fi
  # Each example runs in a directory of its own under a fixed name, since
  # messages name the script and examples may write files.
  mkdir "$work/run$n"
  cp "$work/$n.nuv" "$work/run$n/example.nuv"
  actual=$(cd "$work/run$n" && TZ=UTC0 timeout 20 "$nuv" example.nuv </dev/null 2>"$work/$n.err"; echo x)
  actual=${actual%x}
  expected=$(cat "$work/$n.out"; echo x)
  expected=${expected%x}
  if [ "$actual" != "$expected" ]; then
    failed=$((failed + 1))
    echo "FAIL $page:$line"
    diff <(printf '%s' "$expected") <(printf '%s' "$actual") | sed 's/^/    /'
    sed 's/^/    stderr: /' "$work/$n.err"
  fi
done < "$work/index"

echo "$count examples, $failed failed"
[ $failed -eq 0 ] && [ $status -eq 0 ]
