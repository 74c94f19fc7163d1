#!/usr/bin/env bash
# Starts the real program under a virtual X display, lets it quit itself
# through File > Quit (TAMBREL_SMOKE_QUIT_MS), and checks that it ended with
# status 0 and wrote its preferences file beside the program.
#   scripts/smoke_gui.sh [build-dir]
# With TAMBREL_SMOKE_SCREENSHOT=/tmp/shot.png a screenshot of the display is
# taken (ImageMagick's import) shortly before the program quits.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
exe="$build/app/tambrel"
[ -x "$exe" ] || { echo "smoke_gui: $exe not built" >&2; exit 1; }
prefs="$(dirname "$exe")/TambrelPref.txt"
rm -f "$prefs"

shot=${TAMBREL_SMOKE_SCREENSHOT:-}
quit_ms=2000
[ -n "$shot" ] && quit_ms=4000
status=0
TAMBREL_SMOKE_QUIT_MS=$quit_ms SHOT="$shot" EXE="$exe" timeout 60 \
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$EXE" & pid=$!
    if [ -n "$SHOT" ]; then sleep 2.5; import -window root "$SHOT"; fi
    wait $pid' || status=$?

if [ "$status" -ne 0 ]; then
  echo "smoke_gui: tambrel exited with status $status" >&2
  exit 1
fi
if [ "$(cat "$prefs" 2>/dev/null)" != $'Splash:-1\r\nTHEEND:\r' ]; then
  echo "smoke_gui: $prefs was not written as expected" >&2
  exit 1
fi
echo "smoke_gui: tambrel started, quit through the menu and wrote $prefs"
# The windows under a window manager: scrolling to a large picture's corner, scale 2.
scripts/smoke_windows.sh "$build"
