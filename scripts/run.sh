#!/usr/bin/env bash
# Sets up, builds and starts TarvikBMP. With a display it opens the window; without one it converts the
# sample bitmaps into samples/out so a new user sees the tool work at once.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/tarvikbmp "$@"  # starts build/tarvikbmp-window, handing the arguments on
fi
echo "No display found: converting the samples from the command line instead."
python3 samples/make_samples.py samples >/dev/null
rm -rf samples/out
mkdir -p samples/out/rl samples/out/bmp
build/tarvikbmp batch compress samples samples/out/rl --subfolders
build/tarvikbmp batch decompress samples/out/rl samples/out/bmp --subfolders
for f in samples/*.bmp; do
    echo "== $f"
    build/tarvikbmp info "$f" || true
    echo
done
echo "Done: RL files in samples/out/rl, bitmaps decoded back in samples/out/bmp."
