#!/usr/bin/env bash
# Peak memory of `tarvikbmp batch` against --jobs: eight 15 MB bitmaps (read whole), two 48 MB bitmaps
# (streamed) and eight RL files of 6000 x 6000 pixels, compressed and decompressed with 1, 4, 16 and 64
# jobs. The run's memory is shared out among the workers, so the peak should stay flat as --jobs grows.
#
#     bench/batch/memory.sh [BUILD_DIR=build]
set -euo pipefail
BUILD=${1:-build}
EXE="$BUILD/tarvikbmp"
[[ -x "$EXE" ]] || { echo "missing $EXE: build with -DCMAKE_BUILD_TYPE=Release first" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "GNU time (/usr/bin/time) is not installed" >&2; exit 2; }
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-memory-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

python3 - "$WORK" <<'PY'
import os, struct, sys
work = sys.argv[1]
os.makedirs(f"{work}/bmp", exist_ok=True)
os.makedirs(f"{work}/rl", exist_ok=True)
def bitmap(path, side, shade):
    stride = (side * 3 + 3) // 4 * 4
    row = bytearray()
    for x in range(side):
        row += bytes((x // 200 * 20 % 256, shade, 90))
    row += bytes(stride - len(row))
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IIIIiiHHIIiiII", 54 + stride * side, 0, 54, 40, side, side, 1, 24, 0,
                                    stride * side, 2835, 2835, 0, 0))
        f.write(bytes(row) * side)
for i in range(8):
    bitmap(f"{work}/bmp/mid{i}.bmp", 2200, i * 20)
for i in range(2):
    bitmap(f"{work}/bmp/big{i}.bmp", 4000, 200 + i)
side = 6000
rows = []
for y in range(side):
    r, left, idx = b"", side, 1 + y % 2
    while left > 0:
        n = min(255, left); r += bytes((0xFE, idx, n)); left -= n; idx = 3 - idx
    rows.append(r)
data = b"RL" + struct.pack("<HHHHHHHH", 0, side, side, 3, side, 0xF81F, 0xF800, 0x001F)
data += bytes(len(r) for r in rows) + b"".join(rows)
for i in range(8):
    with open(f"{work}/rl/large{i}.bmp", "wb") as f:
        f.write(data)
PY

printf '%-12s %6s %12s %8s\n' direction jobs "peak MiB" seconds
for direction in compress decompress; do
    src=$WORK/bmp; [[ $direction == decompress ]] && src=$WORK/rl
    for jobs in 1 4 16 64; do
        rm -rf "$WORK/out"; mkdir "$WORK/out"
        /usr/bin/time -f "%M %e" -o "$WORK/time" "$EXE" batch "$direction" "$src" "$WORK/out" --jobs "$jobs" --quiet
        read -r kib seconds <"$WORK/time"
        printf '%-12s %6s %12d %8s\n' "$direction" "$jobs" $((kib / 1024)) "$seconds"
    done
done
