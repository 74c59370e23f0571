#!/usr/bin/env python3
"""Draws the grid's mouse cursors and writes them as monochrome 32x32 cursor files.

  reversedarrow.cur    an arrow pointing up and to the right (the edit's info pane)
  horzsplit.cur        two upright bars between a left and a right arrow (column resize grip)
  vertsplit.cur        two level bars between an up and a down arrow (row resize grip)
  columnnodrag.cur     a ring crossed by a slash (a dragged column cannot be dropped here)
  indicatorselect.cur  a thick arrow pointing right (selects the row beside the indicator)

Each shape is black with a one-pixel white outline, so that it shows on light and dark ground.
Run it again after changing it.
"""
import os

from make_cursors import SIZE, cursor_bytes  # the file format, shared with the roll cursors

C = 16  # the middle of the square


def inside_polygon(points, x, y):
    """Even-odd test of the pixel centre (x + 0.5, y + 0.5)."""
    px, py = x + 0.5, y + 0.5
    result = False
    n = len(points)
    for i in range(n):
        x1, y1 = points[i]
        x2, y2 = points[(i + 1) % n]
        if (y1 > py) != (y2 > py):
            cross = x1 + (py - y1) * (x2 - x1) / (y2 - y1)
            if px < cross:
                result = not result
    return result


# The arrow of the pointer, tip at the origin, as a polygon; the reversed arrow mirrors it.
ARROW = [(0, 0), (0, 17), (4, 13), (7, 20), (10, 19), (7, 12), (12, 12)]
REVERSED_TIP = (30, 1)


def reversed_arrow(x, y):
    return inside_polygon([(REVERSED_TIP[0] + 1 - ax, REVERSED_TIP[1] + ay) for ax, ay in ARROW], x, y)


def horz_split(x, y):
    bars = x in (14, 18) and 6 <= y <= 26
    left_shaft = 10 <= x <= 13 and abs(y - C) <= 1
    right_shaft = 19 <= x <= 22 and abs(y - C) <= 1
    left_head = 4 <= x <= 10 and abs(y - C) <= x - 4
    right_head = 22 <= x <= 28 and abs(y - C) <= 28 - x
    return bars or left_shaft or right_shaft or left_head or right_head


def vert_split(x, y):
    return horz_split(y, x)


def column_no_drag(x, y):
    dx, dy = x - C, y - C
    d2 = dx * dx + dy * dy
    ring = 42 <= d2 <= 90
    slash = d2 <= 90 and abs(dx - dy) <= 1
    return ring or slash


INDICATOR_TIP = (24, 16)


def indicator_select(x, y):
    tip_x, tip_y = INDICATOR_TIP
    head = 17 <= x <= tip_x and abs(y - tip_y) <= tip_x - x
    shaft = 7 <= x <= 17 and abs(y - tip_y) <= 2
    return head or shaft


# name: (shape, hot spot)
CURSORS = {
    "reversedarrow.cur": (reversed_arrow, REVERSED_TIP),
    "horzsplit.cur": (horz_split, (C, C)),
    "vertsplit.cur": (vert_split, (C, C)),
    "columnnodrag.cur": (column_no_drag, (C, C)),
    "indicatorselect.cur": (indicator_select, INDICATOR_TIP),
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, (inside, hot) in CURSORS.items():
        with open(os.path.join(here, name), "wb") as f:
            f.write(cursor_bytes(inside, hot))


if __name__ == "__main__":
    main()
