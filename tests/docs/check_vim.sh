#!/bin/bash
# Loads the Vim syntax file on highlight_sample.nuv and checks the syntax
# groups at a few places. Without vim the check reports itself skipped (77).
# Usage: check_vim.sh EDITORS_VIM_DIR
set -u
if [ $# -ne 1 ]; then
  echo "usage: $0 EDITORS_VIM_DIR" >&2
  exit 2
fi
if ! command -v vim >/dev/null 2>&1; then
  echo "vim is not installed: Vim syntax check skipped"
  exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp)
trap 'rm -f "$out"' EXIT
# Line, column and the group expected there ("-" for none).
expected="1 14 nuvBlockComment
1 32 nuvRegExp
2 13 nuvEmbedDelim
2 17 nuvEmbed
2 19 nuvNumber
3 12 nuvOctetByte
4 5 nuvMember
4 12 -"
vim -u NONE -i NONE -N -es \
    -c "set rtp^=$1" -c 'filetype on' -c 'syntax on' -c "edit $here/highlight_sample.nuv" \
    -c "redir! > $out" \
    -c 'if &filetype != "nuv" | echo "filetype not detected" | endif' \
    -c 'for [l, c] in [[1, 14], [1, 32], [2, 13], [2, 17], [2, 19], [3, 12], [4, 5], [4, 12]] | let n = synIDattr(synID(l, c, 1), "name") | echo l . " " . c . " " . (n == "" ? "-" : n) | endfor' \
    -c 'redir END' -c 'qa!' </dev/null
actual=$(grep -v '^$' "$out")
if [ "$actual" != "$expected" ]; then
  echo "unexpected syntax groups:"
  diff <(echo "$expected") <(echo "$actual")
  exit 1
fi
echo "Vim syntax check passed"
