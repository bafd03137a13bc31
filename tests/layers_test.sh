#!/usr/bin/env bash
# Checks that every include of the project's sources points down the layers:
#   platform < convert < profiles, inputs < skin < app, and tools/vv on platform and convert;
# that nothing in tolvani_core includes the toolkit or a file of the window's library; and
# that the includes between files form no loop. Prints each offence; fails if there is one.
set -uo pipefail
cd "$(dirname "$0")/.."

declare -A rank=([platform]=0 [convert]=1 [profiles]=2 [inputs]=2 [skin]=3 [app]=4 [vv]=5)
declare -A vvMay=([platform]=1 [convert]=1 [vv]=1)
status=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT

folder_of() {  # src/convert/x.h -> convert, tools/vv/x.h -> vv, platform/posix/x.cpp -> platform
  case "$1" in
    tools/vv/*) echo vv ;;
    src/*) local rest=${1#src/}; echo "${rest%%/*}" ;;
  esac
}

# The sources of tolvani_core, as the build lists them, with their headers; a header of its
# own (no source beside it) belongs to the core when it does not use the toolkit. A source
# under platform/${TOLVANI_OS}/ is there once for each operating system, behind the header
# of the same name in platform/.
core=$( (sed -n '/add_library(tolvani_core/,/)/p' src/CMakeLists.txt; grep 'target_sources(tolvani_core' src/CMakeLists.txt) |
  grep -oE '[a-z0-9_/${}A-Z]+\.cpp' |
  sed -e 's|^|src/|' -e 's|^\(.*\)\${TOLVANI_OS}\(.*\)$|\1posix\2 \1win32\2|')
is_core() {
  local f=$1
  case "$f" in src/*) ;; *) return 1 ;; esac  # tools/vv is never part of the core
  for c in $core; do
    local h=${c%.cpp}.h
    [ "$f" = "$c" ] || [ "$f" = "$h" ] || [ "$f" = "${h/\/posix\//\/}" ] || [ "$f" = "${h/\/win32\//\/}" ] && return 0
  done
  case "$f" in
    *.h) [ ! -f "${f%.h}.cpp" ] && ! grep -qE '^#include <(wx|gtk|gdk)/' "$f" && return 0 ;;
  esac
  return 1
}

while IFS= read -r file; do
  from=$(folder_of "$file")
  while IFS= read -r inc; do
    [ -n "$inc" ] || continue
    case "$inc" in
      */*) target="src/$inc" ;;
      *) target="$(dirname "$file")/$inc" ;;
    esac
    [ -f "$target" ] || continue
    to=$(folder_of "$target")
    echo "$file $target" >>"$edges"
    if [ "$from" = vv ]; then
      [ -n "${vvMay[$to]:-}" ] || { echo "up or across: $file includes $inc"; status=1; }
    elif [ "$to" != "$from" ] && [ "${rank[$to]}" -ge "${rank[$from]}" ]; then
      echo "up or across: $file includes $inc"
      status=1
    fi
    if is_core "$file" && ! is_core "$target"; then
      echo "tolvani_core reaches the window: $file includes $inc"
      status=1
    fi
  done < <(sed -n 's/^#include "\(.*\)".*/\1/p' "$file")
  if is_core "$file" && grep -qE '^#include <(wx|gtk|gdk)/' "$file"; then
    echo "tolvani_core uses the toolkit: $file"
    status=1
  fi
done < <(git ls-files 'src/*.h' 'src/*.cpp' 'tools/vv/*.h' 'tools/vv/*.cpp' 2>/dev/null || find src tools/vv -name '*.h' -o -name '*.cpp')

if ! tsort "$edges" >/dev/null 2>"$edges.loop"; then
  echo "include loop:"
  cat "$edges.loop"
  status=1
fi
rm -f "$edges.loop"
[ $status -eq 0 ] && echo "includes point down the layers, no loop"
exit $status
