#!/usr/bin/env bash
# Times `tarvikbmp batch compress` over 2000 small 32-bit bitmaps with one worker and with one per core,
# and GraphicsMagick's `gm batch` converting the same files bitmap to bitmap in one process. Everything
# lives in a RAM-backed folder so the disk does not decide the figures. Each figure is the best of three.
#
#     bench/batch/run.sh [BUILD_DIR=build] [COUNT=2000]
set -euo pipefail
BUILD=${1:-build}
COUNT=${2:-2000}
EXE="$BUILD/tarvikbmp"
MAKE_TREE="$BUILD/bench/batch/make_batch_tree"
for tool in "$EXE" "$MAKE_TREE"; do
    [[ -x "$tool" ]] || { echo "missing $tool: build with -DCMAKE_BUILD_TYPE=Release first" >&2; exit 2; }
done
command -v gm >/dev/null || { echo "GraphicsMagick (gm) is not installed" >&2; exit 2; }

WORK=$(mktemp -d /dev/shm/tarvik-batch-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
SRC="$WORK/src"
"$MAKE_TREE" "$SRC" "$COUNT" 1
CORES=$(nproc)

now() { date +%s.%N; }

# Best wall time of three runs of a command, after a fresh empty output folder each time.
best_of_three() {
    local out=$1; shift
    local best=""
    for _ in 1 2 3; do
        rm -rf "$out"; mkdir -p "$out"
        [[ -n "${PREPARE:-}" ]] && eval "$PREPARE"
        local t0 t1
        t0=$(now); "$@" >/dev/null; t1=$(now)
        best=$(awk -v a="$t0" -v b="$t1" -v best="$best" 'BEGIN { t = b - a; if (best == "" || t < best) best = t; printf "%.4f", best }')
    done
    echo "$best"
}

T1=$(best_of_three "$WORK/out1" "$EXE" batch compress "$SRC" "$WORK/out1" --subfolders --jobs 1 --quiet)
TN=$(best_of_three "$WORK/outn" "$EXE" batch compress "$SRC" "$WORK/outn" --subfolders --jobs "$CORES" --quiet)

# gm batch: one "convert IN OUT" line per file into a mirrored tree made before the clock starts.
SCRIPT="$WORK/gm.txt"
( cd "$SRC" && find . -name '*.bmp' -type f | sort ) | while read -r rel; do
    echo "convert \"$SRC/${rel#./}\" \"$WORK/gmout/${rel#./}\""
done >"$SCRIPT"
PREPARE="( cd \"$SRC\" && find . -type d -exec mkdir -p \"$WORK/gmout/{}\" \\; )"
TG=$(best_of_three "$WORK/gmout" gm batch -echo off -feedback off "$SCRIPT")
unset PREPARE

CONVERTED=$(find "$WORK/out1" -type f | wc -l)
GMFILES=$(find "$WORK/gmout" -type f | wc -l)
awk -v n="$COUNT" -v c="$CONVERTED" -v g="$GMFILES" -v t1="$T1" -v tn="$TN" -v tg="$TG" -v cores="$CORES" 'BEGIN {
    printf "files: %d bitmaps 16x16..128x128 (32-bit), %d written by tarvikbmp, %d by gm\n", n, c, g
    printf "tarvikbmp batch compress --jobs 1 : %7.3f s  %8.0f files/s\n", t1, n / t1
    printf "tarvikbmp batch compress --jobs %d : %7.3f s  %8.0f files/s  (%.2fx of --jobs 1)\n", cores, tn, n / tn, t1 / tn
    printf "gm batch convert bmp->bmp          : %7.3f s  %8.0f files/s\n", tg, n / tg
    printf "ratio --jobs 1 / gm batch          : %7.2f  (target: at most 0.80) %s\n", t1 / tg, (t1 / tg <= 0.8 ? "MET" : "NOT MET")
}'
