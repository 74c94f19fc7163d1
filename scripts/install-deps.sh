#!/usr/bin/env bash
# Installs everything the build, the tests and the tools need on a fresh
# Debian 12 machine. Safe to run again; skips the install when all is present.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth imagemagick netpbm time
  desktop-file-utils libxml2-utils shared-mime-info appstream
  clang-format ccache
  libpng-dev zlib1g-dev libdeflate-dev libgdk-pixbuf-2.0-dev libgdk-pixbuf2.0-bin qtbase5-dev
  ffmpeg pngcheck
  openbox xdotool x11-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
