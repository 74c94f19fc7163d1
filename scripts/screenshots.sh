#!/usr/bin/env bash
# Remakes the README's screenshots in docs/screenshots/: builds the program
# (its own Release build folder, no tests) and runs it under a virtual X
# display with a window manager (openbox, so the title bars show) and the
# screenshot tour (TAMBREL_SCREENSHOT_DIR, see
# app/screenshot_hook.h). The main and picture windows show samples/ham8.iff,
# opened as "tambrel samples/ham8.iff"; the batch window is caught in the
# middle of converting a folder of copies of the samples.
#   scripts/screenshots.sh [build-dir]      (default: build-screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-screenshots}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBREL_TESTS=OFF >/dev/null
cmake --build "$build" --target tambrel -j 2
exe="$build/app/tambrel"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A folder long enough for the run to be caught half-way.
mkdir "$work/Pictures"
for i in $(seq -w 1 12); do
  for f in samples/*.iff; do cp "$f" "$work/Pictures/$i-$(basename "$f")"; done
done
# A first start: no preferences, so the splash comes up.
rm -f "$(dirname "$exe")/TambrelPref.txt"

out=docs/screenshots
mkdir -p "$out"
TAMBREL_SCREENSHOT_DIR="$work/shots" TAMBREL_SCREENSHOT_BATCH_FOLDER="$work/Pictures" EXE="$exe" \
  XDG_CONFIG_HOME="$work/config" timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    openbox >/dev/null 2>&1 & sleep 1
    "$EXE" samples/ham8.iff' 

# Smaller files for the README: 8-bit PNG where the colours allow it.
for shot in splash main picture batch; do
  convert "$work/shots/$shot.png" -strip -define png:compression-level=9 "$out/$shot.png"
done
ls -l "$out"
