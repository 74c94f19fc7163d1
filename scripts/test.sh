#!/usr/bin/env bash
# Installs what is needed, checks the formatting, builds everything with
# warnings as errors and runs every test: the unit and window tests, the real
# program under Xvfb, the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer,
# and the decoder fuzzer for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)

echo "== Format"
bash scripts/check_format.sh

echo "== Build and unit tests"
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMBREL_WERROR=ON -DTAMBREL_QT5_PLUGIN=ON >/dev/null
cmake --build build-test -j "$jobs"
(cd build-test && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")

echo "== The program under Xvfb"
bash scripts/smoke_gui.sh build-test

echo "== Sanitizers"
bash scripts/sanitize.sh

echo "== Fuzzing"
bash scripts/fuzz.sh "${TAMBREL_FUZZ_SECONDS:-60}"
