#!/usr/bin/env bash
# Fitting benchmark: `tarvikbmp compress --fit` against `pngquant 253 --nofs --speed 1` on the same
# over-budget icons and sprites, in one run. Both results are judged as an RL file shows them (pngquant's
# PNG snapped to 5-6-5 colour and the 33 alpha levels); prints the median PSNR (premultiplied RGBA, dB)
# against the originals and the total time of each tool, one process per image for both.
#   bench/fit/run.sh [BUILD_DIR]      (default: build; configured here as Release)
# Images: the system's Adwaita icons (up to 256 pixels a side) that plain compression refuses, and 40 sprites
# drawn with QPainter by fit_bench_art. Needs pngquant (apt-get install pngquant) and bc.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${1:-$root/build}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
command -v pngquant >/dev/null || { echo "pngquant is missing: apt-get install pngquant" >&2; exit 2; }

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVIK_SANITIZE=OFF >/dev/null
cmake --build "$build" --target tarvikbmp fit_bench_psnr fit_bench_art -- -j2 >/dev/null
tool=$build/tarvikbmp

mkdir -p "$work/art" "$work/set" "$work/out"
QT_QPA_PLATFORM=offscreen "$build/bench/fit/fit_bench_art" "$work/art" 40 2>/dev/null
n=0
while IFS= read -r -d '' file; do
    json=$("$tool" info --json "$file" 2>/dev/null) || continue
    width=$(sed 's/.*"width": \([0-9]*\).*/\1/' <<<"$json")
    height=$(sed 's/.*"height": \([0-9]*\).*/\1/' <<<"$json")
    if [[ $json == *'"fits": false'* && $width -le 256 && $height -le 256 ]]; then
        n=$((n + 1))
        cp "$file" "$work/set/$(printf %04d $n).png"
    fi
done < <(find /usr/share/icons/Adwaita "$work/art" -name '*.png' -print0 2>/dev/null | sort -z)
echo "$n over-budget images (icons up to 256 pixels a side and generated sprites)"

seconds() { date +%s.%N; }
start=$(seconds)
for file in "$work"/set/*.png; do
    "$tool" compress "$file" "$work/out/$(basename "$file" .png).rl" --fit --quiet
done
ours=$(echo "$(seconds) - $start" | bc)
start=$(seconds)
for file in "$work"/set/*.png; do
    pngquant 253 --nofs --speed 1 --force --output "$work/out/$(basename "$file" .png).pq.png" "$file"
done
theirs=$(echo "$(seconds) - $start" | bc)

for file in "$work"/set/*.png; do
    name=$(basename "$file" .png)
    "$build/bench/fit/fit_bench_psnr" "$file" "$work/out/$name.rl" "$work/out/$name.pq.png"
done >"$work/psnr.txt"
sort -g -k1,1 "$work/psnr.txt" | awk '{ours[NR] = $1} END {m = (NR % 2) ? ours[(NR + 1) / 2] : (ours[NR / 2] + ours[NR / 2 + 1]) / 2; printf "median PSNR  tarvikbmp --fit  %.2f dB\n", m}'
sort -g -k2,2 "$work/psnr.txt" | awk '{theirs[NR] = $2} END {m = (NR % 2) ? theirs[(NR + 1) / 2] : (theirs[NR / 2] + theirs[NR / 2 + 1]) / 2; printf "median PSNR  pngquant         %.2f dB\n", m}'
awk '$1 >= $2 {better++} END {printf "tarvikbmp at least as good on %d of %d images\n", better, NR}' "$work/psnr.txt"
printf "total time   tarvikbmp --fit  %.2f s\ntotal time   pngquant         %.2f s\n" "$ours" "$theirs"
