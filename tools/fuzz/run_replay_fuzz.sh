#!/bin/bash
# Builds the replay reader's fuzz target with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer (straight from the sources, like the PNG fuzz
# run), seeds it with the replays in tests/data/replays, and runs it for
# FUZZ_SECONDS (default 60). Exits non-zero on any crash, leak, timeout or
# sanitizer report; the failing input lands in tools/fuzz/.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
out=${FUZZ_BUILD_DIR:-$repo/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
cxx=${CXX_FUZZ:-clang++}

mkdir -p "$out/replay-seeds" "$here/corpus-replay"
cp "$repo"/tests/data/replays/*.zrp "$out/replay-seeds/"

"$cxx" -std=c++20 -O1 -g -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -Wall -Wextra -Werror -I"$repo/src" \
  "$here/fuzz_replay.cpp" "$repo/src/replay/replay_file.cpp" -lz -o "$out/fuzz_replay"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The reader may unpack up to 48 MB for a file that claims it: the limit
# leaves room for that and no more.
"$out/fuzz_replay" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=65536 -print_final_stats=1 -artifact_prefix="$here/" \
  "$here/corpus-replay" "$out/replay-seeds"
