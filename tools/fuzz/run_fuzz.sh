#!/bin/bash
# Runs one fuzz target of the sanitizer build for a while:
#   bash tools/fuzz/run_fuzz.sh NAME [SECONDS] [libFuzzer options...]
# NAME is png, map, mapcheck, settings, leaderboard, script or replay; SECONDS defaults to 60.
# The target comes from FUZZ_BUILD_DIR (default build-asan, the asan preset,
# which must be built). Seeds are made afresh from the shipped files and the
# test data; what the fuzzer learns is kept in FUZZ_BUILD_DIR/fuzz/corpus-NAME
# for the next run. Exits non-zero on any crash, trap, leak, timeout or
# sanitizer report; the input that caused it lands in FUZZ_BUILD_DIR/fuzz/
# (crash-*, timeout-*, leak-*) and its path is printed.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
name=${1:?usage: run_fuzz.sh NAME [SECONDS] [libFuzzer options...]}
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))
build=${FUZZ_BUILD_DIR:-$repo/build-asan}
target="$build/tools/fuzz/fuzz_$name"
out="$build/fuzz"
seeds="$out/seeds-$name"
corpus="$out/corpus-$name"

if [ ! -x "$target" ]; then
  echo "run_fuzz: no $target; build the asan preset first" >&2
  exit 2
fi
rm -rf "$seeds"
mkdir -p "$seeds" "$corpus"

max_len=4096
case "$name" in
  png)
    max_len=65536
    "$build/tools/fuzz/zirpel-png-seeds" "$seeds" >/dev/null
    cp "$repo"/tests/data/pngsuite/*.png "$seeds/"
    cp "$repo"/res/gfx/Particle_*.png "$repo/res/gfx/SphereWhite.png" "$seeds/"
    ;;
  map | mapcheck)
    cp "$repo"/res/maps/* "$seeds/"
    cp "$repo"/tests/data/fuzz/map/* "$seeds/"
    ;;
  settings)
    cp "$repo/res/settings.ini" "$seeds/"
    cp "$repo"/tests/data/fuzz/settings/* "$seeds/"
    ;;
  leaderboard)
    cp "$repo"/tests/data/fuzz/leaderboard/* "$seeds/"
    ;;
  script)
    cp "$repo"/tests/levels/*.txt "$seeds/"
    cp "$repo"/tests/data/fuzz/script/* "$seeds/"
    ;;
  replay)
    # A replay may unpack to many times its size: room for a real file.
    max_len=65536
    cp "$repo"/tests/data/replays/*.zrp "$seeds/"
    ;;
  *)
    echo "run_fuzz: unknown target $name" >&2
    exit 2
    ;;
esac
dict=()
[ -f "$here/$name.dict" ] && dict=(-dict="$here/$name.dict")
[ "$name" = mapcheck ] && dict=(-dict="$here/map.dict")

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# libFuzzer keeps its scratch files in the working directory.
cd "$out"
# FUZZ_TIMEOUT: seconds one input may take (wall time, so a loaded machine
# needs room); a map that hangs is caught sooner by the target's work bound.
"$target" -max_total_time="$seconds" -timeout="${FUZZ_TIMEOUT:-60}" -rss_limit_mb=2048 -max_len="$max_len" \
  -print_final_stats=1 -artifact_prefix="$out/$name-" "${dict[@]}" "$@" "$corpus" "$seeds"
