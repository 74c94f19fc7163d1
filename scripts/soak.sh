#!/usr/bin/env bash
# Soak run (not part of CI): tambrel-convert over a folder of generated
# pictures of mixed modes and sizes, one in ten hostile, twice with -j 2 into
# the same folder with save mode 2. Checks that every good picture has its BMP
# after the first run and a second, identical one (NAME(1).bmp) after the
# second, that every hostile file is reported by both runs and has no BMP, and
# that nothing else (no temporary file) is left in the folder.
#   scripts/soak.sh [COUNT] [SEED]   build folder: $TAMBREL_SOAK_BUILD (default build-soak)
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-2000}
seed=${2:-1}
build=${TAMBREL_SOAK_BUILD:-build-soak}
jobs=${TAMBREL_JOBS:-$(nproc)}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBREL_GUI=OFF -DTAMBREL_TESTS=ON \
    >/dev/null
ninja -C "$build" -j "$jobs" tambrel-convert tambrel_soak_pictures >"$build/build.log" 2>&1 ||
    { tail -n 40 "$build/build.log" >&2; echo "build failed" >&2; exit 1; }
convert=$build/cli/tambrel-convert

work=$(mktemp -d "${TMPDIR:-/tmp}/tambrel-soak-XXXXXX")
trap 'rm -rf "$work"' EXIT
pics=$work/pictures
mkdir -p "$pics"
"$build/tests/reliability/tambrel_soak_pictures" "$pics" "$count" "$seed" >"$work/manifest"
good=$(grep -c ' good ' "$work/manifest" || true)
hostile=$(grep -c ' hostile ' "$work/manifest" || true)
echo "soak: $count pictures ($good good, $hostile hostile), $(du -sh "$pics" | cut -f1)"

problems=0
problem() {
    echo "soak: PROBLEM: $*" >&2
    problems=$((problems + 1))
}

for run in 1 2; do
    start=$EPOCHREALTIME
    status=0
    "$convert" -j 2 -m 2 "$pics" >"$work/out$run" 2>"$work/err$run" || status=$?
    end=$EPOCHREALTIME
    secs=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')
    summary=$(tail -n 1 "$work/err$run")
    reported=$(grep -c '\.iff: ' "$work/err$run" || true)
    echo "soak: run $run: ${secs}s, exit status $status, $reported files reported; $summary"
    [[ $status -eq 1 || $hostile -eq 0 ]] || problem "run $run: exit status $status"
    [[ $summary == *"converted $good, skipped 0 (BMP exists), failed $hostile" ]] ||
        problem "run $run: summary \"$summary\""
done

# What each picture must have left, and nothing else.
expected=$work/expected
: >"$expected"
while read -r name kind a b; do
    stem=${name%.iff}
    echo "$name" >>"$expected"
    if [[ $kind == good ]]; then
        printf '%s\n%s\n' "$stem.bmp" "$stem(1).bmp" >>"$expected"
        size=$((54 + 4 * a * b))
        for bmp in "$pics/$stem.bmp" "$pics/$stem(1).bmp"; do
            [[ -f $bmp ]] || { problem "missing $(basename "$bmp")"; continue; }
            [[ $(stat -c %s "$bmp") -eq $size ]] || problem "$(basename "$bmp") is not $size bytes"
        done
        cmp -s "$pics/$stem.bmp" "$pics/$stem(1).bmp" || problem "$stem: the two runs' BMPs differ"
    else
        for run in 1 2; do
            grep -qF "$pics/$name: " "$work/err$run" || problem "run $run did not report $name ($a)"
        done
    fi
done <"$work/manifest"
ls -A "$pics" | LC_ALL=C sort >"$work/present"
LC_ALL=C sort "$expected" >"$expected.sorted"
if ! cmp -s "$expected.sorted" "$work/present"; then
    problem "the folder holds other files than expected:"
    diff "$expected.sorted" "$work/present" | head -n 20 >&2
fi

bmps=$(find "$pics" -name '*.bmp' | wc -l)
echo "soak: $bmps BMP files, $(du -sh "$pics" | cut -f1) in the folder"
if [[ $problems -ne 0 ]]; then
    echo "soak: FAILED with $problems problems" >&2
    exit 1
fi
echo "soak: every good picture has its two BMPs, every hostile one was reported twice, nothing else left"
