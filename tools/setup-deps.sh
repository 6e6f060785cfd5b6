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
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "These Debian packages are missing: ${missing[*]}" >&2
  echo "Run as root (or: sudo apt-get install ${missing[*]})." >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
