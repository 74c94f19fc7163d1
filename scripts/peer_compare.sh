#!/usr/bin/env bash
# Converts every .iff in FOLDER with tambrel-convert -f png and compares the
# result pixel by pixel (RGBA, 8 bits a channel) with the PNG expected beside
# it: NAME.png, or the file a NAME.iff.json names ("fileName"). Prints, for
# each picture, the pixels that differ and the largest channel difference.
# Usage: scripts/peer_compare.sh FOLDER [CONVERTER] [NAME-PATTERN]
set -uo pipefail
folder=${1:?usage: peer_compare.sh FOLDER [CONVERTER] [PATTERN]}
converter=${2:-build/tambrel-convert}
pattern=${3:-*}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for iff in "$folder"/$pattern.iff; do
    name=$(basename "$iff" .iff)
    expected="$folder/$name.png"
    if [ -f "$iff.json" ]; then
        named=$(sed -n 's/.*"fileName" *: *"\([^"]*\)".*/\1/p' "$iff.json" | head -1)
        [ -n "$named" ] && [ -f "$folder/$named" ] && expected="$folder/$named"
    fi
    if [ ! -f "$expected" ]; then
        printf '%-32s no expected PNG\n' "$name"
        continue
    fi
    rm -f "$work"/*.png
    cp "$iff" "$work/$name.iff"
    if ! "$converter" -f png -m 1 "$work/$name.iff" >/dev/null 2>"$work/err"; then
        printf '%-32s REFUSED: %s\n' "$name" "$(head -c 120 "$work/err" | tr '\n' ' ')"
        continue
    fi
    # 16 bits a channel for both (the raw samples come low byte first), each
    # taken to 8 bits rounded to the nearest.
    convert "$expected" -depth 16 -define endian:lsb rgba:"$work/want.raw" 2>/dev/null
    convert "$work/$name.png" -depth 16 rgba:"$work/got.raw" 2>/dev/null
    wsize=$(identify -format '%wx%h' "$expected")
    gsize=$(identify -format '%wx%h' "$work/$name.png")
    if [ "$wsize" != "$gsize" ]; then
        printf '%-32s SIZE %s, expected %s\n' "$name" "$gsize" "$wsize"
        continue
    fi
    python3 - "$work/want.raw" "$work/got.raw" "$name" "$wsize" <<'PY'
import struct, sys
def samples(path):
    data = open(path, 'rb').read()
    wide = struct.unpack('<%dH' % (len(data) // 2), data)
    return bytes((v * 255 + 32767) // 65535 for v in wide)
want = samples(sys.argv[1])
got = samples(sys.argv[2])
pixels = len(want) // 4
diff = 0
largest = 0
for i in range(0, len(want), 4):
    a, b = want[i:i + 4], got[i:i + 4]
    if a[3] == 0 and b[3] == 0:
        continue  # both transparent: the colour does not show
    if a != b:
        diff += 1
        largest = max(largest, max(abs(x - y) for x, y in zip(a, b)))
print('%-32s %s  %5d of %d pixels differ (%.2f %%), largest difference %d' %
      (sys.argv[3], sys.argv[4], diff, pixels, 100.0 * diff / pixels, largest))
PY
done
