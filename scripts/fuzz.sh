#!/usr/bin/env bash
# Builds the fuzzers with clang (libFuzzer, ASan, UBSan) and runs each from the
# seed pictures built by the test ILBM writer (the sample pictures are run once
# first): the decoder for SECONDS (default 60), every other target for
# TARGET_SECONDS (default 15). Prints executions (total and per second) and
# coverage per target. Exits non-zero on any crash; the crash input is copied
# into fuzz/crashers/ (named after its target), where the reliability tests
# replay it from then on.
#   scripts/fuzz.sh [SECONDS [TARGET_SECONDS]]
#                                 build folder: $TAMBREL_FUZZ_BUILD (default build-fuzz),
#                                 more libFuzzer options: $TAMBREL_FUZZ_ARGS,
#                                 a lasting corpus folder: $TAMBREL_FUZZ_CORPUS
#                                 (other targets: that name + "-" + the target),
#                                 only some targets: $TAMBREL_FUZZ_TARGETS
#                                 (e.g. "decoder png_writer")
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-60}
target_seconds=${2:-${TAMBREL_FUZZ_TARGET_SECONDS:-15}}
build=${TAMBREL_FUZZ_BUILD:-build-fuzz}
jobs=${TAMBREL_JOBS:-$(nproc)}

# Each target, and the libFuzzer options it needs beyond the common ones.
declare -A target_args=(
    [decoder]=""
    # Its allowance is 1 MiB: no single allocation may come near 2 MiB.
    [decoder_limits]="-malloc_limit_mb=2"
    [png_writer]=""
    [thumbnail_scaler]=""
    [pixbuf_loader]=""
    [qt_handler]=""
)
all_targets=(decoder decoder_limits png_writer thumbnail_scaler pixbuf_loader qt_handler)
read -r -a targets <<<"${TAMBREL_FUZZ_TARGETS:-${all_targets[*]}}"
binaries=()
for t in "${targets[@]}"; do
    [[ -v "target_args[$t]" ]] || { echo "fuzz: no target $t" >&2; exit 2; }
    binaries+=("tambrel_fuzz_$t")
done

CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DTAMBREL_FUZZ=ON -DTAMBREL_GUI=OFF -DTAMBREL_TESTS=ON >/dev/null
ninja -C "$build" -j "$jobs" "${binaries[@]}" tambrel_fuzz_seeds >"$build/build.log" 2>&1 ||
    { tail -n 40 "$build/build.log" >&2; echo "build failed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tambrel-fuzz-run-XXXXXX")
trap 'rm -rf "$work"' EXIT
seeds=$work/seeds
mkdir -p "$seeds"
# Output files of each input go to a private folder, in memory where possible:
# creating and renaming five files an input otherwise costs half the time.
if [[ -d /dev/shm && -w /dev/shm ]]; then
    outputs=$(mktemp -d /dev/shm/tambrel-fuzz-XXXXXX)
else
    outputs=$(mktemp -d "$work/out-XXXXXX")
fi
trap 'rm -rf "$work" "$outputs"' EXIT
"$build/tests/reliability/tambrel_fuzz_seeds" "$seeds"
shopt -s nullglob nocaseglob
for f in fuzz/crashers/*; do
    cp "$f" "$seeds/"
done
samples=(samples/*.iff)
shopt -u nullglob nocaseglob

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
rm -f "$root/fuzz/last-failure.log"

# Runs one target; prints its summary line, and on a crash saves the inputs
# and the report.
run_target() {
    local name=$1 time=$2 status=0
    local binary=$build/fuzz/tambrel_fuzz_$name
    local log=$work/$name.log artifacts=$work/artifacts-$name
    local corpus
    # TAMBREL_FUZZ_CORPUS keeps the corpus in that folder, to grow it over runs.
    if [[ -n ${TAMBREL_FUZZ_CORPUS:-} ]]; then
        corpus=$TAMBREL_FUZZ_CORPUS
        [[ $name == decoder ]] || corpus=$TAMBREL_FUZZ_CORPUS-$name
    else
        corpus=$work/corpus-$name
    fi
    mkdir -p "$corpus" "$artifacts"
    cp "$seeds"/* "$corpus/"
    : >"$log"
    # The sample pictures (full-size, up to 80 KB) run once; the fuzzing itself
    # starts from the small seed pictures of every mode, since large inputs make
    # it about ten times slower and reach less code in the same time.
    # shellcheck disable=SC2086 # the option lists split into words
    if ((${#samples[@]})); then
        TMPDIR=$outputs "$binary" -artifact_prefix="$artifacts/" ${target_args[$name]} \
            "${samples[@]}" >"$work/samples-$name.log" 2>&1 ||
            { status=$?; cat "$work/samples-$name.log" >>"$log"; }
    fi
    # shellcheck disable=SC2086
    [[ $status -ne 0 ]] || TMPDIR=$outputs "$binary" "$corpus" \
        -max_total_time="$time" -max_len=65536 -rss_limit_mb=2048 -timeout=20 \
        -artifact_prefix="$artifacts/" -print_final_stats=1 ${target_args[$name]} \
        ${TAMBREL_FUZZ_ARGS:-} >>"$log" 2>&1 || status=$?

    # The last status line carries the coverage; the final stats the executions.
    local last execs speed cov ft corp
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9a-zA-Z]*\).*/\1/p' <<<"$last")
    echo "fuzz $name: ${time}s, executions ${execs:-?} total, ${speed:-?} per second," \
         "coverage cov: ${cov:-?} ft: ${ft:-?}, corpus ${corp:-?}"

    # Slow inputs and timeouts are noted, not failures: the decoder works
    # through a picture as large as its header claims (within the limits) even
    # when the body is tiny, which under the sanitizers can take that long.
    # Crashes, leaks, undefined behaviour and running out of memory still fail.
    local timeouts=("$artifacts"/timeout-*)
    if [[ $status -eq 70 && -e ${timeouts[0]:-} ]]; then
        status=0
    fi
    local slow
    for slow in "$artifacts"/slow-unit-* "$artifacts"/timeout-*; do
        [[ -e $slow ]] || continue
        echo "fuzz $name: slow input noted ($(basename "$slow"), $(stat -c %s "$slow") bytes)" >&2
        rm -f "$slow"
    done
    local crashes=("$artifacts"/*)
    if [[ $status -ne 0 || -e ${crashes[0]:-} ]]; then
        echo "fuzz $name: FAILED (status $status)" >&2
        grep -E 'ERROR|runtime error|invariant broken|Test unit written|SUMMARY' "$log" |
            head -n 20 >&2 || true
        # The report with its stack, for the finding's write-up.
        { echo "=== $name"; cat "$log"; } >>"$root/fuzz/last-failure.log"
        local c
        for c in "$artifacts"/*; do
            [[ -e $c ]] || continue
            cp "$c" "$root/fuzz/crashers/$name-$(basename "$c")"
            echo "fuzz $name: crash input saved as fuzz/crashers/$name-$(basename "$c")" >&2
        done
        failed+=("$name")
    fi
}

for t in "${targets[@]}"; do
    if [[ $t == decoder ]]; then
        run_target "$t" "$seconds"
    else
        run_target "$t" "$target_seconds"
    fi
done

if ((${#failed[@]})); then
    echo "fuzz: FAILED: ${failed[*]}" >&2
    exit 1
fi
echo "fuzz: no crash"
