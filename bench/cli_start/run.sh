#!/usr/bin/env bash
# What one command-line call costs: `tarvikbmp info` on a small bitmap against `gm identify` on the same file,
# side by side in one hyperfine run (RUNS each, 100 by default), and the peak memory of both (GNU time's
# maximum resident set size, median of 9 runs). Prints a Markdown table and checks the targets:
# info at most 0.3x the time of gm identify, and under 6 MiB of peak memory.
#
#     bench/cli_start/run.sh [BUILD_DIR=build-bench-cli]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${1:-$root/build-bench-cli}")
runs=${RUNS:-100}

need=()
command -v hyperfine >/dev/null || need+=(hyperfine)
[[ -x /usr/bin/time ]] || need+=(time)
command -v gm >/dev/null || need+=(graphicsmagick)
if [[ ${#need[@]} -gt 0 ]]; then
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${need[@]}"
fi

# The command line is the same executable whether the window is built or not.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVIK_SANITIZE=OFF -DTARVIK_BUILD_GUI=OFF \
    -DTARVIK_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target tarvikbmp -- -j2 >/dev/null
tool=$build/tarvikbmp

work=$(mktemp -d /dev/shm/tarvik-cli.XXXXXX)
trap 'rm -rf "$work"' EXIT
small=$work/small.bmp
# A 90x42 32-bit sprite: a soft-edged disc on a transparent ground.
python3 - "$small" <<'PY'
import struct, sys
w, h = 90, 42
rows = []
for y in range(h):
    row = bytearray()
    for x in range(w):
        d = ((x - 45) ** 2 / 40.0 ** 2 + (y - 21) ** 2 / 19.0 ** 2) ** 0.5
        a = max(0, min(255, int((1.0 - d) * 6 * 255)))
        row += bytes((40 + x, 90 + y * 2, 200, a))
    rows.append(bytes(row))
pixels = b"".join(rows)
header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 32, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1], "wb").write(header + info + pixels)
PY
"$tool" info "$small" >/dev/null
gm identify "$small" >/dev/null

echo "timing $runs runs each ..." >&2
hyperfine --style none -N --warmup 10 --runs "$runs" --export-json "$work/times.json" \
    "$tool info $small" "gm identify $small" >/dev/null

peak_kib() {  # command... -> median over 9 runs of the maximum resident set size, KiB
    for _ in 1 2 3 4 5 6 7 8 9; do
        /usr/bin/time -f %M -o "$work/rss.txt" "$@" >/dev/null 2>&1
        tail -n 1 "$work/rss.txt"
    done | sort -n | sed -n 5p
}
info_kib=$(peak_kib "$tool" info "$small")
gm_kib=$(peak_kib gm identify "$small")
libraries=$(ldd "$tool" | grep -c '=>' || true)

python3 - "$work/times.json" "$info_kib" "$gm_kib" "$libraries" "$runs" "$(nproc)" \
    "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2)" <<'PY'
import json, sys
times, info_kib, gm_kib, libraries, runs, cores, cpu = sys.argv[1:]
results = json.load(open(times))["results"]
(info, gm) = [(r["mean"], r["stddev"], r["min"]) for r in results]
ratio = info[0] / gm[0]
print(f"Measured on {cpu.strip()} ({cores} cores); {runs} runs each, hyperfine without a shell, file in /dev/shm.\n")
print("| 90×42 32-bit bitmap | mean ± σ | fastest | peak memory |")
print("|---|---|---|---|")
print(f"| `tarvikbmp info` ({libraries} shared libraries) | {info[0]*1000:.2f} ± {info[1]*1000:.2f} ms | {info[2]*1000:.2f} ms | {int(info_kib)/1024:.1f} MiB |")
print(f"| `gm identify` | {gm[0]*1000:.2f} ± {gm[1]*1000:.2f} ms | {gm[2]*1000:.2f} ms | {int(gm_kib)/1024:.1f} MiB |")
print()
print("| Target | Measured | |")
print("|---|---|---|")
for name, measured, met in [
    ("`info` at most 0.3× the time of `gm identify`", f"{ratio:.2f}×", ratio <= 0.3),
    ("`info` peak memory under 6 MiB", f"{int(info_kib)/1024:.1f} MiB", int(info_kib) < 6 * 1024),
]:
    print(f"| {name} | {measured} | {'met' if met else '**missed**'} |")
PY
