#!/usr/bin/env bash
# Installs the Debian packages the game, its tests and tools need, when they
# are missing. Needs root for apt-get; says what is missing otherwise.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libsdl2-dev libosmesa6-dev libgl1-mesa-dev libglu1-mesa-dev
  zlib1g-dev libpng-dev libfreetype-dev libfontconfig-dev fonts-liberation2
  libgtest-dev libbenchmark-dev
  xvfb xdotool imagemagick libx11-dev x11-xkb-utils
  clang
  desktop-file-utils appstream dpkg-dev groff-base
  # The world records server and the game's side of it: HTTP(S), JSON, the
  # stores; PostgreSQL, Python (the verifier's stand-in) and Debian's
  # chromium for the tests; node for the browser test's playwright-core.
  libcpp-httplib-dev nlohmann-json3-dev libssl-dev openssl libsqlite3-dev libpq-dev
  postgresql python3 chromium nodejs
)
# npm comes with some builds of nodejs; Debian's own is a package of its own.
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -ne 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "These Debian packages are missing: ${missing[*]}" >&2
    echo "Run as root (or: sudo apt-get install ${missing[*]})." >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The browser test's playwright-core, exactly as package-lock.json pins it
# (no browser download: the test drives Debian's chromium).
cd "$(dirname "$0")/.."
if [ ! -f node_modules/playwright-core/package.json ] ||
  [ package-lock.json -nt node_modules/.package-lock.json ]; then
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --ignore-scripts >/dev/null
fi
