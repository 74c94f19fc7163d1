#!/usr/bin/env bash
# Installs what is needed, builds Tambrel and starts it.
# With TAMBREL_CONVERT_ONLY=1 it converts the sample pictures with tambrel-convert instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBREL_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc)"
if [ "${TAMBREL_CONVERT_ONLY:-0}" = 1 ] || [ ! -x build/app/tambrel ]; then
  out=$(mktemp -d)
  build/cli/tambrel-convert --info -o "$out" samples
  echo "BMP files written to $out"
else
  exec build/app/tambrel "$@"
fi
