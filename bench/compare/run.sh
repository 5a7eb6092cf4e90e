#!/usr/bin/env bash
# tarvikbmp against ImageMagick and GraphicsMagick on the same files, on this machine, in one run:
#   (a) 4096x4096 32-bit sprite sheet:  info  vs  identify -format %k  (IM and GM), cat as the floor;
#       compress of the same kind of sheet with 50..300-pixel runs  vs  convert x.bmp y.bmp  (IM and GM)
#   (b) 4096x4096 24-bit photo-like picture:  info  vs  identify -format %k  (IM and GM)
#   (c) 2000 icons in a tree:  batch compress  vs  a mogrify loop over the folders (IM)  and  gm batch
# Times are hyperfine means with a warm page cache, files on a RAM-backed folder; peak memory is GNU time's
# maximum resident set size. Prints Markdown tables and checks the targets of the codec and batch work.
#
#     bench/compare/run.sh [BUILD_DIR=build-bench-compare]
#
# The pictures come from the seeded generators of bench/codec and bench/batch, so the figures compare with
# theirs. Missing tools are installed from Debian's packages.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${1:-$root/build-bench-compare}")

need=()
command -v hyperfine >/dev/null || need+=(hyperfine)
[[ -x /usr/bin/time ]] || need+=(time)
[[ -x /usr/bin/identify && -x /usr/bin/convert && -x /usr/bin/mogrify ]] || need+=(imagemagick)
command -v gm >/dev/null || need+=(graphicsmagick)
if [[ ${#need[@]} -gt 0 ]]; then
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${need[@]}"
fi
# The packages' own binaries: a wrapper standing earlier in PATH would add its start-up to every figure.
im_identify=/usr/bin/identify
im_convert=/usr/bin/convert
im_mogrify=/usr/bin/mogrify

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVIK_SANITIZE=OFF -DTARVIK_BUILD_GUI=OFF \
    -DTARVIK_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target tarvikbmp codec_bench_data make_batch_tree -- -j2 >/dev/null
tool=$build/tarvikbmp

work=$(mktemp -d /dev/shm/tarvik-compare.XXXXXX)
trap 'rm -rf "$work"' EXIT
echo "Writing the pictures into $work ..." >&2
"$build/bench/codec/codec_bench_data" "$work" >/dev/null
"$build/bench/batch/make_batch_tree" "$work/icons" 2000 1 >/dev/null
sprites=$work/sprites32.bmp photo=$work/photo24.bmp longruns=$work/longruns32.bmp icons=$work/icons

# Every command must work before it is timed.
"$tool" info "$sprites" >/dev/null
"$tool" info "$photo" >/dev/null
"$tool" compress "$longruns" "$work/out.rl"
mkdir -p "$work/check"
"$tool" batch compress "$icons" "$work/check" --subfolders --quiet

# The IM loop: one mogrify per folder of the tree; gm batch: one "convert IN OUT" line per file.
(cd "$icons" && find . -type d | sort) >"$work/folders.txt"
{
    echo 'set -e'
    while read -r rel; do
        echo "mkdir -p \"$work/imout/$rel\""
        echo "if ls \"$icons/$rel\"/*.bmp >/dev/null 2>&1; then $im_mogrify -path \"$work/imout/$rel\" -format bmp \"$icons/$rel\"/*.bmp; fi"
    done <"$work/folders.txt"
} >"$work/mogrify_loop.sh"
(cd "$icons" && find . -name '*.bmp' -type f | sort) | while read -r rel; do
    echo "convert \"$icons/${rel#./}\" \"$work/gmout/${rel#./}\""
done >"$work/gm_batch.txt"
make_gm_tree="rm -rf $work/gmout && (cd $icons && find . -type d -exec mkdir -p $work/gmout/{} \\;)"

time_group() {  # name runs [hyperfine options and commands...]
    local name=$1 runs=$2
    shift 2
    echo "timing $name ..." >&2
    hyperfine --style none --warmup 1 --runs "$runs" --export-json "$work/$name.json" "$@" >/dev/null
}
peak_kib() {  # command... -> maximum resident set size in KiB
    /usr/bin/time -f %M -o "$work/rss.txt" "$@" >/dev/null 2>&1 || true
    tail -n 1 "$work/rss.txt"
}

time_group sprites 10 -N "$tool info $sprites" "$im_identify -format %k $sprites" \
    "gm identify -format %k $sprites" "cat $sprites"
time_group compress 5 -N "$tool compress $longruns $work/out.rl" "$im_convert $longruns $work/im.bmp" \
    "gm convert $longruns $work/gm.bmp"
time_group photo 3 -N "$tool info $photo" "$im_identify -format %k $photo" "gm identify -format %k $photo"
time_group batch 5 \
    --prepare "rm -rf $work/out1 && mkdir $work/out1" "$tool batch compress $icons $work/out1 --subfolders --jobs 1 --quiet" \
    --prepare "rm -rf $work/out2 && mkdir $work/out2" "$tool batch compress $icons $work/out2 --subfolders --jobs 2 --quiet" \
    --prepare "rm -rf $work/imout" "bash $work/mogrify_loop.sh" \
    --prepare "$make_gm_tree" "gm batch -echo off -feedback off $work/gm_batch.txt"

{
    peak_kib "$tool" info "$sprites"
    peak_kib "$im_identify" -format %k "$sprites"
    peak_kib gm identify -format %k "$sprites"
    peak_kib "$tool" compress "$longruns" "$work/out.rl"
    peak_kib "$im_convert" "$longruns" "$work/im.bmp"
    peak_kib gm convert "$longruns" "$work/gm.bmp"
    peak_kib "$tool" info "$photo"
    peak_kib "$im_identify" -format %k "$photo"
    peak_kib gm identify -format %k "$photo"
    rm -rf "$work/out1" && mkdir "$work/out1"
    peak_kib "$tool" batch compress "$icons" "$work/out1" --subfolders --jobs 1 --quiet
    rm -rf "$work/imout"
    peak_kib bash "$work/mogrify_loop.sh"
    eval "$make_gm_tree"
    peak_kib gm batch -echo off -feedback off "$work/gm_batch.txt"
} >"$work/peaks.txt"

python3 - "$work" "$longruns" "$(nproc)" "$(uname -m)" "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2)" <<'PY'
import json, os, sys
work, longruns, cores, arch, cpu = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5].strip()
def means(name):
    with open(os.path.join(work, name + ".json")) as f:
        return [r["mean"] for r in json.load(f)["results"]]
peaks = [int(line) for line in open(os.path.join(work, "peaks.txt")) if line.strip()]
mib = lambda kib: f"{kib / 1024:.0f} MiB"
def t(seconds):
    return f"{seconds * 1000:.0f} ms" if seconds < 10 else f"{seconds:.1f} s"

info_s, im_s, gm_s, cat_s = means("sprites")
comp, im_c, gm_c = means("compress")
info_p, im_p, gm_p = means("photo")
batch1, batch2, im_b, gm_b = means("batch")
(p_info_s, p_im_s, p_gm_s, p_comp, p_im_c, p_gm_c, p_info_p, p_im_p, p_gm_p, p_batch, p_im_b, p_gm_b) = peaks

print(f"Measured on {cpu} ({cores} cores, {arch}); hyperfine means, files in /dev/shm.\n")
print("| Case | tarvikbmp | ImageMagick | GraphicsMagick | tarvikbmp faster by (IM / GM) |")
print("|---|---|---|---|---|")
rows = [
    ("(a) 4096×4096 32-bit sprite sheet: `info` vs `identify -format %k`", info_s, p_info_s, im_s, p_im_s, gm_s, p_gm_s),
    ("(a) 4096×4096 32-bit, runs of 50-300: `compress` vs `convert x.bmp y.bmp`", comp, p_comp, im_c, p_im_c, gm_c, p_gm_c),
    ("(b) 4096×4096 24-bit photo-like: `info` vs `identify -format %k`", info_p, p_info_p, im_p, p_im_p, gm_p, p_gm_p),
    ("(c) 2000 icons in 7 folders: `batch compress --jobs 1` vs `mogrify` loop / `gm batch`", batch1, p_batch, im_b, p_im_b, gm_b, p_gm_b),
]
for name, ours, p_ours, im, p_im, gm, p_gm in rows:
    print(f"| {name} | {t(ours)}, {mib(p_ours)} | {t(im)}, {mib(p_im)} | {t(gm)}, {mib(p_gm)} | {im / ours:.1f}× / {gm / ours:.1f}× |")
print(f"| (c) same, `--jobs {cores}` | {t(batch2)} | | | {im_b / batch2:.1f}× / {gm_b / batch2:.1f}× |")
print(f"| `cat` of the sprite sheet (reading floor) | {t(cat_s)} | | | |")
print()
size = os.path.getsize(longruns)
checks = [
    ("`info` on the sprite sheet at least 10× faster than `gm identify -format %k`", f"{gm_s / info_s:.1f}×", gm_s / info_s >= 10),
    ("`info` on the sprite sheet at most 3× the time of `cat`", f"{info_s / cat_s:.2f}×", info_s / cat_s <= 3),
    ("`info` on the photo-like picture at least 20× faster than IM's `identify -format %k`", f"{im_p / info_p:.1f}×", im_p / info_p >= 20),
    ("`compress` at least 3× faster than the faster of `convert` / `gm convert`", f"{min(im_c, gm_c) / comp:.1f}×", min(im_c, gm_c) / comp >= 3),
    ("`compress` peak memory at most 4× the input file", f"{p_comp * 1024 / size:.2f}×", p_comp * 1024 / size <= 4),
    ("`batch compress --jobs 1` at most 0.8× the time of `gm batch`", f"{batch1 / gm_b:.2f}×", batch1 / gm_b <= 0.8),
]
print("| Target | Measured | |")
print("|---|---|---|")
for name, measured, met in checks:
    print(f"| {name} | {measured} | {'met' if met else '**missed**'} |")
PY
