#!/usr/bin/env bash
# Records again the replays in tests/data/replays that this game plays
# itself, after a change of the simulation version: race01.zrp is the best
# run of tests/levels/race_01.txt, played from the menu on a 320x200 screen
# as the level test plays it. (The runs in long-frames/ were played by hand
# in a real window; they stay as they were and are played with
# --replay-readings.)
#   bash tools/record-test-replays.sh [BUILD_DIR]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/Res/maps" "$root/res"
ln -s "$repo/res/gfx" "$root/res/gfx"
cp "$repo/res/maps/Mainmenu.startmap" "$repo/res/maps/01 Erste Schritte.mapGame1" "$root/Res/maps/"
printf 'Display=320x200\r\nFullscreen=Disabled\r\nPlayIntro=Disabled\r\n%s' \
  'Menu_DroppBalls=Enabled'$'\r\n''Particle=Enabled'$'\r\n''ParticleNumber=35'$'\r\n' \
  >"$root/Res/settings.ini"
sed -e "s#^dump \(.*\)#dump $root/\1#" "$repo/tests/levels/race_01.txt" >"$root/script.txt"
XDG_DATA_HOME="$root/xdg-data" XDG_CONFIG_HOME="$root/xdg-config" \
  "$build/zirpel-headless" --root "$root" "$root/script.txt" >/dev/null
cp "$root/Res/Replays/01 Erste Schritte.mapGame1.best.zrp" "$repo/tests/data/replays/race01.zrp"
"$build/zirpel-headless" --root "$root" --verify "$repo/tests/data/replays/race01.zrp"
