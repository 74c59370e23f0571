#!/usr/bin/env python3
"""Draws the grid's roll-scrolling cursors and writes them as monochrome 32x32 cursor files.

  roll.cur      a dot between an up and a down arrow head (rolling, pointer near the anchor)
  rollup.cur    the dot with the up arrow head only (rolling upwards)
  rolldown.cur  the dot with the down arrow head only (rolling downwards)

Each shape is black with a one-pixel white outline, so that it shows on light and dark ground;
the hot spot is the centre of the dot (16, 16). Run it again after changing it.
"""
import os
import struct

SIZE = 32
HOT = (16, 16)


def dot(x, y):
    dx, dy = x - HOT[0], y - HOT[1]
    return dx * dx + dy * dy <= 6  # a round dot about 5 pixels across


def up_head(x, y):
    # Tip at (16, 3), base from x 10 to 22 on row 9.
    return 3 <= y <= 9 and abs(x - HOT[0]) <= (y - 3)


def down_head(x, y):
    # Tip at (16, 29), base from x 10 to 22 on row 23.
    return 23 <= y <= 29 and abs(x - HOT[0]) <= (29 - y)


SHAPES = {
    "roll.cur": lambda x, y: dot(x, y) or up_head(x, y) or down_head(x, y),
    "rollup.cur": lambda x, y: dot(x, y) or up_head(x, y),
    "rolldown.cur": lambda x, y: dot(x, y) or down_head(x, y),
}


def cursor_bytes(inside, hot=HOT):
    """A CUR file of one 1-bit image: black where inside, white on the outline, clear elsewhere."""
    black = [[inside(x, y) for x in range(SIZE)] for y in range(SIZE)]

    def outline(x, y):
        if black[y][x]:
            return False
        for ny in range(y - 1, y + 2):
            for nx in range(x - 1, x + 2):
                if 0 <= nx < SIZE and 0 <= ny < SIZE and black[ny][nx]:
                    return True
        return False

    xor_rows, and_rows = [], []
    for y in reversed(range(SIZE)):  # bitmaps are stored bottom-up
        xor_bits = and_bits = 0
        for x in range(SIZE):
            bit = 1 << (SIZE - 1 - x)
            if outline(x, y):
                xor_bits |= bit  # white: AND 0, XOR 1
            elif not black[y][x]:
                and_bits |= bit  # clear: AND 1, XOR 0
            # black: AND 0, XOR 0
        xor_rows.append(struct.pack(">I", xor_bits))
        and_rows.append(struct.pack(">I", and_bits))
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    image = header + palette + b"".join(xor_rows) + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 2, 0, hot[0], hot[1], len(image), 6 + 16)
    return directory + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, inside in SHAPES.items():
        with open(os.path.join(here, name), "wb") as f:
            f.write(cursor_bytes(inside))


if __name__ == "__main__":
    main()
