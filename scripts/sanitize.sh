#!/usr/bin/env bash
# Builds the whole test suite (windows included) with AddressSanitizer,
# UndefinedBehaviorSanitizer and LeakSanitizer and runs it with ctest.
#   scripts/sanitize.sh [ctest arguments]   build folder: $TAMBREL_SANITIZE_BUILD (default build-sanitize)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TAMBREL_SANITIZE_BUILD:-build-sanitize}
jobs=${TAMBREL_JOBS:-$(nproc)}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMBREL_SANITIZE=ON \
    -DTAMBREL_GUI=ON -DTAMBREL_TESTS=ON >/dev/null
ninja -C "$build" -j "$jobs" >"$build/build.log" 2>&1 ||
    { tail -n 40 "$build/build.log" >&2; echo "build failed" >&2; exit 1; }

# LeakSanitizer runs in every test; with the offscreen platform the Qt
# libraries report no leaks of their own, so nothing is suppressed.
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$build"
ctest --output-on-failure -j "$jobs" "$@"
