#!/usr/bin/env bash
# Codec benchmark: times `tarvikbmp info` and `compress` on 4096x4096 bitmaps against GraphicsMagick,
# ImageMagick and cat on the same files, in the same run, and prints the ratios against the targets.
#   bench/codec/run.sh [BUILD_DIR]      (default: build; configured here as Release)
# Extra CMake arguments can be passed in BENCH_CMAKE_ARGS. Needs hyperfine, GNU time, imagemagick, graphicsmagick.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${1:-$root/build}")
data=$root/bench/data/codec
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck disable=SC2086
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVIK_SANITIZE=OFF ${BENCH_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" --target tarvikbmp codec_bench_data -- -j2 >/dev/null
tool=$build/tarvikbmp
if [ ! -f "$data/colliding24.bmp" ]; then
    echo "Writing the benchmark bitmaps into $data ..."
    "$build/bench/codec/codec_bench_data" "$data"
fi
sprites=$data/sprites32.bmp
photo=$data/photo24.bmp
longruns=$data/longruns32.bmp
colliding=$data/colliding24.bmp  # 65,536 colours chosen to collide in a multiplicative hash
# The real ImageMagick, not a wrapper that may stand earlier in PATH.
im_identify=/usr/bin/identify
im_convert=/usr/bin/convert

echo "Sanity: the program must succeed on every input before it is timed."
"$tool" info "$sprites" >/dev/null
"$tool" info "$photo" >/dev/null
"$tool" compress "$longruns" "$work/out.rl"
"$tool" info --json "$sprites"
"$tool" info --json "$photo"
"$tool" info --json "$longruns"

time_group() {  # name runs command...
    local name=$1 runs=$2
    shift 2
    hyperfine --style none --warmup 2 --runs "$runs" --export-json "$work/$name.json" "$@" >/dev/null
}

echo "Timing (hyperfine, page cache warm) ..."
time_group sprites 20 -N \
    "$tool info $sprites" \
    "cat $sprites" \
    "gm identify -format %k $sprites"
time_group photo 3 -N \
    "$tool info $photo" \
    "$im_identify -format %k $photo"
time_group compress 5 -N \
    "$tool compress $longruns $work/out.rl" \
    "$im_convert $longruns $work/im.bmp" \
    "gm convert $longruns $work/gm.bmp"

time_group crafted 10 -N "$tool info $colliding"

/usr/bin/time -v "$tool" compress "$longruns" "$work/out.rl" 2>"$work/time.txt"
peak_kib=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")

python3 - "$work" "$peak_kib" "$sprites" "$photo" "$longruns" <<'PY'
import json, os, sys
work, peak_kib, sprites, photo, longruns = sys.argv[1], int(sys.argv[2]), *sys.argv[3:]
def means(name):
    with open(os.path.join(work, name + ".json")) as f:
        return [r["mean"] for r in json.load(f)["results"]]
mb = lambda path: os.path.getsize(path) / 1e6
info_s, cat_s, gm_s = means("sprites")
info_p, im_p = means("photo")
comp, im_c, gm_c = means("compress")
crafted = means("crafted")[0]
rows = [
    ("info sprites32.bmp", info_s, mb(sprites)), ("cat sprites32.bmp", cat_s, mb(sprites)),
    ("gm identify sprites32.bmp", gm_s, mb(sprites)),
    ("info photo24.bmp", info_p, mb(photo)), ("identify (IM) photo24.bmp", im_p, mb(photo)),
    ("compress longruns32.bmp", comp, mb(longruns)), ("convert (IM) longruns32.bmp", im_c, mb(longruns)),
    ("gm convert longruns32.bmp", gm_c, mb(longruns)),
]
print()
print(f"{'command':32}{'mean':>11}{'MB/s':>10}")
for name, seconds, size in rows:
    print(f"{name:32}{seconds * 1000:9.1f} ms{size / seconds:10.0f}")
best_convert = min(im_c, gm_c)
peak_ratio = peak_kib * 1024 / os.path.getsize(longruns)
checks = [
    ("info sprites vs gm identify", gm_s / info_s, ">= 10x faster", gm_s / info_s >= 10),
    ("info sprites vs cat", info_s / cat_s, "<= 3x the time", info_s / cat_s <= 3),
    ("info photo vs IM identify", im_p / info_p, ">= 20x faster", im_p / info_p >= 20),
    ("compress vs best convert", best_convert / comp, ">= 3x faster", best_convert / comp >= 3),
    ("compress peak memory / input", peak_ratio, "<= 4x the input", peak_ratio <= 4),
]
print(f"{'info colliding24.bmp (crafted)':32}{crafted * 1000:9.1f} ms")
print()
print(f"peak memory of compress: {peak_kib / 1024:.0f} MiB for a {os.path.getsize(longruns) / 2**20:.0f} MiB input")
print()
for name, ratio, target, met in checks:
    print(f"{name:32}{ratio:8.2f}   target {target:18}{'met' if met else 'MISSED'}")
PY
