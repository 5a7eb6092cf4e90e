#!/usr/bin/env bash
# Runs after the normal tests: the Debian package built and checked, then the whole test suite again with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan), then every fuzz target for a short while on its committed seeds
# (build-fuzz, clang). Any sanitizer report, test failure or fuzz finding fails the script.
#
#     scripts/ci_extra.sh            # FUZZ_SECONDS=30 per target by default
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=$(nproc)
FUZZ_SECONDS=${FUZZ_SECONDS:-30}
started=$(date +%s)
elapsed() { echo "$(($(date +%s) - started))s"; }

# The Debian package from the tested build: file list, dependencies, desktop entry, AppStream file, manual.
echo "== Debian package"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
packaging/check_deb.sh build

# Debug: an optimised build with debug information takes twice as long to compile on two cores, and the
# tests run in about a minute either way.
echo "== sanitizer build: build-asan (ASan + UBSan)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVIK_SANITIZE=ON >/dev/null
cmake --build build-asan --parallel "$JOBS"

# Every test, leak checking included (the window tests run on Qt's offscreen platform).
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure --parallel "$JOBS"
echo "== sanitizer tests passed ($(elapsed))"

echo "== fuzz build: build-fuzz (clang, libFuzzer)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVIK_BUILD_FUZZERS=ON -DTARVIK_BUILD_GUI=OFF -DTARVIK_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz --target fuzzers --parallel "$JOBS"

# Each run starts from the committed seeds; what it finds goes to a scratch folder, not into fuzz/corpus.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
targets=(bitmap_reader rl_reader rl_to_bitmap bitmap_to_rl entry_points png_reader fit_small settings_file
    language_lookup)
failed=0
for ((i = 0; i < ${#targets[@]}; i += JOBS)); do
    pids=()
    for target in "${targets[@]:i:JOBS}"; do
        # libFuzzer's limit is wall-clock time: on a machine busy with other jobs a 1 s limit can flag an
        # input that merely waited for the processor, so the short CI runs catch hangs with a wider one.
        FUZZ_TIMEOUT=${FUZZ_TIMEOUT:-10} FUZZ_WORK_DIR="$scratch" fuzz/run.sh "$target" "$FUZZ_SECONDS" build-fuzz &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do
        wait "$pid" || failed=1
    done
done
if [[ $failed -ne 0 ]]; then
    echo "== fuzzing found a fault: inputs are in build-fuzz/fuzz-artifacts/" >&2
    exit 1
fi
echo "== ci_extra passed ($(elapsed))"
