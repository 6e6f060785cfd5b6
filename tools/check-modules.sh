#!/usr/bin/env bash
# The module graph: which module's code may include which other module's
# headers, and who may include GL, GLU, SDL or OSMesa. Every #include "m/..."
# under src/ is compared with src/modules.txt, the table CMake links the
# module libraries by; anything the table does not allow fails, with the file
# and the line. The table is layered (a module names only modules above it in
# the list), so there are no cycles.
#
#   bash tools/check-modules.sh          check (exit status 1 on a violation)
#   bash tools/check-modules.sh --graph  print the graph as the code has it
set -uo pipefail
cd "$(dirname "$0")/.."

# src/modules.txt is the table, bottom first: "module: uses... | gl". CMake
# builds and links one library per line from the same table.
declare -A allowed=()
gl_allowed=" "
order=()
while IFS= read -r line; do
  [[ "$line" =~ ^([a-z_]+):([^|]*)(\|(.*))?$ ]] || continue
  m=${BASH_REMATCH[1]}
  for dep in ${BASH_REMATCH[2]}; do
    if [ -z "${allowed[$dep]+set}" ]; then
      echo "src/modules.txt: $m uses $dep, which is not above it"
      exit 1
    fi
  done
  allowed[$m]=$(echo ${BASH_REMATCH[2]})
  [[ "${BASH_REMATCH[4]}" == *gl* ]] && gl_allowed+="$m "
  order+=("$m")
done <src/modules.txt

if [ "${1:-}" = "--graph" ]; then
  for d in src/*/; do
    m=$(basename "$d")
    deps=$(grep -rhoE '^#include "[a-z_]+/' "$d" | sed -E 's/.*"([a-z_]+)\//\1/' | sort -u |
      grep -vx "$m" | tr '\n' ' ')
    echo "$m -> $deps"
  done
  exit 0
fi

status=0
for d in src/*/; do
  m=$(basename "$d")
  if [ -z "${allowed[$m]+set}" ]; then
    echo "src/$m: a module the graph does not know; add it to src/modules.txt"
    status=1
    continue
  fi
  while IFS=: read -r file line text; do
    dep=$(sed -E 's/^#include "([a-z_]+)\/.*/\1/' <<<"$text")
    [ "$dep" = "$m" ] && continue
    if [[ " ${allowed[$m]} " != *" $dep "* ]]; then
      echo "$file:$line: $m may not use $dep ($text)"
      status=1
    fi
  done < <(grep -rnE '^#include "[a-z_]+/' "$d")
  if [[ "$gl_allowed" != *" $m "* ]]; then
    while IFS= read -r hit; do
      echo "$hit: $m may not include GL, SDL or OSMesa"
      status=1
    done < <(grep -rnE '^#include <(GL|SDL|SDL2)/' "$d")
  fi
done

# No include circle between files either: a header and its source count as
# one file (src/m/x), and every "#include "m/y.h"" of either is an edge to
# src/m/y. tsort finds a circle in the edges if there is one.
edges=$(grep -rnoE '^#include "[a-z_]+/[a-z_0-9/]+\.h"' src --include=*.h --include=*.cpp |
  sed -E 's#^(src/[^:]*)\.(h|cpp):[0-9]+:\#include "([^"]*)\.h"#\1 src/\3#' |
  awk '$1 != $2')
if ! loops=$(tsort <<<"$edges" 2>&1 >/dev/null) || [ -n "$loops" ]; then
  echo "include circle between files of src/:"
  echo "$loops"
  status=1
fi
[ "$status" -eq 0 ] && echo "module graph: ok"
exit "$status"
