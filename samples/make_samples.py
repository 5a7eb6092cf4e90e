#!/usr/bin/env python3
"""Writes a handful of small Windows bitmaps for trying the tool: python3 make_samples.py FOLDER

  logo.bmp               24-bit, a few flat colours, rows with padding
  sprite.bmp             32-bit, soft round edges fading to full transparency
  gradient.bmp           24-bit, thousands of colours: too many for the RL palette
  icons/button.bmp       32-bit, in a subfolder (for the subfolder option of the batch runs)

The pictures are computed, so every run writes the same bytes.
"""

import math
import struct
import sys
from pathlib import Path


def write_bitmap(path, width, height, pixel, bits):
    """pixel(x, y) -> (r, g, b, a) with y = 0 the top row; rows are stored bottom row first."""
    bytes_per_pixel = bits // 8
    padding = (width % 4) if bits == 24 else 0
    rows = []
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            r, g, b, a = pixel(x, y)
            row += bytes((b, g, r, a)) if bits == 32 else bytes((b, g, r))
        rows.append(bytes(row) + bytes(padding))
    data = b"".join(rows)
    header = b"BM" + struct.pack("<IIIIiiHHIIiiII", 54 + len(data), 0, 54, 40, width, height, 1, bits, 0,
                                 len(data), 2835, 2835, 0, 0)
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(header + data)


def logo(x, y):
    navy, gold, white = (20, 40, 110, 255), (240, 180, 30, 255), (250, 250, 250, 255)
    if 8 <= x < 34 and 8 <= y < 14 or 18 <= x < 24 and 8 <= y < 34:  # a "T"
        return gold
    if (x - 62) ** 2 + (y - 21) ** 2 < 13 ** 2:
        return white if (x - 62) ** 2 + (y - 21) ** 2 < 7 ** 2 else gold
    return navy


def sprite(x, y):
    distance = math.hypot(x - 23.5, y - 23.5)
    if distance >= 22:
        return (0, 0, 0, 0)
    # The outer ring fades in eight steps; the body has four flat shades.
    alpha = 255 if distance < 18 else int((22 - distance) / 4 * 8) * 32
    shade = min(3, int(distance / 6))
    return (200 - 40 * shade, 60 + 30 * shade, 40, max(0, min(255, alpha)))


def gradient(x, y):
    return (x * 4, y * 4, 255 - (x + y) * 2, 255)


def button(x, y):
    width, height, radius = 21, 13, 4
    cx = min(max(x, radius), width - 1 - radius)
    cy = min(max(y, radius), height - 1 - radius)
    distance = math.hypot(x - cx, y - cy)
    if distance > radius:
        return (0, 0, 0, 0)
    alpha = 255 if distance <= radius - 1 else 128
    return (30, 140, 60, alpha) if y < height // 2 else (20, 110, 45, alpha)


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    folder = Path(sys.argv[1])
    samples = [
        ("logo.bmp", 90, 42, logo, 24),
        ("sprite.bmp", 48, 48, sprite, 32),
        ("gradient.bmp", 64, 64, gradient, 24),
        ("icons/button.bmp", 21, 13, button, 32),
    ]
    for name, width, height, pixel, bits in samples:
        write_bitmap(folder / name, width, height, pixel, bits)
        print(folder / name)
    return 0


if __name__ == "__main__":
    sys.exit(main())
