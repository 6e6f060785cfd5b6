#!/usr/bin/env bash
# Checks the installed game the way a player and a distribution meet it:
# installs the build into a temporary prefix, moves the tree elsewhere and
# makes it read-only, then plays it from a folder without res/ (title
# picture on the menu, a level won, the record and a player's level in the
# player's folders), validates the desktop entry and the AppStream data,
# builds the Debian package, lists it and runs the runner from the unpacked
# package. Needs the normal build in build/ (tools/build.sh). Prints every
# check that failed and exits non-zero when any did.
set -uo pipefail
cd "$(dirname "$0")/.."
src=$PWD
build=$src/build

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

if [ ! -x "$build/zirpel-headless" ] || [ ! -f "$build/CPackConfig.cmake" ]; then
  echo "FAILED: no build in $build (run tools/build.sh first)"
  exit 1
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/zirpel-install-XXXXXX")
cleanup() {
  chmod -R u+w "$tmp" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

# --- install, move, make read-only ----------------------------------------
if ! cmake --install "$build" --prefix "$tmp/staged" >"$tmp/install.log" 2>&1; then
  cat "$tmp/install.log"
  fail "cmake --install"
  exit 1
fi
mkdir -p "$tmp/moved"
mv "$tmp/staged" "$tmp/moved/tree"
tree=$tmp/moved/tree
id=de.quobbes.zirpel
for f in bin/zirpel bin/zirpel-headless bin/zirpel-png bin/zirpel-mapcheck bin/zirpel-records \
  lib/systemd/system/zirpel-records.service share/zirpel/settings.ini \
  share/zirpel/gfx/LOGO.png share/zirpel/gfx/zirpel.png share/zirpel/maps/Mainmenu.startmap \
  "share/zirpel/maps/01 Erste Schritte.mapGame1" share/applications/$id.desktop \
  share/metainfo/$id.metainfo.xml share/man/man6/zirpel.6 \
  share/icons/hicolor/64x64/apps/$id.png share/icons/hicolor/128x128/apps/$id.png \
  share/icons/hicolor/256x256/apps/$id.png; do
  [ -f "$tree/$f" ] || fail "installed tree lacks $f"
done
[ -z "$(find "$tree" -name 'Leaderboard.dat*')" ] || fail "a leaderboard was installed"
chmod -R a-w "$tree"

# --- the command line -----------------------------------------------------
version=$("$tree/bin/zirpel" --version 2>&1)
[ "$version" = "Quobbes Zirpel 0.2.0" ] || fail "zirpel --version printed '$version'"
"$tree/bin/zirpel" --help >"$tmp/help.txt" 2>&1 || fail "zirpel --help exit code $?"
grep -q -- '--fullscreen' "$tmp/help.txt" || fail "zirpel --help lists no --fullscreen"
"$tree/bin/zirpel" --no-such-option >/dev/null 2>"$tmp/err.txt"
code=$?
[ $code -eq 2 ] || fail "an unknown option gave exit code $code, not 2"
grep -q -- "--no-such-option" "$tmp/err.txt" || fail "an unknown option was not named"
records=$("$tree/bin/zirpel-records" --version 2>&1)
[ "$records" = "zirpel-records 0.2.0" ] || fail "zirpel-records --version printed '$records'"
pass "command line"

# The installed level checker finds nothing to say about the installed levels
# (the author runs beside them are replays, not levels).
levels=()
for f in "$tree"/share/zirpel/maps/*; do
  [[ $f == *.zrp ]] || levels+=("$f")
done
if "$tree/bin/zirpel-mapcheck" "${levels[@]}" >"$tmp/mapcheck.txt" 2>&1 &&
  [ ! -s "$tmp/mapcheck.txt" ]; then
  pass "installed levels check clean"
else
  cat "$tmp/mapcheck.txt"
  fail "zirpel-mapcheck on the installed levels"
fi
# Every installed level has its author run beside it, and each one proves its
# level as installed.
authors=()
for f in "${levels[@]}"; do
  [[ $f == *.mapGame[12] ]] || continue
  if [ -f "$f.author.zrp" ]; then authors+=("$f.author.zrp"); else fail "no author run for $f"; fi
done
if [ ${#authors[@]} -gt 0 ] &&
  "$tree/bin/zirpel-verify" --levels "$tree/share/zirpel/maps" "${authors[@]}" \
    >"$tmp/authors.txt" 2>&1; then
  pass "installed author runs verify (${#authors[@]})"
else
  cat "$tmp/authors.txt"
  fail "zirpel-verify on the installed author runs"
fi

# --- play the installed tree from a folder without res/ ---------------------
work=$tmp/work
mkdir -p "$work"
export XDG_DATA_HOME=$tmp/player/data XDG_CONFIG_HOME=$tmp/player/config
unset ZIRPEL_DATA_DIR

# Runs a runner from the work folder (no --root) with the script text.
run() {
  local runner=$1 script=$2
  printf '%s' "$script" >"$work/script.txt"
  (cd "$work" && "$runner" script.txt >"$work/out.txt" 2>"$work/err.txt")
}

# The menu frame at 1280 x 800 shows the title picture: orange lettering and
# the green cricket where the picture lies (a white rectangle without it).
title_shown() {
  local png=$1 raw=$work/shot.raw
  "$tree/bin/zirpel-png" --raw "$raw" --layout 3 "$png" >/dev/null || return 1
  # Rows 400..599 from the top, bottom row first in the raw buffer.
  od -An -v -tu1 -w4 -j $(((800 - 600) * 1280 * 4)) -N $((200 * 1280 * 4)) "$raw" |
    awk '{ x = (NR - 1) % 1280
           if (x < 480 || x >= 1010) next
           if ($1 > 200 && $2 > 90 && $2 < 200 && $3 < 110) orange++
           if ($2 > $1 + 40 && $2 > $3 + 40) green++ }
         END { exit !(orange > 1000 && green > 300) }'
}

menu_script="until menu 2000
frames 2
shot $work/menu.png
"
if run "$tree/bin/zirpel-headless" "$menu_script"; then
  if title_shown "$work/menu.png"; then pass "installed menu shows the title picture"; else
    fail "the installed game's menu shows no title picture"
  fi
  cp "$work/menu.png" "$tmp/installed-menu.png"
else
  cat "$work/err.txt"
  fail "installed zirpel-headless did not reach the menu"
fi
[ -s "$work/err.txt" ] && fail "installed game warned: $(cat "$work/err.txt")"

# The same frame as the source tree's own run (its res/ in the working
# directory) gives.
(cd "$src" && "$build/zirpel-headless" "$work/script.txt" >/dev/null 2>&1) ||
  fail "the source tree's runner did not reach the menu"
cmp -s "$work/menu.png" "$tmp/installed-menu.png" ||
  fail "the installed menu frame differs from the source tree's"

# A level won with the small settings from the player's config folder; the
# record lands in the player's data folder, the tree stays untouched.
mkdir -p "$XDG_CONFIG_HOME/zirpel"
printf 'Display=320x200\r\nFullscreen=Disabled\r\nPlayIntro=Disabled\r\nMenu_DroppBalls=Enabled\r\nParticle=Enabled\r\nParticleNumber=35\r\n' \
  >"$XDG_CONFIG_HOME/zirpel/settings.ini"
# The level's own test script; its "dump result.json" writes into the work folder.
level_script=$(cat "$src/tests/levels/race_01.txt")
play_level() { # expected level file name
  rm -f "$work/result.json"
  if ! run "$tree/bin/zirpel-headless" "$level_script"$'\n'; then
    cat "$work/err.txt"
    fail "the level script for $1 did not run through"
    return
  fi
  grep -q '"GoalReached":1,' "$work/result.json" || fail "$1 was not won"
  grep -q "\"ChosenLevelFile\":\"$1\"" "$work/result.json" || fail "row 1 of the list was not $1"
  grep -qxF "$1"$'\r' "$XDG_DATA_HOME/zirpel/Leaderboard.dat" 2>/dev/null ||
    fail "no record for $1 in \$XDG_DATA_HOME/zirpel/Leaderboard.dat"
}
play_level "01 Erste Schritte.mapGame1"
[ -z "$(find "$tree" -name 'Leaderboard.dat*')" ] || fail "a record was written into the tree"

# A player's level in $XDG_DATA_HOME/zirpel/maps/ joins the list (first by
# name) and is played like a shipped one.
mkdir -p "$XDG_DATA_HOME/zirpel/maps"
cp "$tree/share/zirpel/maps/01 Erste Schritte.mapGame1" \
  "$XDG_DATA_HOME/zirpel/maps/00 Meine Strecke.mapGame1"
play_level "00 Meine Strecke.mapGame1"
pass "levels won, records in the player's folder"

# Without any data the runner names every place it looked at.
mkdir -p "$tmp/lonely/bin"
cp "$tree/bin/zirpel-headless" "$tmp/lonely/bin/"
run "$tmp/lonely/bin/zirpel-headless" "frames 1
"
code=$?
[ $code -eq 1 ] || fail "without data the exit code was $code, not 1"
for place in "$work/res" "$tmp/lonely/bin/res" "$tmp/lonely/share/zirpel" ZIRPEL_DATA_DIR; do
  grep -qF "$place" "$work/err.txt" || fail "the no-data message does not name $place"
done
ZIRPEL_DATA_DIR=$tree/share/zirpel run "$tmp/lonely/bin/zirpel-headless" "until menu 5
" || fail "ZIRPEL_DATA_DIR did not lead to the data"
pass "no-data message and ZIRPEL_DATA_DIR"

# --- desktop entry, AppStream data, manual page -----------------------------
desktop-file-validate "$tree/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$tree/share/metainfo/$id.metainfo.xml" >"$tmp/as.txt" 2>&1 ||
  {
    cat "$tmp/as.txt"
    fail "appstreamcli validate"
  }
man_warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$tree/share/man/man6/zirpel.6" 2>&1)
[ -z "$man_warnings" ] || fail "the manual page: $man_warnings"
pass "desktop entry, AppStream data, manual page"

# --- the Debian package -----------------------------------------------------
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"
  fail "cpack -G DEB"
else
  deb=$(ls "$tmp"/pkg/*.deb)
  dpkg-deb -c "$deb" >"$tmp/list.txt" || fail "dpkg-deb -c"
  for f in usr/bin/zirpel usr/bin/zirpel-headless usr/bin/zirpel-png usr/bin/zirpel-mapcheck \
    usr/bin/zirpel-verify usr/bin/zirpel-records usr/lib/systemd/system/zirpel-records.service \
    usr/share/zirpel/gfx/LOGO.png \
    usr/share/zirpel/maps/Mainmenu.startmap usr/share/applications/$id.desktop \
    usr/share/icons/hicolor/64x64/apps/$id.png usr/share/icons/hicolor/128x128/apps/$id.png \
    usr/share/icons/hicolor/256x256/apps/$id.png usr/share/metainfo/$id.metainfo.xml \
    usr/share/man/man6/zirpel.6; do
    grep -q " \./$f\$" "$tmp/list.txt" || fail "the package lacks /$f"
  done
  depends=$(dpkg-deb -f "$deb" Depends)
  for d in libsdl2 libgl1 libglu1 zlib1g libfreetype6 libfontconfig1 libosmesa6 fonts-liberation2; do
    [[ $depends == *"$d"* ]] || fail "the package does not depend on $d ($depends)"
  done
  dpkg-deb -x "$deb" "$tmp/extract" || fail "dpkg-deb -x"
  rm -f "$XDG_CONFIG_HOME/zirpel/settings.ini"
  if run "$tmp/extract/usr/bin/zirpel-headless" "$menu_script" && title_shown "$work/menu.png"; then
    pass "Debian package ($depends)"
  else
    cat "$work/err.txt"
    fail "the unpacked package's runner did not show the menu"
  fi
fi

if [ $failures -ne 0 ]; then
  echo "check-install: $failures check(s) failed"
  exit 1
fi
echo "check-install: all checks passed"
