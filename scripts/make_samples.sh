#!/usr/bin/env bash
# Rebuilds the example pictures of samples/ with the project's own ILBM writer
# (tests/support), and with --expected also their expected outputs
# (samples/expected/NAME.bmp.sha256, the SHA-256 of the BMP the converter
# writes; check every new one by eye before committing it).
# Build folder: $BUILD_DIR, default build-samples.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-samples}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBREL_GUI=OFF \
  -DTAMBREL_TESTS=ON >/dev/null
cmake --build "$build" --target tambrel_make_samples tambrel-convert -j "$(nproc)"
rm -f "$root"/samples/*.iff
"$build/tests/support/tambrel_make_samples" "$root/samples"
if [[ ${1:-} == --expected ]]; then
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
  mkdir -p "$root/samples/expected"
  rm -f "$root"/samples/expected/*.bmp.sha256
  "$build/cli/tambrel-convert" -o "$out" "$root/samples"
  for bmp in "$out"/*.bmp; do
    (cd "$out" && sha256sum "$(basename "$bmp")") >"$root/samples/expected/$(basename "$bmp").sha256"
  done
fi
