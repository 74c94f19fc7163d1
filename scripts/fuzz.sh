#!/usr/bin/env bash
# Builds the decoder fuzzer with clang (libFuzzer, ASan, UBSan) and runs it for
# SECONDS (default 60) from the seed pictures built by the test ILBM writer
# (the sample pictures are run once first). Prints executions (total and per second) and coverage.
# Exits non-zero on any crash; the crash input is copied into fuzz/crashers/,
# where the reliability tests replay it from then on.
#   scripts/fuzz.sh [SECONDS]     build folder: $TAMBREL_FUZZ_BUILD (default build-fuzz),
#                                 more libFuzzer options: $TAMBREL_FUZZ_ARGS,
#                                 a lasting corpus folder: $TAMBREL_FUZZ_CORPUS
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-60}
build=${TAMBREL_FUZZ_BUILD:-build-fuzz}
jobs=${TAMBREL_JOBS:-$(nproc)}

CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DTAMBREL_FUZZ=ON -DTAMBREL_GUI=OFF -DTAMBREL_TESTS=ON >/dev/null
ninja -C "$build" -j "$jobs" tambrel_fuzz_decoder tambrel_fuzz_seeds >"$build/build.log" 2>&1 ||
    { tail -n 40 "$build/build.log" >&2; echo "build failed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tambrel-fuzz-run-XXXXXX")
trap 'rm -rf "$work"' EXIT
# TAMBREL_FUZZ_CORPUS keeps the corpus in that folder, to grow it over runs.
corpus=${TAMBREL_FUZZ_CORPUS:-$work/corpus}
artifacts=$work/artifacts
mkdir -p "$corpus" "$artifacts"
# Output files of each input go to a private folder, in memory where possible:
# creating and renaming five files an input otherwise costs half the time.
if [[ -d /dev/shm && -w /dev/shm ]]; then
    outputs=$(mktemp -d /dev/shm/tambrel-fuzz-XXXXXX)
else
    outputs=$(mktemp -d "$work/out-XXXXXX")
fi
trap 'rm -rf "$work" "$outputs"' EXIT
"$build/tests/reliability/tambrel_fuzz_seeds" "$corpus"
shopt -s nullglob nocaseglob
for f in fuzz/crashers/*; do
    cp "$f" "$corpus/"
done
samples=(samples/*.iff)
shopt -u nullglob nocaseglob

log=$work/fuzz.log
status=0
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The sample pictures (full-size, up to 80 KB) run once; the fuzzing itself
# starts from the small seed pictures of every mode, since large inputs make
# it about ten times slower and reach less code in the same time.
if ((${#samples[@]})); then
    TMPDIR=$outputs "$build/fuzz/tambrel_fuzz_decoder" -artifact_prefix="$artifacts/" \
        "${samples[@]}" >"$work/samples.log" 2>&1 || { status=$?; cat "$work/samples.log" >>"$log"; }
fi
[[ $status -ne 0 ]] || TMPDIR=$outputs \
"$build/fuzz/tambrel_fuzz_decoder" "$corpus" \
    -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=20 \
    -artifact_prefix="$artifacts/" -print_final_stats=1 ${TAMBREL_FUZZ_ARGS:-} >"$log" 2>&1 ||
    status=$?

# The last status line carries the coverage; the final stats the executions.
last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9a-zA-Z]*\).*/\1/p' <<<"$last")
echo "fuzz: ${seconds}s, executions ${execs:-?} total, ${speed:-?} per second," \
     "coverage cov: ${cov:-?} ft: ${ft:-?}, corpus ${corp:-?}"

crashes=("$artifacts"/*)
if [[ $status -ne 0 || -e ${crashes[0]:-} ]]; then
    echo "fuzz: FAILED (status $status)" >&2
    grep -E 'ERROR|runtime error|invariant broken|Test unit written|SUMMARY' "$log" | head -n 20 >&2 || true
    # The report with its stack, for the finding's write-up.
    cp "$log" "$root/fuzz/last-failure.log"
    for c in "$artifacts"/*; do
        [[ -e $c ]] || continue
        cp "$c" "$root/fuzz/crashers/"
        echo "fuzz: crash input saved as fuzz/crashers/$(basename "$c")" >&2
    done
    exit 1
fi
echo "fuzz: no crash"
