#!/usr/bin/env python3
"""Generates the skin engine's built-in shadows of extended borders, which the program carries as
resources "acSHDA" (active forms) and "acSHDI" (inactive forms): the shadow that a form with
extended borders casts when its skin brings no EXBORDER picture of its own.

The engine lays such a picture around the form as a nine-slice with the margins left 11, top 7,
right 11 and bottom 11 pixels; the part under the form is never shown. The shadow falls a little
downwards: a soft black edge whose opacity fades to nothing at the picture's border.

Python 3 standard library only. Writes app/res/skin/ShadowActive.png and ShadowInactive.png.
Run from anywhere: python3 tools/skin/make_shadows.py
"""
import math
import os
import struct
import zlib

SIZE = 48
LEFT, TOP, RIGHT, BOTTOM = 11, 7, 11, 11
DROP = 2        # the shadow lies this much lower than the form
REACH = 10.0    # how far the shadow fades out


def shadow_rows(strength):
    # The form's rectangle in the picture, and the shadow's (moved down by DROP).
    fx0, fy0, fx1, fy1 = LEFT, TOP, SIZE - RIGHT, SIZE - BOTTOM
    sx0, sy0, sx1, sy1 = fx0, fy0 + DROP, fx1, fy1 + DROP
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            dx = max(sx0 - x - 0.5, 0.0, x + 0.5 - sx1)
            dy = max(sy0 - y - 0.5, 0.0, y + 0.5 - sy1)
            d = math.hypot(dx, dy)
            a = strength * (1.0 - d / REACH) ** 2 if d < REACH else 0.0
            row.append((0, 0, 0, int(round(a))))
        rows.append(row)
    return rows


def png_rgba(rows):
    """A 32-bit RGBA PNG of the rows."""
    h, w = len(rows), len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for px in row:
            raw += bytes(px)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    out = os.path.join(root, "app", "res", "skin")
    for name, strength in (("ShadowActive.png", 110), ("ShadowInactive.png", 64)):
        with open(os.path.join(out, name), "wb") as f:
            f.write(png_rgba(shadow_rows(strength)))


if __name__ == "__main__":
    main()
