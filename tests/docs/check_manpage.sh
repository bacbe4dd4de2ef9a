#!/bin/bash
# Renders a manual page with every warning switched on and fails on any warning
# or error: groff (with preconv for the UTF-8 text) where it is installed, else
# man. Without either the check reports itself skipped (exit status 77).
# Usage: check_manpage.sh PAGE
set -u
if [ $# -ne 1 ]; then
  echo "usage: $0 PAGE" >&2
  exit 2
fi
page=$1
[ -f "$page" ] || { echo "missing $page" >&2; exit 1; }

# troff reports problems as warnings and still exits 0: what it prints decides.
if command -v groff >/dev/null 2>&1; then
  tool="groff -k -man -Tutf8 -ww -z"
  problems=$(groff -k -man -Tutf8 -ww -z "$page" 2>&1)
  status=$?
elif command -v man >/dev/null 2>&1; then
  tool="man --warnings -l"
  problems=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  status=$?
else
  echo "neither groff nor man is installed: manual page check skipped"
  exit 77
fi
if [ $status -ne 0 ] || [ -n "$problems" ]; then
  echo "$tool $page reported (status $status):"
  printf '%s\n' "$problems"
  exit 1
fi
echo "$page renders without warnings ($tool)"
