#!/usr/bin/env bash
# Rebuilds the example pictures of samples/ with the project's own ILBM writer
# (tests/support). Build folder: $BUILD_DIR, default build-samples.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-samples}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBREL_GUI=OFF \
  -DTAMBREL_TESTS=ON >/dev/null
cmake --build "$build" --target tambrel_make_samples -j "$(nproc)"
rm -f "$root"/samples/*.iff
"$build/tests/support/tambrel_make_samples" "$root/samples"
