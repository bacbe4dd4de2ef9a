#!/bin/sh
# The runner's library search path must not hold an empty entry: the loader
# reads one as the current directory, where anyone could place a library.
#   search_path.sh PROGRAM
path=$(readelf -d "$1" | sed -n 's/.*\(RUNPATH\|RPATH\).*\[\(.*\)\]/\2/p')
case ":$path:" in
  *::*) printf 'empty entry in the search path [%s]\n' "$path"; exit 1 ;;
esac
[ -n "$path" ] || { echo "no search path"; exit 1; }
exit 0
