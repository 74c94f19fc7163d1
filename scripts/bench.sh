#!/usr/bin/env bash
# Measures tambrel-convert against its performance targets, all in one run:
#   1. the 4096 x 4096 8-plane ByteRun1 picture converts in at most 2.5 x the
#      I/O floor (cat of the IFF file to /dev/null plus head -c N /dev/zero
#      into a file of the BMP's size N), measured here alongside;
#   2. its peak memory (/usr/bin/time -f %M), to BMP and to PNG alike, is at
#      most 1.5 bytes per pixel plus the IFF file's size (the rows go to the
#      output as they are decoded);
#   3. a folder of 200 pictures of 320 x 256 with 5 planes converts with -j 2
#      in under 0.5 s;
#   4. a 4096 x 4096 deep 24-plane ILBM and a 4096 x 4096 FORM PBM (both
#      ByteRun1) each convert in at most 1.5 x their own I/O floor, measured
#      the same way alongside.
#   5. the 4096 x 4096 picture to PNG (tambrel-convert -f png) is at least 2 x
#      as fast as ImageMagick's convert from its BMP to PNG at default settings,
#      timed in the same run, with a file no more than 10 % larger;
#   6. tambrel-thumbnail makes its 256-pixel thumbnail in under 0.2 s of
#      processor time (user + system; its wall time is printed beside it, and
#      equals it on a machine nothing else is using), within 32 MiB of peak
#      memory.
#   7. against FFmpeg (ffmpeg -i X.iff X.png, which reads IFF ILBM), run in
#      turn with ours, best of TAMBREL_BENCH_FF_ROUNDS: the 4096 x 4096
#      8-plane picture and the 1920 x 1080 HAM8 picture each convert to PNG
#      (tambrel-convert -f png, default level) in at most 0.5 x FFmpeg's time
#      with a file no larger than FFmpeg's. The fast and small levels are
#      timed and sized beside it, for information.
#   8. 4096 x 4096 pictures of the other kinds (FORM RGFX plain and zlib,
#      FORM DEEP plain and ByteRun1, RGB8, RGBN, a 48-plane ILBM and the
#      8-plane picture with a Huffman-packed PCHG) each convert in at most
#      1.5 x their own I/O floor, measured the same way alongside.
# Also prints the throughput in megapixels per second and, unless
# TAMBREL_BENCH_SKIP_GBENCH=1, the Google Benchmark figures (tambrel_bench).
# Exits 1 when a target is missed.
#
# Environment: TAMBREL_BENCH_BUILD  build folder (default: build-bench in the checkout)
#              TAMBREL_BENCH_ROUNDS timed rounds per measurement, best kept (default 5)
#              TAMBREL_BENCH_IM_ROUNDS rounds of ImageMagick's convert (default 2: it is slow)
#              TAMBREL_BENCH_FF_ROUNDS rounds of the FFmpeg comparison (default 3)
#              TAMBREL_BENCH_JOBS      build jobs (default 2)
#              TAMBREL_BENCH_PREBUILT=1 use the programs already built in the build
#                                      folder as they are (no configure, no build)
#              TAMBREL_BENCH_ONLY_FFMPEG=1 run the FFmpeg comparison alone
#              TAMBREL_BENCH_ONLY_KINDS=1  run the other kinds' measurement alone
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${TAMBREL_BENCH_BUILD:-$ROOT/build-bench}
ROUNDS=${TAMBREL_BENCH_ROUNDS:-5}
IM_ROUNDS=${TAMBREL_BENCH_IM_ROUNDS:-2}
FF_ROUNDS=${TAMBREL_BENCH_FF_ROUNDS:-3}
JOBS=${TAMBREL_BENCH_JOBS:-2}

# /usr/bin/time (Debian package "time") reports the peak resident set size.
if [ ! -x /usr/bin/time ]; then
    echo "bench: installing the Debian package 'time' for /usr/bin/time"
    if [ "$(id -u)" -eq 0 ]; then
        apt-get install -y time >/dev/null
    else
        sudo apt-get install -y time >/dev/null
    fi
fi

if [ "${TAMBREL_BENCH_PREBUILT:-0}" = 1 ]; then
    echo "bench: using the programs built in $BUILD"
else
    echo "bench: building a Release tree in $BUILD"
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBREL_BENCH=ON \
        -DTAMBREL_GUI=OFF -DTAMBREL_TESTS=OFF >/dev/null
    ninja -C "$BUILD" -j"$JOBS" tambrel-convert tambrel-thumbnail tambrel_bench_gen \
        tambrel_bench >/dev/null
fi

CONVERT="$BUILD/cli/tambrel-convert"
THUMBNAIL="$BUILD/thumbnail/tambrel-thumbnail"
DATA="$BUILD/bench-data"
rm -rf "$DATA"
mkdir -p "$DATA"
echo "bench: generating the pictures in $DATA"
"$BUILD/bench/tambrel_bench_gen" "$DATA"

LARGE="$DATA/large.iff"
LARGE_BMP="$DATA/large.bmp"
HAM="$DATA/ham8.iff"
DEEP="$DATA/deep.iff"
PBM="$DATA/pbm.lbm"
FOLDER="$DATA/folder"
LARGE_PIXELS=$((4096 * 4096))
HAM_PIXELS=$((1920 * 1080))
FOLDER_PIXELS=$((200 * 320 * 256))
BMP_SIZE=$((54 + 4 * LARGE_PIXELS))
IFF_SIZE=$(stat -c %s "$LARGE")

now_ns() { date +%s%N; }

# Runs "$@" and prints its wall time in nanoseconds.
time_ns() {
    local start end
    start=$(now_ns)
    "$@"
    end=$(now_ns)
    echo $((end - start))
}

# The I/O floor of converting the IFF file $1 (default: the 8-plane picture).
floor_once() {
    cat "${1:-$LARGE}" >/dev/null
    head -c "$BMP_SIZE" /dev/zero >"$DATA/floor.bmp"
}

min() { printf '%s\n' "$@" | sort -n | head -n1; }

# Target 7: ours and FFmpeg's PNG of the same IFF file, run in turn. Prints
# one line per program and level; returns 1 when the default level misses.
ffmpeg_job() {
    local label=$1 iff=$2 base=${2%.*}
    local ff_png="$base-ffmpeg.png" ours_png="$base.png"
    local ff_times=() fast_times=() default_times=() small_times=()
    local size_fast size_default size_small
    for _ in $(seq "$FF_ROUNDS"); do
        rm -f "$ff_png"
        ff_times+=("$(time_ns ffmpeg -nostdin -v error -y -i "$iff" "$ff_png")")
        for level in default fast small; do
            rm -f "$ours_png"
            local t
            t=$(time_ns "$CONVERT" -m 1 -f png --png-level "$level" "$iff")
            case $level in
            fast) fast_times+=("$t"); size_fast=$(stat -c %s "$ours_png") ;;
            default) default_times+=("$t"); size_default=$(stat -c %s "$ours_png") ;;
            small) small_times+=("$t"); size_small=$(stat -c %s "$ours_png") ;;
            esac
        done
    done
    # Processor time (user + system, ms) of one more run of each, for a
    # machine whose other work stretches the wall times.
    local ff_cpu ours_cpu
    ff_cpu=$(/usr/bin/time -f '%U %S' ffmpeg -nostdin -v error -y -i "$iff" "$ff_png" 2>&1 |
        awk '{ printf "%d", ($1 + $2) * 1000 }')
    rm -f "$ours_png"
    ours_cpu=$(/usr/bin/time -f '%U %S' "$CONVERT" -m 1 -f png "$iff" 2>&1 |
        awk '{ printf "%d", ($1 + $2) * 1000 }')
    awk -v label="$label" -v rounds="$FF_ROUNDS" -v ff="$(min "${ff_times[@]}")" \
        -v ff_cpu="$ff_cpu" -v ours_cpu="$ours_cpu" \
        -v ff_size="$(stat -c %s "$ff_png")" \
        -v fast="$(min "${fast_times[@]}")" -v fast_size="$size_fast" \
        -v def="$(min "${default_times[@]}")" -v def_size="$size_default" \
        -v small="$(min "${small_times[@]}")" -v small_size="$size_small" '
    function line(name, t, size) {
        printf "  %-34s %8.1f ms  %9d bytes  = %.2f x time, %.2f x size\n", name, t / 1e6, size, t / ff, size / ff_size
    }
    BEGIN {
        printf "%s to PNG against FFmpeg (best of %d, run in turn):\n", label, rounds
        printf "  %-34s %8.1f ms  %9d bytes\n", "ffmpeg -i X.iff X.png", ff / 1e6, ff_size
        line("tambrel-convert -f png (default)", def, def_size)
        line("  --png-level fast", fast, fast_size)
        line("  --png-level small", small, small_size)
        printf "  processor time (user + system, one run each): FFmpeg %d ms, ours (default) %d ms\n", ff_cpu, ours_cpu
        missed = 0
        if (def / ff > 0.5) { print "MISSED: " label " PNG slower than 0.5 x FFmpeg"; missed = 1 }
        if (def_size > ff_size) { print "MISSED: " label " PNG larger than FFmpeg'"'"'s"; missed = 1 }
        exit missed
    }'
}

ffmpeg_comparison() {
    local status=0
    if ! command -v ffmpeg >/dev/null; then
        echo "bench: ffmpeg is not installed (scripts/install-deps.sh installs it)" >&2
        return 1
    fi
    cat "$LARGE" "$HAM" >/dev/null
    ffmpeg_job "4096x4096 8 planes" "$LARGE" || status=1
    ffmpeg_job "1920x1080 HAM8" "$HAM" || status=1
    return "$status"
}

# Target 8: each other kind against its own I/O floor, best of ROUNDS; one
# line each. Returns 1 when one misses.
KINDS=(rgfx rgfx-zlib deep-form deep-form-rle rgb8 rgbn ilbm48 pchg)
kinds_bench() {
    local status=0 kind iff bmp
    echo "4096x4096 other kinds (best of $ROUNDS), each against its own I/O floor:"
    for kind in "${KINDS[@]}"; do
        iff="$DATA/$kind.iff"
        bmp="$DATA/$kind.bmp"
        cat "$iff" >/dev/null
        local floors=() times=()
        for _ in $(seq "$ROUNDS"); do
            rm -f "$DATA/floor.bmp" "$bmp"
            floors+=("$(time_ns floor_once "$iff")")
            times+=("$(time_ns "$CONVERT" -m 1 "$iff")")
        done
        rm -f "$DATA/floor.bmp"
        if [ "$(stat -c %s "$bmp")" -ne "$BMP_SIZE" ]; then
            echo "bench: $bmp is not $BMP_SIZE bytes" >&2
            status=1
        fi
        awk -v kind="$kind" -v floor="$(min "${floors[@]}")" -v t="$(min "${times[@]}")" \
            -v lp="$LARGE_PIXELS" -v size="$(stat -c %s "$iff")" '
        BEGIN {
            r = t / floor
            printf "  %-14s IFF %9d bytes  I/O floor %7.1f ms, tambrel-convert %7.1f ms = %.2f x floor (target <= 1.5)  %.1f Mpixels/s\n", kind, size, floor / 1e6, t / 1e6, r, lp / (t / 1e3)
            if (r > 1.5) { print "MISSED: " kind " converts slower than 1.5 x its I/O floor"; exit 1 }
        }' || status=1
        rm -f "$bmp"
    done
    return "$status"
}

if [ "${TAMBREL_BENCH_ONLY_FFMPEG:-0}" = 1 ]; then
    ffmpeg_comparison
    exit
fi
if [ "${TAMBREL_BENCH_ONLY_KINDS:-0}" = 1 ]; then
    kinds_bench
    exit
fi

# Warm the page cache so both sides read the IFF file from memory.
cat "$LARGE" "$HAM" "$DEEP" "$PBM" "$FOLDER"/*.iff >/dev/null

floor_times=()
convert_times=()
ham_times=()
folder_times=()
deep_floor_times=()
deep_times=()
pbm_floor_times=()
pbm_times=()
for _ in $(seq "$ROUNDS"); do
    rm -f "$DATA/floor.bmp" "$LARGE_BMP"
    floor_times+=("$(time_ns floor_once)")
    convert_times+=("$(time_ns "$CONVERT" -m 1 "$LARGE")")
    rm -f "$DATA/ham8.bmp"
    ham_times+=("$(time_ns "$CONVERT" -m 1 "$HAM")")
    rm -f "$FOLDER"/*.bmp
    folder_times+=("$(time_ns "$CONVERT" -m 1 -j 2 "$FOLDER" 2>/dev/null)")
    rm -f "$DATA/floor.bmp" "$DATA/deep.bmp"
    deep_floor_times+=("$(time_ns floor_once "$DEEP")")
    deep_times+=("$(time_ns "$CONVERT" -m 1 "$DEEP")")
    rm -f "$DATA/floor.bmp" "$DATA/pbm.bmp"
    pbm_floor_times+=("$(time_ns floor_once "$PBM")")
    pbm_times+=("$(time_ns "$CONVERT" -m 1 "$PBM")")
done
rm -f "$DATA/floor.bmp"

# The converted file must be the size the BMP header promises.
actual_bmp=$(stat -c %s "$LARGE_BMP")
if [ "$actual_bmp" -ne "$BMP_SIZE" ]; then
    echo "bench: large.bmp is $actual_bmp bytes, expected $BMP_SIZE" >&2
    exit 1
fi
for bmp in "$DATA/deep.bmp" "$DATA/pbm.bmp"; do
    if [ "$(stat -c %s "$bmp")" -ne "$BMP_SIZE" ]; then
        echo "bench: $bmp is not $BMP_SIZE bytes" >&2
        exit 1
    fi
done
if [ "$(ls "$FOLDER"/*.bmp | wc -l)" -ne 200 ]; then
    echo "bench: the folder run did not write 200 BMP files" >&2
    exit 1
fi

# Peak memory (KiB) of one conversion of the large picture, to BMP and to PNG,
# and of its thumbnail.
peak_of() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n1; }
rm -f "$LARGE_BMP" "$DATA/large.png"
peak_kb=$(peak_of "$CONVERT" -m 1 "$LARGE")
png_peak_kb=$(peak_of "$CONVERT" -m 1 -f png "$LARGE")
thumb_peak_kb=$(peak_of "$THUMBNAIL" -s 256 "$LARGE" "$DATA/thumb.png")
rm -f "$DATA/large.png"
# A CAT of the large picture twice, both written (the second on its own load)
# with the header details printed: the rows stream here as well.
GROUP="$DATA/group.iff"
group_size=$((4 + 2 * IFF_SIZE + 2 * (IFF_SIZE % 2)))
{
    printf 'CAT '
    printf "$(printf '\\x%02x' $((group_size >> 24 & 255)) $((group_size >> 16 & 255)) \
        $((group_size >> 8 & 255)) $((group_size & 255)))"
    printf 'ILBM'
    for _ in 1 2; do
        cat "$LARGE"
        if ((IFF_SIZE % 2)); then printf '\0'; fi
    done
} >"$GROUP"
group_peak_kb=$(peak_of "$CONVERT" -m 1 --info --all-pictures "$GROUP")
if [ "$(stat -c %s "$DATA/group-2.bmp")" -ne "$(stat -c %s "$LARGE_BMP")" ]; then
    echo "bench: the group's second picture was not written whole" >&2
    exit 1
fi
rm -f "$GROUP" "$DATA/group.bmp" "$DATA/group-2.bmp"

# PNG: ours from the IFF file, ImageMagick's from the BMP just written.
LARGE_PNG="$DATA/large.png"
IM_PNG="$DATA/large-imagemagick.png"
"$CONVERT" -m 1 "$LARGE"
png_times=()
thumb_times=()
thumb_cpu=()
im_times=()
for _ in $(seq "$ROUNDS"); do
    rm -f "$LARGE_PNG" "$DATA/thumb.png"
    png_times+=("$(time_ns "$CONVERT" -m 1 -f png "$LARGE")")
    thumb_times+=("$(time_ns "$THUMBNAIL" -s 256 "$LARGE" "$DATA/thumb.png")")
    thumb_cpu+=("$(/usr/bin/time -f '%U %S' "$THUMBNAIL" -s 256 "$LARGE" "$DATA/thumb.png" 2>&1 |
        awk '{ printf "%d", ($1 + $2) * 1e9 }')")
done
for _ in $(seq "$IM_ROUNDS"); do
    rm -f "$IM_PNG"
    im_times+=("$(time_ns convert "$LARGE_BMP" "$IM_PNG")")
done
png_size=$(stat -c %s "$LARGE_PNG")
im_size=$(stat -c %s "$IM_PNG")
png=$(min "${png_times[@]}")
thumb=$(min "${thumb_times[@]}")
thumb_cpu=$(min "${thumb_cpu[@]}")
im=$(min "${im_times[@]}")

floor=$(min "${floor_times[@]}")
convert=$(min "${convert_times[@]}")
ham=$(min "${ham_times[@]}")
folder=$(min "${folder_times[@]}")
deep_floor=$(min "${deep_floor_times[@]}")
deep=$(min "${deep_times[@]}")
pbm_floor=$(min "${pbm_floor_times[@]}")
pbm=$(min "${pbm_times[@]}")

report=$(
    awk -v floor="$floor" -v conv="$convert" -v ham="$ham" -v folder="$folder" \
        -v dfloor="$deep_floor" -v deep="$deep" -v pfloor="$pbm_floor" -v pbm="$pbm" \
        -v peak_kb="$peak_kb" -v png_peak_kb="$png_peak_kb" -v group_peak_kb="$group_peak_kb" -v thumb_peak_kb="$thumb_peak_kb" -v iff="$IFF_SIZE" -v lp="$LARGE_PIXELS" -v hp="$HAM_PIXELS" \
        -v fp="$FOLDER_PIXELS" -v rounds="$ROUNDS" -v png="$png" -v im="$im" -v thumb="$thumb" -v thumb_cpu="$thumb_cpu" \
        -v png_size="$png_size" -v im_size="$im_size" -v im_rounds="$IM_ROUNDS" '
    BEGIN {
        ratio = conv / floor
        bpp = (peak_kb * 1024 - iff) / lp
        png_bpp = (png_peak_kb * 1024 - iff) / lp
        group_bpp = (group_peak_kb * 1024 - 2 * iff) / lp
        fs = folder / 1e9
        printf "best of %d rounds\n", rounds
        printf "4096x4096 8 planes: IFF %d bytes, BMP %d bytes\n", iff, 54 + 4 * lp
        printf "  I/O floor (cat + head -c)       %8.1f ms\n", floor / 1e6
        printf "  tambrel-convert                 %8.1f ms  = %.2f x floor (target <= 2.5)  %.1f Mpixels/s\n", conv / 1e6, ratio, lp / (conv / 1e3)
        printf "  peak RSS to BMP                 %8.1f MiB = %.2f bytes/pixel + file size (target <= 1.5)\n", peak_kb / 1024, bpp
        printf "  peak RSS to PNG                 %8.1f MiB = %.2f bytes/pixel + file size (target <= 1.5)\n", png_peak_kb / 1024, png_bpp
        printf "  peak RSS, CAT of two, --info --all-pictures %6.1f MiB = %.2f bytes/pixel + file size (target <= 1.5)\n", group_peak_kb / 1024, group_bpp
        printf "1920x1080 HAM8: tambrel-convert   %8.1f ms  %.1f Mpixels/s\n", ham / 1e6, hp / (ham / 1e3)
        printf "200 x 320x256 5 planes, -j 2:     %8.1f ms  (target < 500)  %.1f Mpixels/s\n", folder / 1e6, fp / (folder / 1e3)
        dratio = deep / dfloor
        pratio = pbm / pfloor
        printf "4096x4096 deep 24 planes: I/O floor %8.1f ms, tambrel-convert %8.1f ms = %.2f x floor (target <= 1.5)  %.1f Mpixels/s\n", dfloor / 1e6, deep / 1e6, dratio, lp / (deep / 1e3)
        printf "4096x4096 PBM:            I/O floor %8.1f ms, tambrel-convert %8.1f ms = %.2f x floor (target <= 1.5)  %.1f Mpixels/s\n", pfloor / 1e6, pbm / 1e6, pratio, lp / (pbm / 1e3)
        missed = 0
        if (dratio > 1.5) { print "MISSED: the deep picture converts slower than 1.5 x its I/O floor"; missed = 1 }
        if (pratio > 1.5) { print "MISSED: the PBM picture converts slower than 1.5 x its I/O floor"; missed = 1 }
        speedup = im / png
        growth = png_size / im_size
        printf "4096x4096 8 planes to PNG (best of %d; ImageMagick best of %d):\n", rounds, im_rounds
        printf "  tambrel-convert -f png          %8.1f ms  %d bytes\n", png / 1e6, png_size
        printf "  ImageMagick convert BMP -> PNG  %8.1f ms  %d bytes\n", im / 1e6, im_size
        printf "  = %.1f x as fast (target >= 2), file %.2f x the size (target <= 1.10)\n", speedup, growth
        printf "  tambrel-thumbnail -s 256        %8.1f ms processor time (target < 200), %.1f ms wall\n", thumb_cpu / 1e6, thumb / 1e6
        printf "  tambrel-thumbnail -s 256 peak RSS %6.1f MiB (target <= 32)\n", thumb_peak_kb / 1024
        if (thumb_peak_kb > 32 * 1024) { print "MISSED: the thumbnail needs more than 32 MiB"; missed = 1 }
        if (speedup < 2) { print "MISSED: PNG output less than 2 x as fast as ImageMagick"; missed = 1 }
        if (growth > 1.10) { print "MISSED: PNG file more than 10 % larger than ImageMagick'"'"'s"; missed = 1 }
        if (thumb_cpu / 1e9 >= 0.2) { print "MISSED: the thumbnail took 0.2 s or more"; missed = 1 }
        if (ratio > 2.5) { print "MISSED: conversion slower than 2.5 x the I/O floor"; missed = 1 }
        if (bpp > 1.5) { print "MISSED: peak memory to BMP above 1.5 bytes per pixel plus the file size"; missed = 1 }
        if (png_bpp > 1.5) { print "MISSED: peak memory to PNG above 1.5 bytes per pixel plus the file size"; missed = 1 }
        if (group_bpp > 1.5) { print "MISSED: peak memory for the pictures of a group, with --info, above 1.5 bytes per pixel plus the file size"; missed = 1 }
        if (fs >= 0.5) { print "MISSED: the 200-file folder took 0.5 s or more"; missed = 1 }
        if (!missed) print "all targets met"
        exit missed
    }'
) && status=0 || status=$?
echo "$report"
echo
kinds_bench || status=1
echo
ffmpeg_comparison || status=1

if [ "${TAMBREL_BENCH_SKIP_GBENCH:-0}" != 1 ]; then
    echo
    echo "bench: Google Benchmark (decode + BMP write in memory and a scratch folder)"
    "$BUILD/bench/tambrel_bench" --benchmark_min_time=0.5 \
        --benchmark_counters_tabular=true
fi
exit "$status"
