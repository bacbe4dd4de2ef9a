#!/bin/bash
# Fails when a member of a built-in class or of the global object is not
# documented in library.md. The members are listed by a script that asks the
# objects themselves (list_members.nuv). A class member counts as documented
# when its name appears in code (between backquotes) inside the section whose
# heading names the class in code, e.g. "## `Array`"; a global member anywhere
# in code on the page.
# Usage: check_members.sh NUV DOCDIR
set -u
if [ $# -ne 2 ]; then
  echo "usage: $0 NUV DOCDIR" >&2
  exit 2
fi
nuv=$1
case $nuv in /*) ;; *) nuv=$(pwd)/$nuv ;; esac
page=$2/library.md
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[ -f "$page" ] || { echo "missing $page" >&2; exit 1; }
(cd "$work" && "$nuv" "$here/list_members.nuv" </dev/null) > "$work/listing"
if [ "$(tail -n 1 "$work/listing")" != "done" ]; then
  echo "listing the members failed:" >&2
  cat "$work/listing" >&2
  exit 1
fi
grep '^member ' "$work/listing" > "$work/members"
if [ "$(awk '$2 != "global"' "$work/members" | wc -l)" -lt 50 ]; then
  echo "implausibly few class members listed:" >&2
  cat "$work/members" >&2
  exit 1
fi

awk '
  # First file: the page. Record, for every heading that names something in
  # code, the words in code up to the next heading of the same or a higher level.
  FNR == NR {
    if (match($0, /^#+ /)) {
      level = RLENGTH - 1
      while (depth > 0 && levels[depth] >= level) depth--
      depth++; levels[depth] = level; owners[depth] = ""
      line = $0
      while (match(line, /`[^`]*`/)) {
        owners[depth] = owners[depth] " " substr(line, RSTART + 1, RLENGTH - 2)
        line = substr(line, RSTART + RLENGTH)
      }
    }
    line = $0
    while (match(line, /`[^`]*`/)) {
      code = substr(line, RSTART + 1, RLENGTH - 2)
      line = substr(line, RSTART + RLENGTH)
      n = split(code, words, /[^A-Za-z0-9_]+/)
      for (i = 1; i <= n; i++) {
        if (words[i] == "") continue
        known["global", words[i]] = 1
        for (d = 1; d <= depth; d++) {
          m = split(owners[d], names, " ")
          for (j = 1; j <= m; j++) known[names[j], words[i]] = 1
        }
      }
    }
    next
  }
  # Second file: "member OWNER NAME" lines.
  {
    total++
    if (!(($2, $3) in known)) { printf "not documented: %s member %s\n", $2, $3; missing++ }
  }
  END {
    printf "%d members, %d not documented\n", total, missing
    exit missing > 0
  }
' "$page" "$work/members"
