#!/usr/bin/env bash
# Configures (once) and builds everything into build/. A first build takes no
# warnings as errors, so a player's compiler never stops it; the test command
# configures build/ with the dev preset, which does.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build -j"$(nproc)"
