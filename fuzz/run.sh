#!/usr/bin/env bash
# Runs one fuzz target for a while on its committed seeds, under the limits every input must respect:
# at most 1 s (FUZZ_TIMEOUT) and 256 MiB each. New inputs go to a working corpus in the build folder, so the committed
# seeds stay as they are; a crash leaves its input in BUILD/fuzz-artifacts/TARGET/ and exits non-zero.
#
#     fuzz/run.sh TARGET SECONDS [BUILD_DIR=build-fuzz]
#     targets: bitmap_reader rl_reader rl_to_bitmap bitmap_to_rl entry_points png_reader fit_small settings_file
#              language_lookup
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
TARGET=${1:?usage: fuzz/run.sh TARGET SECONDS [BUILD_DIR]}
SECONDS_TO_RUN=${2:?usage: fuzz/run.sh TARGET SECONDS [BUILD_DIR]}
BUILD=$(cd "${3:-$HERE/../build-fuzz}" && pwd)
EXE="$BUILD/fuzz/fuzz_$TARGET"
SEEDS="$HERE/corpus/$TARGET"
[[ -x "$EXE" ]] || { echo "missing $EXE: configure with -DTARVIK_BUILD_FUZZERS=ON and build 'fuzzers'" >&2; exit 2; }
[[ -d "$SEEDS" ]] || { echo "missing seeds $SEEDS: run python3 fuzz/make_seeds.py" >&2; exit 2; }

WORK="${FUZZ_WORK_DIR:-$BUILD/fuzz-corpus}/$TARGET"
ARTIFACTS="$BUILD/fuzz-artifacts/$TARGET"
mkdir -p "$WORK" "$ARTIFACTS"
DICT=()
[[ -f "$HERE/dict/$TARGET.dict" ]] && DICT=(-dict="$HERE/dict/$TARGET.dict")
LOG="$ARTIFACTS/last-run.log"

# The first corpus folder receives new inputs; the seed folder is only read.
set +e
ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:quarantine_size_mb=16}" UBSAN_OPTIONS=print_stacktrace=1 \
    "$EXE" "$WORK" "$SEEDS" "${DICT[@]}" -artifact_prefix="$ARTIFACTS/" \
    -max_total_time="$SECONDS_TO_RUN" -rss_limit_mb=256 -malloc_limit_mb=256 -timeout="${FUZZ_TIMEOUT:-1}" \
    -max_len=16384 -print_final_stats=1 >"$LOG" 2>&1
status=$?
set -e
EXECS=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$LOG" | grep -o '[0-9]*$' || echo "?")
if [[ $status -ne 0 ]]; then
    tail -n 60 "$LOG" >&2
    echo "fuzz $TARGET: FAILED after $EXECS executions (exit $status); input in $ARTIFACTS/" >&2
    exit 1
fi
echo "fuzz $TARGET: clean, $EXECS executions in ${SECONDS_TO_RUN}s, corpus $(ls "$WORK" | wc -l) files"
