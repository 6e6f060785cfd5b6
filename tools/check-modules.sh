#!/usr/bin/env bash
# The module graph: which module's code may include which other module's
# headers, and who may include GL, GLU, SDL or OSMesa. Every #include "m/..."
# under src/ is compared with the table below; anything the table does not
# allow fails, with the file and the line. The table is layered (a module
# names only modules above it in the list), so there are no cycles.
#
#   bash tools/check-modules.sh          check (exit status 1 on a violation)
#   bash tools/check-modules.sh --graph  print the graph as the code has it
set -uo pipefail
cd "$(dirname "$0")/.."

# module: the modules it may use (bottom first).
declare -A allowed=(
  [image]=""
  [world]=""
  [audio]=""
  [platform]="image"
  [sim]="world"
  [mapfile]="world platform"
  [render]="image platform sim world"
  [replay]="platform"
  [game]="platform render sim world audio replay"
  [sound]="game audio world platform replay"
  [session]="sound game mapfile platform render sim world replay"
  [frontend]="sound game mapfile platform render session sim world replay"
  [app]="frontend session sound game mapfile platform render sim world image audio replay"
)
# Modules whose code may include GL/GLU/SDL/OSMesa headers. The screens
# (session, frontend, app) still set up their frames with GL calls of their own.
gl_allowed=" render platform session frontend app "

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
    echo "src/$m: a module the graph does not know; add it to tools/check-modules.sh"
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
[ "$status" -eq 0 ] && echo "module graph: ok"
exit "$status"
