#!/usr/bin/env bash
# The real program under a virtual X display with a window manager (openbox):
#  0. checks that the main window's and a 64 x 48 picture's window's outer
#     frames are centred on the screen (the title bar included);
#  1. opens a 2000 x 1500 picture, shows it with the View shortcut (Ctrl+Return),
#     scrolls the picture window to its bottom-right corner (End) and finds
#     the corner's 12 x 12 magenta block, next to yellow, in a screenshot;
#  2. at QT_SCALE_FACTOR=2, crops the information panel's values (their orange
#     text) from a screenshot and checks they are drawn at scale 2: a drawing
#     made at scale 1 and blown up is rebuilt from every second pixel, one
#     drawn at scale 2 is not.
# Skips (exit 0, saying so) when Xvfb, openbox, xdotool, xprop, xwininfo or ImageMagick is missing.
#   scripts/smoke_windows.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
build=$(cd "$build" && pwd)
exe="$build/app/tambrel"
maker="$build/tests/gui/tambrel_make_corner_picture"
for tool in xvfb-run openbox xdotool xprop xwininfo import convert compare; do
  command -v "$tool" >/dev/null || { echo "smoke_windows: SKIPPED, $tool is missing"; exit 0; }
done
[ -x "$exe" ] && [ -x "$maker" ] || { echo "smoke_windows: build tambrel and tambrel_make_corner_picture first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -n "${TAMBREL_SMOKE_KEEP:-}" ] && trap 'cp "$work"/*.png "$TAMBREL_SMOKE_KEEP"/; rm -rf "$work"' EXIT
"$maker" "$work/big.iff" 2000 1500
"$maker" "$work/small.iff" 64 48
prefs="$(dirname "$exe")/TambrelPref.txt"
printf 'Splash:-1\r\nTHEEND:\r\n' >"$prefs" # no splash over the windows
export XDG_CONFIG_HOME="$work/config"      # nothing remembered from earlier runs
export EXE="$exe" WORK="$work"

# geometry WINDOW NAME: its client position and size and frame extents, into $WORK/NAME.geom.
geometry() {
  local info
  info=$(xwininfo -id "$1")
  field() { sed -n "s/^ *$1: *//p" <<<"$info"; }
  echo "$(field "Absolute upper-left X") $(field "Absolute upper-left Y") $(field Width) $(field Height)" \
    "$(xprop -id "$1" _NET_FRAME_EXTENTS | sed "s/.*= //; s/,//g")" >"$WORK/$2.geom"
}
export GEOMETRY_FN="$(declare -f geometry)"

# Runs the steps of $1 under a display of size $2 with openbox.
on_display() {
  STEPS="$1" timeout 90 xvfb-run -a -s "-screen 0 $2x24" bash -c '
    openbox >/dev/null 2>&1 & sleep 1
    eval "$GEOMETRY_FN"
    eval "$STEPS"'
}

# 1. The bottom-right corner of a picture larger than the screen.
on_display '
  TAMBREL_SMOKE_QUIT_MS=9000 "$EXE" "$WORK/big.iff" & pid=$!
  sleep 3
  main=$(xdotool search --onlyvisible --name "^Tambrel" | head -1)
  geometry "$main" main
  xdotool key ctrl+Return; sleep 2
  xdotool key 1 a End; sleep 1 # actual size, square pixels, the corner
  import -window root "$WORK/corner.png"
  wait $pid' 1024x768
# A window's outer frame (client plus the frame extents) is centred on the 1024 x 768 screen.
expect_centred() {
  local x y w h left right top bottom dx dy
  read -r x y w h left right top bottom <"$work/$1.geom"
  dx=$(((x - left) + (w + left + right) / 2 - 512)); dy=$(((y - top) + (h + top + bottom) / 2 - 384))
  if ((dx < -2 || dx > 2 || dy < -2 || dy > 2)); then
    echo "smoke_windows: $1 window off centre by $dx,$dy ($(cat "$work/$1.geom"))" >&2
    exit 1
  fi
  echo "smoke_windows: the $1 window ($w x $h) is centred with its frame (off by $dx,$dy)"
}
expect_centred main
box=$(convert "$WORK/corner.png" -fill black +opaque "#FF00FF" -trim -format "%w %h %X %Y" info:)
read -r w h x y <<<"$box"
left=$(convert "$WORK/corner.png" -format "%[hex:p{$((x - 1)),$((y + 5))}]" info:)
above=$(convert "$WORK/corner.png" -format "%[hex:p{$((x + 5)),$((y - 1))}]" info:)
if [ "$w $h" != "12 12" ] || [ "${left:0:6}" != FFFF00 ] || [ "${above:0:6}" != FFFF00 ]; then
  echo "smoke_windows: corner not shown (magenta box '$box', left $left, above $above)" >&2
  exit 1
fi
echo "smoke_windows: the 2000 x 1500 picture's bottom-right corner is on screen at ${x#+},${y#+}"

# A small picture's window: the minimum size, centred with its frame.
on_display '
  TAMBREL_SMOKE_QUIT_MS=6000 "$EXE" "$WORK/small.iff" & pid=$!
  sleep 3; xdotool key ctrl+Return; sleep 1.5
  geometry "$(xdotool search --onlyvisible --name "^small.iff " | head -1)" picture
  wait $pid' 1024x768
expect_centred picture

# 2. The panel's text at scale 2.
QT_SCALE_FACTOR=2 on_display '
  TAMBREL_SMOKE_QUIT_MS=6000 "$EXE" "$WORK/small.iff" & pid=$!
  sleep 4; import -window root "$WORK/scaled.png"
  wait $pid' 2048x1536
# The panel's values: the bounding box of the orange text.
geometry=$(convert "$WORK/scaled.png" -fuzz 15% -fill black +opaque "rgb(223,128,48)" -trim \
  -format "%wx%h+%X+%Y" info:)
# Share of pixels that differ after keeping every second pixel and doubling
# again, the least of the four alignments; blown-up scale-1 text gives 0.
scale2_share() {
  local best=100 dx dy share
  for dx in 0 1; do for dy in 0 1; do
    convert "$1" -crop "$geometry" +repage -crop "+$dx+$dy" +repage "$WORK/crop.png"
    convert "$WORK/crop.png" -sample 50% -sample 200% "$WORK/rebuilt.png"
    share=$(compare -metric AE "$WORK/crop.png" "$WORK/rebuilt.png" null: 2>&1 || true)
    share=$((100 * ${share%%.*} / $(convert "$WORK/crop.png" -format "%[fx:w*h]" info:)))
    ((share < best)) && best=$share
  done; done
  echo "$best"
}
share=$(scale2_share "$WORK/scaled.png")
# The same crop made from a drawing at scale 1 blown up, as a check of the check.
convert "$WORK/scaled.png" -sample 50% -sample 200% "$WORK/blown.png"
blown=$(scale2_share "$WORK/blown.png")
if [ "$share" -lt 10 ] || [ "$blown" -gt 2 ]; then
  echo "smoke_windows: panel text not drawn at scale 2 ($share% finer than scale 1; blown-up $blown%)" >&2
  exit 1
fi
echo "smoke_windows: the panel's text is drawn at scale 2 ($share% of its pixels finer than scale 1)"

# 3. The picture window as a viewer on a 1280 x 1024 screen, stepping through
#    one folder: a 3000 x 2000 picture fitted whole (its magenta corner on
#    screen) and named with its zoom in the title, full screen by F11, Right to
#    the next picture (colour cycling: two moments differ), a 64 x 48 picture at
#    100 % and centred, a 640 x 200 picture with pixels of aspect 5:11 at about
#    1.45 : 1; then Ctrl+Shift+S in the main window opens Save As. Tab stops
#    the cycling (two moments alike).
mkdir "$work/view"
"$maker" "$work/view/a-big.iff" 3000 2000
"$maker" "$work/view/b-cycle.iff" cycle
"$maker" "$work/view/c-small.iff" 64 48
"$maker" "$work/view/d-wide.iff" 640 200 5 11
on_display '
  TAMBREL_SMOKE_QUIT_MS=40000 "$EXE" "$WORK/view/a-big.iff" & pid=$!
  sleep 3; xdotool key ctrl+Return; sleep 2
  pic=$(xdotool search --onlyvisible --name "^a-big.iff " | head -1)
  shot() { # NAME: the screen, and the title and geometry of the picture window
    xdotool getwindowname "$pic" >"$WORK/viewer-$1.title"; geometry "$pic" "viewer-$1"
    import -window root "$WORK/viewer-$1.png"
  }
  shot fitted
  xdotool key F11; sleep 1.5; shot fullscreen
  xdotool key Escape; sleep 1
  xdotool key Right; sleep 2; shot cycle; sleep 0.25
  import -window root "$WORK/viewer-cycle-later.png"
  xdotool key Tab; sleep 0.3; import -window root "$WORK/stopped-1.png" # Tab: cycling stops
  sleep 0.3; import -window root "$WORK/stopped-2.png"; xdotool key Tab
  xdotool key Right; sleep 2; shot small
  xdotool key Right; sleep 2; shot wide-pixels
  xdotool windowactivate --sync "$(xdotool search --onlyvisible --name "^Tambrel" | head -1)"
  sleep 0.5; xdotool key ctrl+shift+s; sleep 2
  xdotool search --onlyvisible --name "Save" >"$WORK/save-as.ids" || true
  import -window root "$WORK/viewer-save-as.png"
  xdotool key Escape
  wait $pid' 1280x1024
fail() { echo "smoke_windows: $*" >&2; exit 1; }
title() { cat "$work/viewer-$1.title"; }
# The picture within the window's client area: the size of what is not the
# dark ground, and the room left of it and right of it.
picture_box() {
  local x y w h rest
  read -r x y w h rest <"$work/viewer-$1.geom"
  convert "$work/viewer-$1.png" -crop "${w}x${h}+${x}+${y}" +repage -bordercolor "rgb(46,46,46)" \
    -border 1 -fuzz 2% -trim -format "%w %h %[fx:page.x-1] %[fx:$w-page.x+1-w]" info:
}
[[ $(title fitted) =~ ^a-big\.iff\ —\ ([0-9]+)\ % ]] && ((BASH_REMATCH[1] < 100)) ||
  fail "3000 x 2000 picture not fitted (title '$(title fitted)')"
magenta=$(convert "$work/viewer-fitted.png" -fuzz 20% -fill black +opaque "#FF00FF" -format "%[fx:mean.r*w*h]" info:)
((${magenta%.*} >= 4)) || fail "the fitted picture's far corner is not on screen"
echo "smoke_windows: the 3000 x 2000 picture opens fitted, corner on screen; title '$(title fitted)'"
read -r _ _ w h _ <"$work/viewer-fullscreen.geom"
[ "$w $h" = "1280 1024" ] || fail "F11 gave a $w x $h window"
echo "smoke_windows: F11 fills the 1280 x 1024 screen"
[[ $(title cycle) == b-cycle.iff* ]] || fail "Right did not show the next picture ('$(title cycle)')"
changed=$(compare -metric AE "$work/viewer-cycle.png" "$work/viewer-cycle-later.png" null: 2>&1 || true)
((${changed%%.*} > 1000)) || fail "the CRNG range does not cycle ($changed pixels changed)"
echo "smoke_windows: Right shows the next picture, whose CRNG range cycles ($changed pixels changed in 0.25 s)"
changed=$(compare -metric AE "$work/stopped-1.png" "$work/stopped-2.png" null: 2>&1 || true)
[ "${changed%%.*}" = 0 ] || fail "Tab did not stop the cycling ($changed pixels changed)"
echo "smoke_windows: Tab stops the cycling"
read -r w h left right <<<"$(picture_box small)"
[[ $(title small) == "c-small.iff — 100 %"* ]] && [ "$w $h" = "64 53" ] && ((left - right <= 1 && right - left <= 1)) ||
  fail "64 x 48 picture not at 100 % and centred ('$(title small)', $w x $h, $left left, $right right)"
echo "smoke_windows: the 64 x 48 picture shows at 100 % (64 x 53 with its 10:11 pixels), centred ($left | $right)"
read -r w h _ <<<"$(picture_box wide-pixels)"
ratio=$((100 * w / h))
((ratio >= 140 && ratio <= 150)) || fail "640 x 200 picture at 5:11 shown $w x $h"
echo "smoke_windows: the 640 x 200 picture with 5:11 pixels shows at $w x $h (${ratio:0:1}.${ratio:1} : 1)"
[ -s "$work/save-as.ids" ] || fail "Ctrl+Shift+S opened no Save As dialog"
echo "smoke_windows: Ctrl+Shift+S opens the Save As dialog"
# With TAMBREL_SMOKE_SHOTS=DIR, the screens at half size into DIR, and the
# cycling picture at two moments side by side.
if [ -n "${TAMBREL_SMOKE_SHOTS:-}" ]; then
  for name in fitted fullscreen small wide-pixels save-as; do
    convert "$work/viewer-$name.png" -resize 50% "$TAMBREL_SMOKE_SHOTS/viewer-$name.png"
  done
  convert "$work/viewer-cycle.png" -resize 50% "$TAMBREL_SMOKE_SHOTS/viewer-next.png"
  read -r x y w h _ <"$work/viewer-cycle.geom"
  for moment in cycle cycle-later; do
    convert "$work/viewer-$moment.png" -crop "${w}x${h}+${x}+${y}" +repage -bordercolor "rgb(46,46,46)" \
      -border 1 -fuzz 2% -trim +repage -border 8 "$work/moment-$moment.png"
  done
  convert "$work/moment-cycle.png" "$work/moment-cycle-later.png" +append \
    "$TAMBREL_SMOKE_SHOTS/viewer-cycling.png"
  echo "smoke_windows: screenshots in $TAMBREL_SMOKE_SHOTS"
fi
