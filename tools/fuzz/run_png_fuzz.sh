#!/bin/bash
# Builds the PNG decoder's fuzz target with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer (straight from the sources, not through CMake),
# seeds it with generated images, the PngSuite and the small game textures,
# and runs it for FUZZ_SECONDS (default 60). Exits non-zero on any crash,
# leak, timeout or sanitizer report; the failing input lands in tools/fuzz/.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
out=${FUZZ_BUILD_DIR:-$repo/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
cxx=${CXX_FUZZ:-clang++}
suite="$repo/tests/data/pngsuite"

mkdir -p "$out/seeds" "$here/corpus-run"

"$cxx" -std=c++20 -O1 -g -I"$repo/src" "$here/make_seeds.cpp" "$repo/src/image/png_encode.cpp" \
  -lz -o "$out/make_seeds"
"$out/make_seeds" "$out/seeds"
if [ -d "$suite" ]; then
  cp "$suite"/*.png "$out/seeds/"
else
  echo "run_png_fuzz: no PngSuite at $suite, seeding with generated images only" >&2
fi
for texture in Particle_White Particle_Blue Particle_Red SphereWhite; do
  cp "$repo/res/gfx/$texture.png" "$out/seeds/" 2>/dev/null || true
done

"$cxx" -std=c++20 -O1 -g -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -Wall -Wextra -Werror -I"$repo/src" \
  "$here/fuzz_png.cpp" "$repo/src/image/png.cpp" -lz -o "$out/fuzz_png"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$out/fuzz_png" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=65536 -print_final_stats=1 -artifact_prefix="$here/" \
  "$here/corpus-run" "$out/seeds"
