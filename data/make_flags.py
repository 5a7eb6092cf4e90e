#!/usr/bin/env python3
"""Draws the language flags <Name>_flag.gif (26 x 17 pixels) beside this script.

The flags are made of simple shapes (bands, crosses, diagonals) and written by the small GIF encoder
below, so no picture comes from elsewhere. The encoder emits only literal codes and starts a new code
table before it would grow, which every GIF reader accepts; at this size compression does not matter.

Run: python3 data/make_flags.py
"""

import pathlib
import struct

WIDTH, HEIGHT = 26, 17
CODE_SIZE = 4  # 16-entry palette, 5-bit codes

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)


def french(x, y):
    return (0, 35, 149) if x < 9 else WHITE if x < 17 else (237, 41, 57)


def german(x, y):
    return BLACK if y < 6 else (221, 0, 0) if y < 11 else (255, 206, 0)


def spanish(x, y):
    return (170, 21, 27) if y < 4 or y >= 13 else (241, 191, 0)


def english(x, y):
    blue, red = (1, 33, 105), (200, 16, 46)
    # Upright cross: red 4 columns / 3 rows wide, with a white edge of one pixel.
    if 11 <= x <= 14 or 7 <= y <= 9:
        return red
    if 10 <= x <= 15 or 6 <= y <= 10:
        return WHITE
    # Diagonal cross through the corners, measured from the pixel centre.
    cx, cy = x + 0.5, y + 0.5
    norm = (WIDTH * WIDTH + HEIGHT * HEIGHT) ** 0.5
    distance = min(abs(HEIGHT * cx - WIDTH * cy), abs(HEIGHT * cx + WIDTH * cy - WIDTH * HEIGHT)) / norm
    if distance < 0.8:
        return red
    if distance < 2.0:
        return WHITE
    return blue


FLAGS = {"French": french, "English": english, "German": german, "Spanish": spanish}


def lzw_literals(indices):
    """LZW stream made of literal codes, with a clear code before the table would widen the codes."""
    clear, end = 1 << CODE_SIZE, (1 << CODE_SIZE) + 1
    width = CODE_SIZE + 1
    # After a clear the reader adds one table entry per code but the first; stop one short of the
    # entry that would make it read wider codes.
    run = (1 << CODE_SIZE) - 3
    codes = []
    for start in range(0, len(indices), run):
        codes.append(clear)
        codes.extend(indices[start:start + run])
    codes.append(end)
    out, acc, bits = bytearray(), 0, 0
    for code in codes:
        acc |= code << bits
        bits += width
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8
    if bits:
        out.append(acc & 0xFF)
    return bytes(out)


def gif(pixels):
    palette = []
    indices = []
    for colour in pixels:
        if colour not in palette:
            palette.append(colour)
        indices.append(palette.index(colour))
    if len(palette) > 1 << CODE_SIZE:
        raise SystemExit("too many colours")
    palette += [BLACK] * ((1 << CODE_SIZE) - len(palette))
    table_bits = CODE_SIZE - 1
    data = bytearray(b"GIF89a")
    data += struct.pack("<HHBBB", WIDTH, HEIGHT, 0x80 | (7 << 4) | table_bits, 0, 0)
    for colour in palette:
        data += bytes(colour)
    data += b"," + struct.pack("<HHHHB", 0, 0, WIDTH, HEIGHT, 0)
    data.append(CODE_SIZE)
    stream = lzw_literals(indices)
    for start in range(0, len(stream), 255):
        block = stream[start:start + 255]
        data.append(len(block))
        data += block
    data += b"\x00;"
    return bytes(data)


def main():
    here = pathlib.Path(__file__).resolve().parent
    for name, draw in FLAGS.items():
        pixels = [draw(x, y) for y in range(HEIGHT) for x in range(WIDTH)]
        (here / (name + "_flag.gif")).write_bytes(gif(pixels))


if __name__ == "__main__":
    main()
