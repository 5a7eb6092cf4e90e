#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets: small, valid files of each kind, one folder per target.

    python3 fuzz/make_seeds.py [OUT_DIR=fuzz/corpus]

Every run writes the same bytes (fixed random seed), so the committed corpus only changes when this
script does. The fuzzers mutate these; keeping them small keeps every execution fast.
"""

import random
import struct
import sys
import zlib
from pathlib import Path


def bitmap(width, height, pixels, depth=32, top_down=False, gap=0, trailer=b""):
    """A Windows bitmap; pixels are (r, g, b, a) tuples, bottom row first (top row first if top_down)."""
    bpp = depth // 8
    rows = bytearray()
    for y in range(height):
        row = bytearray()
        for x in range(width):
            r, g, b, a = pixels[y * width + x]
            row += bytes((b, g, r, a)) if bpp == 4 else bytes((b, g, r))
        if bpp == 3:
            row += bytes(width % 4)
        rows += row
    offset = 54 + gap
    header = b"BM" + struct.pack(
        "<iiiiiiHHiiiiii",
        offset + len(rows), 0, offset, 40, width, -height if top_down else height,
        1, depth, 0, len(rows), 2835, 2835, 0, 0,
    )
    return header + bytes(gap) + bytes(rows) + trailer


def rl_file(width, height, palette, rows, alpha_levels=None):
    """An RL file; palette holds the 5-6-5 colours after the key entry, rows the code bytes of each row."""
    entries = [0xF81F] + list(palette)
    out = b"RL" + struct.pack("<HHHHH", 1 if alpha_levels else 0, width, height, len(entries), len(rows))
    out += b"".join(struct.pack("<H", e) for e in entries)
    if alpha_levels:
        out += bytes([0x20] + list(alpha_levels))
    out += bytes(len(r) for r in rows)
    return out + b"".join(bytes(r) for r in rows)


def png(width, height, colour_type, depth, rows, palette=None, trns=None):
    """A PNG; rows are the raw sample bytes of each row, unfiltered (filter byte 0 is added)."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 0))
    if palette:
        out += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    if trns:
        out += chunk(b"tRNS", bytes(trns))
    out += chunk(b"IDAT", zlib.compress(b"".join(b"\0" + bytes(r) for r in rows)))
    return out + chunk(b"IEND", b"")


def png_seeds(rnd):
    art = sprite(rnd, 12, 6, 5)
    return {
        "png_rgba_12x6": png(12, 6, 6, 8, [sum((art[y * 12 + x] for x in range(12)), ()) for y in range(6)]),
        "png_rgb_3x2": png(3, 2, 2, 8, [(255, 0, 0, 0, 255, 0, 0, 0, 255), (9, 9, 9, 200, 100, 50, 1, 2, 3)]),
        "png_grey16_2x2": png(2, 2, 0, 16, [(0x12, 0x34, 0xAB, 0xCD), (0, 0, 0xFF, 0xFF)]),
        "png_grey_alpha_4x1": png(4, 1, 4, 8, [(10, 0, 80, 3, 160, 128, 250, 255)]),
        "png_indexed_2bit": png(6, 2, 3, 2, [(0b00011011, 0b00010000), (0b11100100, 0)],
                                palette=[(255, 0, 0), (0, 0, 255), (0, 255, 0), (7, 7, 7)], trns=[0, 128]),
    }


def fit_seeds(rnd):
    """Width and height bytes, then RGBA: soft-edged art with more combinations than an RL palette holds."""
    def image(width, height, pixels):
        return bytes(((width - 1) & 31, (height - 1) & 31)) + b"".join(bytes(p) for p in pixels)
    gradient = [(x * 8, y * 8, (x * y) % 256, min(255, 40 + x * 7)) for y in range(32) for x in range(32)]
    return {
        "fit_gradient_32x32": image(32, 32, gradient),
        "fit_dither_gradient_32x32": bytes((31 | 64, 31)) + b"".join(bytes(p) for p in gradient),
        "fit_sprite_16x8": image(16, 8, sprite(rnd, 16, 8, 6)),
        "fit_noise_32x8": image(32, 8, [tuple(rnd.randrange(256) for _ in range(4)) for _ in range(256)]),
    }


def sprite(rnd, width, height, colours):
    """Runs of a few colours and alpha values, as in the sprite sheets this tool is for."""
    palette = [(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256), rnd.choice((0, 3, 64, 200, 255, 255)))
               for _ in range(colours)]
    pixels = []
    while len(pixels) < width * height:
        pixels += [rnd.choice(palette)] * rnd.randrange(1, 9)
    return pixels[: width * height]


def bitmap_seeds(rnd):
    red, blue, clear = (255, 0, 0, 255), (0, 0, 255, 255), (0, 0, 0, 0)
    seeds = {
        "bmp24_1x1": bitmap(1, 1, [red], depth=24),
        "bmp24_2x2": bitmap(2, 2, [red, blue, blue, red], depth=24),
        "bmp24_3x2": bitmap(3, 2, [(i * 40, 255 - i * 40, 7, 255) for i in range(6)], depth=24),
        "bmp24_5x3_topdown": bitmap(5, 3, sprite(rnd, 5, 3, 4), depth=24, top_down=True),
        "bmp32_worked_row": bitmap(10, 1, [red] * 5 + [clear] * 2 + [blue] * 3),
        "bmp32_alpha_levels": bitmap(8, 4, [(200, 100, 50, a) for a in range(0, 256, 8)]),
        "bmp32_sprite_16x8": bitmap(16, 8, sprite(rnd, 16, 8, 6)),
        "bmp32_gap_and_trailer": bitmap(4, 2, sprite(rnd, 4, 2, 3), gap=6, trailer=b"\x01\x02\x03"),
        "bmp32_long_run": bitmap(300, 1, [red] * 300),
    }
    return seeds


def rl_seeds():
    red, blue = 0xF800, 0x001F
    return {
        # 5 red, 2 transparent, 3 blue: the 27-byte example of the format.
        "rl_worked_example": rl_file(10, 1, [red, blue], [[0xFE, 1, 5, 0, 0, 2, 2, 2]]),
        "rl_two_rows": rl_file(4, 2, [red, blue], [[0xFE, 1, 4], [0xFF, 2, 2, 2]]),
        "rl_alpha_table": rl_file(6, 2, [red, 0x07E0], [[1, 1, 2, 2, 0, 0], [0xFE, 2, 3, 0xFF, 3]],
                                  alpha_levels=[32, 16]),
        "rl_empty_row": rl_file(3, 2, [blue], [[], [1, 1, 1, 1, 1, 1]]),
        "rl_long_runs": rl_file(510, 1, [red], [[0xFE, 1, 255, 0xFE, 1, 255]]),
        "rl_no_palette": rl_file(2, 1, [], [[0xFF, 2]]),
    }


def settings_seeds():
    names = lambda section, key: bytes([1]) + section + b"\0" + key + b"\0"  # first byte odd: names given
    general = b"[GENERAL]\r\nFolder1=C:\\Images\r\nFolder4=/home/user/sprites\r\nLanguage=2\r\n"
    return {
        "ini_general": b"\0" + general,
        "ini_bom_quotes": b"\0\xef\xbb\xbf[general]\r\n  Folder3 = \"D:\\RL files\" \r\n",
        "ini_two_sections": b"\0[Other]\r\nLanguage=5\r\n\r\n[GENERAL]\r\n; note\r\nFolder2=x\r\n[GENERAL]\r\nFolder2=y\n",
        "ini_lf_only": b"\0[GENERAL]\nLanguage=3\nFolder7=\n",
        "ini_named": names(b"Fen\xeatre", b"Cl\xe9") + b"[Fen\xeatre]\r\nCl\xe9=valeur\r\n",
        "ini_named_missing": names(b"S", b"K") + b"[T]\r\nK=1\r\n",
    }


def language_seeds():
    french = (
        "Menu_0=Image\r\nMenu_1=Compression\r\nMenu_2=D\xe9compression\r\n"
        "Message_1=Aucun fichier trouv\xe9\r\nMessage_2= fichier(s) trouv\xe9(s)\r\n"
        "FrmMain=Tarvik-Vardo BMP Tool\r\n"
        "FrmMain_CmdComp=Compression|Compresse l'image\\nen RL\r\n"
        "FrmMain_OptAffichage_1=Sans transparence|Affiche\\tsans alpha\r\n"
        "FrmMain_Toolbar1_2=Ouvrir|Ouvre un fichier\r\n"
    ).encode("cp1252")
    return {
        "lng_french": french,
        "lng_high_bytes": b"Message_8=\x80\x81\x8d\x8f\x90\x9d\x9f\xff|\x85\r\nMenu_0=\xe0\xe9\r\n",
        "lng_no_final_crlf": b"Menu_0=Image\r\nMenu_2=Sans fin",
        "lng_key_inside_line": b"xMenu_0=dedans\r\nMenu_0=dehors\r\n",
    }


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent / "corpus"
    rnd = random.Random(20240607)
    bmp, rl = bitmap_seeds(rnd), rl_seeds()
    corpora = {
        "bitmap_reader": bmp,
        "bitmap_to_rl": bmp,
        # Soft edges: alphas 1..6 beside opaque pixels, as anti-aliased art has them.
        "entry_points": dict(bmp, bmp32_soft_edges=bitmap(
            12, 3, [(255, 0, 0, a) for a in (1, 255, 255, 255, 255, 2, 3, 255, 6, 7, 0, 255)] * 3)),
        "rl_reader": rl,
        "rl_to_bitmap": rl,
        "png_reader": png_seeds(rnd),
        "fit_small": fit_seeds(rnd),
        "settings_file": settings_seeds(),
        "language_lookup": language_seeds(),
    }
    for target, seeds in corpora.items():
        folder = out / target
        folder.mkdir(parents=True, exist_ok=True)
        for name, data in seeds.items():
            (folder / name).write_bytes(data)
        print(f"{folder}: {len(seeds)} seeds")


if __name__ == "__main__":
    main()
