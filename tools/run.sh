#!/usr/bin/env bash
# Installs what is missing, builds, and starts the game in a window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-deps.sh
bash tools/build.sh
cd build
exec ./zirpel
