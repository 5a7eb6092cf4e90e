#!/usr/bin/env python3
"""Draws the program icon, a little painted wagon, into icons/ beside this script.

The picture is one 16 x 16 sprite, so it reads at the smallest size a desktop shows; the larger PNGs
(32, 48, 64, 128, 256) are the same pixels scaled by whole numbers, and tarvikbmp.svg draws them as squares,
so every size shows exactly the same picture. The PNG encoder below needs nothing beyond the standard library.

Run: python3 data/make_icon.py
"""

import pathlib
import struct
import zlib

SPRITE = [
    "...........KK...",
    "......KKKK.KK...",
    "....KKRRRRKK....",
    "...KRRrrrrRRK...",
    "..KRRRRRRRRRRK..",
    "..KYYYYYYYYYYK..",
    "...KGgYWWYgGK...",
    "...KGgYWWYgGK...",
    "...KGgYYYYgGK...",
    "...KGGGGGGGGK...",
    "KKKKKKKKKKKKKKK.",
    "...KKK....KKK...",
    "..KBYBK..KBYBK..",
    "..KYYYK..KYYYK..",
    "..KBYBK..KBYBK..",
    "...KKK....KKK...",
]

COLOURS = {
    "K": (48, 28, 20),     # outline
    "R": (196, 40, 44),    # roof
    "r": (240, 104, 84),   # light on the roof
    "Y": (248, 196, 48),   # painted trim, wheel spokes
    "G": (36, 124, 72),    # body
    "g": (96, 180, 104),   # light on the body
    "W": (252, 236, 164),  # lit window
    "B": (120, 66, 28),    # wheels
}

SIZES = (16, 32, 48, 64, 128, 256)


def png(size):
    scale = size // len(SPRITE)
    rows = []
    for line in SPRITE:
        row = bytearray()
        for mark in line:
            rgba = COLOURS[mark] + (255,) if mark in COLOURS else (0, 0, 0, 0)
            row += bytes(rgba) * scale
        rows.extend([b"\0" + bytes(row)] * scale)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
            + chunk(b"IEND", b""))


def svg():
    shapes = []
    for y, line in enumerate(SPRITE):
        x = 0
        while x < len(line):
            mark, end = line[x], x
            while end < len(line) and line[end] == mark:
                end += 1
            if mark in COLOURS:
                shapes.append('<rect x="%d" y="%d" width="%d" height="1" fill="#%02x%02x%02x"/>'
                              % ((x, y, end - x) + COLOURS[mark]))
            x = end
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 16 16" '
            'shape-rendering="crispEdges">\n' + "\n".join(shapes) + "\n</svg>\n")


def main():
    folder = pathlib.Path(__file__).resolve().parent / "icons"
    folder.mkdir(exist_ok=True)
    for size in SIZES:
        (folder / f"tarvikbmp-{size}.png").write_bytes(png(size))
    (folder / "tarvikbmp.svg").write_text(svg(), encoding="utf-8")


if __name__ == "__main__":
    main()
