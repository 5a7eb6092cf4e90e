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
[[ -x /usr/bin/time ]] || { echo "GNU time (/usr/bin/time) is not installed" >&2; exit 2; }

WORK=$(mktemp -d /dev/shm/tarvik-batch-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
SRC="$WORK/src"
"$MAKE_TREE" "$SRC" "$COUNT" 1
CORES=$(nproc)

# Best wall time, best CPU time (user + system) and fewest page faults of three runs, each into a fresh
# empty output folder. The CPU time is the fairer figure when other work shares the machine; the page
# faults (memory taken from the system) do not depend on it at all.
best_of_three() {
    local out=$1; shift
    local best=""
    for _ in 1 2 3; do
        rm -rf "$out"; mkdir -p "$out"
        [[ -n "${PREPARE:-}" ]] && eval "$PREPARE"
        local times
        times=$( { TIMEFORMAT="%R %U %S"; time /usr/bin/time -f "%R" -o "$WORK/faults" "$@" >/dev/null 2>&1; } 2>&1 )
        times="$times $(tail -n 1 "$WORK/faults")"
        best=$(echo "$times $best" | awk '{ w = $1; c = $2 + $3; f = $4; if (NF > 4) { if ($5 < w) w = $5; if ($6 < c) c = $6; if ($7 < f) f = $7 } printf "%.3f %.3f %d", w, c, f }')
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
read -r W1 C1 F1 <<<"$T1"
read -r WN CN FN <<<"$TN"
read -r WG CG FG <<<"$TG"
awk -v n="$COUNT" -v c="$CONVERTED" -v g="$GMFILES" -v w1="$W1" -v c1="$C1" -v wn="$WN" -v cn="$CN" \
    -v wg="$WG" -v cg="$CG" -v f1="$F1" -v fn="$FN" -v fg="$FG" \
    -v cores="$CORES" -v load="$(cut -d' ' -f1 /proc/loadavg)" 'BEGIN {
    printf "files: %d bitmaps 16x16..128x128 (32-bit), %d written by tarvikbmp, %d by gm; load average %s\n", n, c, g, load
    printf "%-36s %8s %10s %8s %10s %12s\n", "", "wall s", "files/s", "cpu s", "files/cpu-s", "page faults"
    printf "%-36s %8.3f %10.0f %8.3f %10.0f %12d\n", "tarvikbmp batch compress --jobs 1", w1, n / w1, c1, n / c1, f1
    printf "%-36s %8.3f %10.0f %8.3f %10.0f %12d  (wall %.2fx of --jobs 1)\n", "tarvikbmp batch compress --jobs " cores, wn, n / wn, cn, n / cn, fn, w1 / wn
    printf "%-36s %8.3f %10.0f %8.3f %10.0f %12d\n", "gm batch convert bmp->bmp", wg, n / wg, cg, n / cg, fg
    printf "ratio --jobs 1 / gm batch: wall %.2f, cpu %.2f (target: at most 0.80)\n", w1 / wg, c1 / cg
}'
