#!/usr/bin/env bash
# Records docs/sound.wav, the sound sample the README links: level 03 played
# by a script through the headless runner with sound on, from the menu to
# the won race (about 15 s, mono, 16 bit, 44.1 kHz). Needs a built runner
# (build/zirpel-headless, or the one named by ZIRPEL_HEADLESS).
set -euo pipefail
cd "$(dirname "$0")/.."
runner=${ZIRPEL_HEADLESS:-build/zirpel-headless}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/Res/maps" "$root/res"
ln -s "$PWD/res/gfx" "$root/res/gfx"
cp res/maps/Mainmenu.startmap "res/maps/03 Rot und Blau.mapGame1" "$root/Res/maps/"
printf 'Display=640x400\r\nPlayIntro=Disabled\r\nMenu_DroppBalls=Enabled\r\nParticle=Enabled\r\nParticleNumber=35\r\nSound=Enabled\r\nSoundVolume=80\r\n' \
  >"$root/Res/settings.ini"
# Menu clicks, the level's hints, fire on red, the hiss on blue, the knocks
# of the landings, a boost and the winning jingle.
cat >"$root/script.txt" <<'SCRIPT'
until menu
frames 10
key DOWN
frames 15
key ENTER
until levelselect
frames 10
key ENTER
until session
frames 15
key ENTER
frames 10
hold RIGHT
frames 280
hold SPACE
frames 20
release SPACE
frames 500
SCRIPT
"$runner" --root "$root" --audio "$PWD/docs/sound.wav" "$root/script.txt" >/dev/null
echo "docs/sound.wav: $(stat -c %s docs/sound.wav) bytes"
