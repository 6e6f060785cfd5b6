#!/usr/bin/env bash
# Makes the author runs of the shipped levels: plays every level script of
# tests/levels through the headless runner exactly as the level tests play
# it (the level alone in a scratch tree, the same settings, half a minute in
# the menu first), checks the record's replay with --verify and keeps it as
# res/maps/<level file>.author.zrp. A level played by several scripts keeps
# the best of their runs (the lowest race time, the longest survival).
#
#   bash tools/make-author-runs.sh [--check] [SCRIPT...]
#
# SCRIPT names scripts of tests/levels (e.g. race_03.txt); without any, all
# of them. --check plays and verifies but writes nothing to res/maps. The
# runner is build/zirpel-headless, or the one named by ZIRPEL_HEADLESS.
# Prints one line per level: the script, the verified time and the file.
set -euo pipefail
cd "$(dirname "$0")/.."
runner=${ZIRPEL_HEADLESS:-build/zirpel-headless}
check=0
if [[ ${1:-} == --check ]]; then
  check=1
  shift
fi
if [[ ! -x $runner ]]; then
  echo "make-author-runs: no runner at $runner (build it, or set ZIRPEL_HEADLESS)" >&2
  exit 2
fi
scripts=("$@")
if [[ ${#scripts[@]} -eq 0 ]]; then
  for f in tests/levels/*.txt; do scripts+=("$(basename "$f")"); done
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
declare -A best_time best_script
failed=0

for script in "${scripts[@]}"; do
  path=tests/levels/$script
  level=$(sed -n '1s/^# level: //p' "$path")
  if [[ -z $level || ! -f res/maps/$level ]]; then
    echo "make-author-runs: $script names no shipped level" >&2
    failed=1
    continue
  fi
  root=$work/${script%.txt}
  mkdir -p "$root/Res/maps" "$root/res"
  ln -s "$PWD/res/gfx" "$root/res/gfx"
  cp res/maps/Mainmenu.startmap "res/maps/$level" "$root/Res/maps/"
  printf 'Display=320x200\r\nFullscreen=Disabled\r\nPlayIntro=Disabled\r\nMenu_DroppBalls=Enabled\r\nParticle=Enabled\r\nParticleNumber=35\r\n' \
    >"$root/Res/settings.ini"
  sed -E "s#^dump (menu|start|result)\.json\$#dump $root/\1.json#" "$path" >"$root/script.txt"
  # The player's folders of the scratch tree only.
  if ! env -u ZIRPEL_DATA_DIR XDG_DATA_HOME="$root/xdg-data" XDG_CONFIG_HOME="$root/xdg-config" \
    "$runner" --root "$root" "$root/script.txt" >"$root/out.txt" 2>&1; then
    echo "make-author-runs: $script: the runner failed: $(tail -n 3 "$root/out.txt")" >&2
    failed=1
    continue
  fi
  replay=$root/Res/Replays/$level.best.zrp
  if [[ ! -f $replay ]]; then
    echo "make-author-runs: $script stored no record for $level" >&2
    failed=1
    continue
  fi
  line=$(env -u ZIRPEL_DATA_DIR XDG_DATA_HOME="$root/xdg-data" XDG_CONFIG_HOME="$root/xdg-config" \
    "$runner" --root "$root" --verify "$replay" || true)
  # "FILE: verified: Rennen 12.03333 s, 722 frames (...)"
  time=$(sed -nE 's/^.*: verified: (Rennen|Ueberleben) ([0-9.eE+-]+) s,.*$/\2/p' <<<"$line")
  if [[ -z $time ]]; then
    echo "make-author-runs: $script: the record does not verify: $line" >&2
    failed=1
    continue
  fi
  old=${best_time[$level]:-}
  better=0
  if [[ -z $old ]]; then
    better=1
  elif [[ $level == *.mapGame1 ]]; then
    better=$(awk -v a="$time" -v b="$old" 'BEGIN { print (a < b) ? 1 : 0 }')
  else
    better=$(awk -v a="$time" -v b="$old" 'BEGIN { print (a > b) ? 1 : 0 }')
  fi
  if [[ $better == 1 ]]; then
    best_time[$level]=$time
    best_script[$level]=$script
    cp "$replay" "$work/$level.author.zrp"
  fi
done

for level in "${!best_time[@]}"; do
  target=res/maps/$level.author.zrp
  if [[ $check == 0 ]]; then
    cp "$work/$level.author.zrp" "$target"
  fi
  printf '%s\t%s s\t%s\n' "${best_script[$level]}" "${best_time[$level]}" "$target"
done | sort
exit "$failed"
