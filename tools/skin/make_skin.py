#!/usr/bin/env python3
"""Generates the program's own default skin: a dark skin with light text and one restrained blue
accent, stored in the main form as its one stored skin.

Everything is drawn here; nothing is read from elsewhere. The script writes into app/res/skin/:

  Options.dat        the options text (INI style)
  Master.bmp         the master bitmap (24-bit, key colour 0xFF00FF where pictures are absent)
  DefaultBlack.asz   the packed skin: magic "ASzf", the file count, then per file the name length,
                     the name, the inflated size and one zlib stream (what acSkinPack reads)

and tests/app/skinart_manifest.inc, the list of sections and pictures the skin promises, which
the skin's tests compare with what the skin manager loads. With --preview FILE.png it also
composes a mock window from the pictures (nine-slice and glyph rules as the engine paints them)
to judge the look.

Python 3 standard library only. Run from anywhere: python3 tools/skin/make_skin.py

What the engine reads from a skin, and what this skin provides
-----------------------------------------------------------------
Skin-wide values (GLOBALINFO): VERSION, AUTHOR, DESCRIPTION, BORDERWIDTH, TITLEHEIGHT, MAXHEIGHT,
FORMOFFSET, CENTEROFFSET, BORDERMODE, BORDERCOLOR, SHADOW1COLOR, SHADOW1OFFSET, SHADOW1BLUR,
SHADOW1TRANSPARENCY, BISPACE, BIVALIGN, BIRIGHT, BILEFT, BIKEEPHUE, BICON{CLOSE,MAX,MIN}GLOW and
their ...GLOWMARGIN (0: no glow windows), MASTERBITMAP.

Section values read into every section record: PARENTCLASS, COLOR, FONTCOLOR (+TCLEFT..TCBOTTOM
contour colours, not used here), HOTCOLOR, HOTFONTCOLOR, TRANSPARENCY, HOTTRANSPARENCY,
GRADIENTPERCENT, GRADIENTDATA, HOTGRADIENTPERCENT, HOTGRADIENTDATA, IMAGEPERCENT, HOTIMAGEPERCENT,
SHOWFOCUS, FADINGENABLED, FADINGITERATIONS, GIVEOWNFONT, RESERVEDBOOLEAN, GLOW, GLOWMARGIN.

Picture keys the engine looks up:
  GLOBALINFO   BOXCHECKED, BOXUNCHECKED, BOXGRAYED, RADIOCHECKED, RADIOUNCHECKED, RADIOGRAYED,
               SMALLCHECKED, SMALLUNCHECKED, SMALLGRAYED (check boxes and radio buttons, three
               frames: normal, hot/focused, pressed), CHECK (menu check mark, normal and
               selected), GRIPIMAGE (size grip), BICONCLOSE, BICONMAX, BICONNORM, BICONMIN,
               BICONHELP (caption buttons of normal forms: normal, hot, pressed), SICONCLOSE,
               SICONMAX, SICONNORM, SICONMIN, SICONHELP (the same for tool windows and MDI child
               buttons), TITLEBUTTON (user caption buttons); EXBORDER (extended borders) is left
               out: the program does not use extended borders.
  any section  BORDERSMASK (its nine-slice border), IMGTOPLEFT/IMGTOPRIGHT/IMGBTMLEFT/IMGBTMRIGHT
               (corner pictures, not used here), PATTERN/HOTPATTERN (textures, not used here)
  FORM         TITLEBAR (band behind the caption buttons; not used here: the title is one piece)
  COMBOBOX, SCROLLBTNTOP/BOTTOM/LEFT/RIGHT   GLYPHMASK (drop-down and arrow glyphs)
  STATUSBAR    STATUSPANELMASK (not used: panels are split by DIVIDER)

Sections: forms and title bars (FORM, FORMTITLE, DIALOG, CAPTION is left out so the caption is
written straight on the title bar, MDIAREA), menus (MENULINE, MAINMENU, MENUITEM, ICOLINE,
EXTRALINE, DIVIDERV), buttons (BUTTON, SPEEDBUTTON, SPEEDBUTTON_SMALL, TOOLBUTTON, WEBBUTTON,
COLHEADER, UPDOWNBTN), SPLITTER, labels and check boxes (CHECKBOX, RADIOBUTTON), GROUPBOX, PANEL,
PANEL_LOW, edits (EDIT, COMBOBOX, COMBOBTN), scroll bars (SCROLLBAR1H, SCROLLBAR2H, SCROLLBAR1V,
SCROLLBAR2V, SCROLLSLIDERH, SCROLLSLIDERV, SCROLLBTNLEFT, SCROLLBTNRIGHT, SCROLLBTNTOP,
SCROLLBTNBOTTOM), tabs (TABTOP, TABBOTTOM, TABLEFT, TABRIGHT, PAGECONTROL, PAGECONTROLBOTTOM,
PAGECONTROLLEFT, PAGECONTROLRIGHT, TABSHEET), bars (TOOLBAR, STATUSBAR, DIVIDER, BAR, BARTITLE,
DRAGBAR), GAUGE, TRACKBAR, HINT.

How the pictures are painted (and therefore drawn here)
-------------------------------------------------------
* A border mask ("^" value) is cut in nine: the four corners are copied as they are, the sides and
  the centre are tiled. The centre is drawn only when the draw mode has bit 4 and the caller asks
  for filling, so the faces of controls come from the section's colour and gradient and the masks
  here carry only the border. Draw mode bit 2 draws the mask only in states other than 0.
* Mask type 0: plain picture; corner pixels of the key colour are transparent, sides are opaque.
  Mask type 1: below each frame lies its mask (0 = the picture, 255 = what lies under it), so the
  sides can be partly transparent. The key-coloured pixels of the corner areas of a form's, a
  button's and a menu's border are cut out of the window region: they make the rounded corners.
* Glyphs ("@" values) are whole frames side by side; with mask type 1 their key-coloured pixels are
  skipped and the rest is blended through the mask.
* State frames: 0 normal, 1 hot (for forms and title bars: active), 2 pressed; a state beyond the
  last frame shows the last one.
"""

import argparse
import os
import struct
import sys
import zlib

KEY = (255, 0, 255)

# ---- Palette (RGB) -------------------------------------------------------------------------------

BG_DEEP = (0x1E, 0x1E, 0x21)      # edits, lists, gauges, MDI area
BG_MENU = (0x26, 0x26, 0x29)      # popup menus, status bar
BG_TRACK = (0x24, 0x24, 0x27)     # scroll-bar track
BG_FORM = (0x2D, 0x2D, 0x31)      # forms, panels, dialogs, tab sheets
BG_RAISED = (0x38, 0x38, 0x3D)    # buttons, headers
BG_HOT = (0x44, 0x44, 0x4A)       # hot surfaces
LINE = (0x4C, 0x4C, 0x53)         # control borders
LINE_SOFT = (0x3E, 0x3E, 0x44)    # separators
LINE_DARK = (0x17, 0x17, 0x19)    # outer outline of windows
TEXT = (0xE6, 0xE6, 0xE8)
TEXT_HOT = (0xFF, 0xFF, 0xFF)
TEXT_DIM = (0x9A, 0x9A, 0xA0)
GLYPH = (0xC4, 0xC4, 0xC9)
ACCENT = (0x3D, 0x8E, 0xE0)
ACCENT_HOT = (0x5C, 0xA4, 0xEE)
ACCENT_DIM = (0x2C, 0x5E, 0x93)
ACCENT_SEL = (0x2A, 0x4F, 0x77)   # selected menu items
CLOSE_HOT = (0xC4, 0x3B, 0x3B)
CLOSE_PRESSED = (0x92, 0x2A, 0x2A)


def tcolor(rgb):
    """The options text's colour number: $00BBGGRR as a decimal integer."""
    r, g, b = rgb
    return r | (g << 8) | (b << 16)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


# ---- Pictures ------------------------------------------------------------------------------------


class Picture:
    """An RGBA picture with straight alpha, plus an 'outside' flag per pixel: pixels outside the
    shape of a border or glyph become key-coloured (transparent; cut out of window regions)."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.rgb = [(0, 0, 0)] * (w * h)
        self.a = [0] * (w * h)
        self.outside = [False] * (w * h)

    def blend(self, x, y, color, alpha):
        if not (0 <= x < self.w and 0 <= y < self.h) or alpha <= 0:
            return
        i = y * self.w + x
        alpha = min(255, alpha)
        da = self.a[i]
        if da == 0 or alpha >= 255:
            self.rgb[i], self.a[i] = color, alpha
            return
        # Source over destination, straight alpha.
        sa, dan = alpha / 255.0, da / 255.0
        oa = sa + dan * (1 - sa)
        c = tuple(int(round((color[k] * sa + self.rgb[i][k] * dan * (1 - sa)) / oa)) for k in range(3))
        self.rgb[i], self.a[i] = c, int(round(oa * 255))

    def fill(self, x0, y0, x1, y1, color, alpha=255):
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.blend(x, y, color, alpha)

    def shape(self, inside, color, alpha=255, aa=True, box=None):
        """Blends color where inside(px, py) holds; with aa, by 4x4 supersampled coverage."""
        x0, y0, x1, y1 = box if box else (0, 0, self.w, self.h)
        n = 4 if aa else 1
        offs = [(i + 0.5) / n for i in range(n)]
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                c = sum(1 for dy in offs for dx in offs if inside(x + dx, y + dy))
                if c:
                    self.blend(x, y, color, int(round(alpha * c / (n * n))))

    def mark_outside(self, inside_shape):
        """Pixels whose centre lies outside the shape become outside (key colour)."""
        for y in range(self.h):
            for x in range(self.w):
                if not inside_shape(x + 0.5, y + 0.5):
                    i = y * self.w + x
                    self.outside[i] = True
                    self.a[i] = 0

    def pixel(self, x, y):
        i = y * self.w + x
        return self.rgb[i], self.a[i], self.outside[i]

    def transformed(self, kind):
        """A copy flipped vertically ('flipv') or turned a quarter ('left': the top edge goes to
        the left, 'right': the top edge goes to the right)."""
        if kind == "flipv":
            p = Picture(self.w, self.h)
            f = lambda x, y: (x, self.h - 1 - y)
        elif kind == "left":
            p = Picture(self.h, self.w)
            f = lambda x, y: (y, x)
        else:
            p = Picture(self.h, self.w)
            f = lambda x, y: (y, self.h - 1 - x)
        for y in range(p.h):
            for x in range(p.w):
                sx, sy = f(x, y)
                i, j = sy * self.w + sx, y * p.w + x
                p.rgb[j], p.a[j], p.outside[j] = self.rgb[i], self.a[i], self.outside[i]
        return p


# ---- Shapes --------------------------------------------------------------------------------------


def in_round_rect(x0, y0, x1, y1, r):
    """Point test of a rounded rectangle [x0, x1) x [y0, y1) with corner radius r."""

    def inside(px, py):
        if px < x0 or px > x1 or py < y0 or py > y1:
            return False
        cx = min(max(px, x0 + r), x1 - r)
        cy = min(max(py, y0 + r), y1 - r)
        return (px - cx) ** 2 + (py - cy) ** 2 <= r * r + 1e-9

    return inside


def ring(outer, inner):
    return lambda px, py: outer(px, py) and not inner(px, py)


def in_segment(ax, ay, bx, by, width):
    """Point test of a thick line segment."""
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy

    def inside(px, py):
        t = 0.0 if ll == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / ll))
        qx, qy = ax + t * dx - px, ay + t * dy - py
        return qx * qx + qy * qy <= (width / 2.0) ** 2

    return inside


def union(*shapes):
    return lambda px, py: any(s(px, py) for s in shapes)


def in_circle(cx, cy, r):
    return lambda px, py: (px - cx) ** 2 + (py - cy) ** 2 <= r * r


def in_polygon(points):
    def inside(px, py):
        c = False
        n = len(points)
        for i in range(n):
            (x1, y1), (x2, y2) = points[i], points[(i + 1) % n]
            if (y1 > py) != (y2 > py) and px < (x2 - x1) * (py - y1) / (y2 - y1) + x1:
                c = not c
        return c

    return inside


# ---- Skin entries --------------------------------------------------------------------------------


class Entry:
    """One picture key: frames side by side; for mask type 1 each frame's mask lies below it."""

    def __init__(self, section, key, frames, kind, mask_type, margins=None, draw_mode=0, border_width=0,
                 matte=None):
        self.section, self.key, self.frames, self.kind = section, key, frames, kind
        self.mask_type, self.margins = mask_type, margins or (0, 0, 0, 0)
        self.draw_mode, self.border_width, self.matte = draw_mode, border_width, matte
        self.fw, self.fh = frames[0].w, frames[0].h
        assert all(f.w == self.fw and f.h == self.fh for f in frames), (section, key)
        assert len(frames) <= 9 and draw_mode <= 9 and border_width <= 9
        self.w = self.fw * len(frames)
        self.h = self.fh * (mask_type + 1)
        self.x = self.y = 0
        self.shared = None  # the entry whose rectangle this one names

    def value(self):
        src = self.shared or self
        L, T, R, B = src.x, src.y, src.x + self.w, src.y + self.h
        if self.kind == "border":
            wl, wt, wr, wb = self.margins
            return "^%04d^%04d^%04d^%04d^%04d^%04d^%04d^%04d^%d^%d^%d^%d" % (
                L, T, R, B, wl, wt, wr, wb, len(self.frames), self.mask_type, self.draw_mode, self.border_width)
        return "@%04d@%04d@%04d@%04d@%d@%d" % (L, T, R, B, len(self.frames), self.mask_type)

    def render(self, master):
        """Writes the entry's pixels into the master picture (a list of RGB rows)."""
        for n, f in enumerate(self.frames):
            for y in range(self.fh):
                for x in range(self.fw):
                    rgb, a, outside = f.pixel(x, y)
                    X, Y = self.x + n * self.fw + x, self.y + y
                    if self.mask_type == 0:
                        # Opaque pictures: partly covered pixels are laid over the matte (the
                        # colour the picture is meant to stand on); uncovered ones are key-coloured
                        # unless the picture has a matte.
                        if outside or (a == 0 and self.matte is None):
                            master[Y][X] = KEY
                        else:
                            master[Y][X] = mix(self.matte or BG_FORM, rgb, a / 255.0)
                    else:
                        if outside:
                            master[Y][X] = KEY
                            mask = 255
                        else:
                            master[Y][X] = rgb if a else (0, 0, 0)
                            mask = 255 - a
                        master[Y + self.fh][X] = (mask, mask, mask)


# ---- Drawing the pictures ------------------------------------------------------------------------


def window_border(active, radius_top, radius_bottom, size=12):
    """The form frame: a one-pixel outline with rounded corners; inside it the form shows through."""
    p = Picture(size, size)
    outline = ACCENT_DIM if active else (0x3A, 0x3A, 0x40)
    r1, r2 = radius_top, radius_bottom

    def shape(px, py):
        top = py < size / 2
        r = r1 if top else r2
        return in_round_rect(0, 0, size, size, r)(px, py)

    def inner(px, py):
        top = py < size / 2
        r = max(r1 if top else r2, 1) - 1
        return in_round_rect(1, 1, size - 1, size - 1, r)(px, py)

    p.shape(ring(shape, inner), outline, aa=False)
    p.mark_outside(shape)
    return p


def title_border(active, radius, size=12):
    """The title bar's outline: top and sides only, rounded at the top, with a faint highlight
    line under the top edge."""
    p = Picture(size, size)
    outline = ACCENT_DIM if active else (0x3A, 0x3A, 0x40)
    shape = in_round_rect(0, 0, size, size + radius + 2, radius)
    inner = in_round_rect(1, 1, size - 1, size + radius + 2, max(radius - 1, 0))
    p.shape(ring(shape, inner), outline, aa=False)
    hl = in_round_rect(1, 1, size - 1, size + radius + 2, max(radius - 1, 0))
    hl2 = in_round_rect(1, 2, size - 1, size + radius + 2, max(radius - 1, 0))
    p.shape(ring(hl, hl2), (0xFF, 0xFF, 0xFF), alpha=22 if active else 12, aa=False)
    p.mark_outside(shape)
    return p


def rounded_outline(size, radius, color, inner_color=None, inner_alpha=0, mark=True):
    p = Picture(size, size)
    shape = in_round_rect(0, 0, size, size, radius)
    inner = in_round_rect(1, 1, size - 1, size - 1, max(radius - 1, 0))
    p.shape(ring(shape, inner), color, aa=False)
    if inner_color is not None:
        inner2 = in_round_rect(2, 2, size - 2, size - 2, max(radius - 2, 0))
        p.shape(ring(inner, inner2), inner_color, alpha=inner_alpha, aa=False)
    if mark:
        p.mark_outside(shape)
    return p


def plain_outline(w, h, color, fill=None, sides="ltrb"):
    """An opaque frame for mask type 0: one-pixel lines on the given sides, fill elsewhere."""
    p = Picture(w, h)
    p.fill(0, 0, w, h, fill or BG_FORM)
    if "l" in sides:
        p.fill(0, 0, 1, h, color)
    if "r" in sides:
        p.fill(w - 1, 0, w, h, color)
    if "t" in sides:
        p.fill(0, 0, w, 1, color)
    if "b" in sides:
        p.fill(0, h - 1, w, h, color)
    return p


def tab_frame(state, size=12, radius=3):
    """A tab standing on its lower edge: outline on the top and the sides; the selected tab gets an
    accent line along its top."""
    p = Picture(size, size)
    color = {0: LINE_SOFT, 1: LINE, 2: LINE}[state]
    shape = in_round_rect(0, 0, size, size + radius + 2, radius)
    inner = in_round_rect(1, 1, size - 1, size + radius + 2, max(radius - 1, 0))
    p.shape(ring(shape, inner), color, aa=False)
    if state == 2:
        accent = in_round_rect(0, 0, size, size + radius + 2, radius)
        below = lambda px, py: py >= 2
        p.shape(lambda px, py: accent(px, py) and not below(px, py), ACCENT, aa=False)
    p.mark_outside(shape)
    return p


def caption_button(w, h, glyph, state, close=False, small=False):
    """A caption button: the glyph alone when normal, on a rounded plate when hot or pressed."""
    p = Picture(w, h)
    if state:
        plate = (CLOSE_HOT if state == 1 else CLOSE_PRESSED) if close else (BG_HOT if state == 1 else ACCENT_DIM)
        p.shape(in_round_rect(0, 0, w, h, 3), plate)
    color = TEXT_HOT if state else GLYPH
    s = 8 if small else 10  # glyph box
    gx, gy = (w - s) / 2.0, (h - s) / 2.0
    draw_caption_glyph(p, glyph, gx, gy, s, color)
    # Pixels that nothing covers stay transparent (skipped when the glyph is drawn).
    for i in range(w * h):
        if p.a[i] == 0:
            p.outside[i] = True
    return p


def draw_caption_glyph(p, glyph, gx, gy, s, color):
    lw = 1.25
    if glyph == "close":
        # An odd box on whole pixels: the two strokes cross in one pixel.
        x0, y0, n = int(gx), int(gy), s - 1
        p.shape(union(in_segment(x0 + 0.5, y0 + 0.5, x0 + n - 0.5, y0 + n - 0.5, lw),
                      in_segment(x0 + n - 0.5, y0 + 0.5, x0 + 0.5, y0 + n - 0.5, lw)), color)
    elif glyph == "max":
        x0, y0 = int(round(gx)), int(round(gy))
        p.shape(ring(lambda px, py: x0 <= px < x0 + s and y0 <= py < y0 + s,
                     lambda px, py: x0 + 1 <= px < x0 + s - 1 and y0 + 2 <= py < y0 + s - 1), color, aa=False)
    elif glyph == "norm":
        x0, y0 = int(round(gx)), int(round(gy))
        d = 2 if s >= 10 else 2
        back = ring(lambda px, py: x0 + d <= px < x0 + s and y0 <= py < y0 + s - d,
                    lambda px, py: x0 + d + 1 <= px < x0 + s - 1 and y0 + 1 <= py < y0 + s - d - 1)
        front_box = lambda px, py: x0 <= px < x0 + s - d and y0 + d <= py < y0 + s
        front = ring(front_box, lambda px, py: x0 + 1 <= px < x0 + s - d - 1 and y0 + d + 2 <= py < y0 + s - 1)
        p.shape(lambda px, py: back(px, py) and not front_box(px, py), color, aa=False)
        p.shape(front, color, aa=False)
    elif glyph == "min":
        x0, y0 = int(round(gx)), int(round(gy))
        p.fill(x0, y0 + s - 2, x0 + s, y0 + s - 1, color)
    elif glyph == "help":
        cx = gx + s / 2.0
        top = in_segment(cx - 2.5, gy + 2.6, cx - 1.2, gy + 0.9, lw)
        arc = union(in_segment(cx - 1.2, gy + 0.9, cx + 1.2, gy + 0.9, lw),
                    in_segment(cx + 1.2, gy + 0.9, cx + 2.6, gy + 2.4, lw),
                    in_segment(cx + 2.6, gy + 2.4, cx + 1.0, gy + 4.4, lw),
                    in_segment(cx + 1.0, gy + 4.4, cx + 0.2, gy + 5.6, lw),
                    in_segment(cx + 0.2, gy + 5.6, cx + 0.2, gy + s - 3.2, lw))
        dot = in_circle(cx + 0.2, gy + s - 0.9, 0.85)
        p.shape(union(top, arc, dot), color)


def check_box(size, kind, state):
    """Check boxes and radio buttons: kind is 'checked', 'unchecked', 'grayed', 'radiochecked',
    'radiounchecked' or 'radiograyed'; state 0 normal, 1 hot or focused, 2 pressed."""
    p = Picture(size, size)
    radio = kind.startswith("radio")
    on = kind.endswith("checked") and not kind.endswith("unchecked")
    border = ACCENT if (state or on) else (0x6E, 0x6E, 0x76)
    face = BG_DEEP if state < 2 else (0x2A, 0x2A, 0x2E)
    if radio:
        c = size / 2.0
        p.shape(in_circle(c, c, c - 0.2), border)
        p.shape(in_circle(c, c, c - 1.3), face)
        if on:
            p.shape(in_circle(c, c, size * 0.22), ACCENT_HOT if state else ACCENT)
        elif kind.endswith("grayed"):
            p.shape(in_circle(c, c, size * 0.2), (0x6E, 0x6E, 0x76))
    else:
        if on:
            p.shape(in_round_rect(0, 0, size, size, 2), ACCENT_HOT if state == 1 else ACCENT, aa=False)
            s = size / 13.0
            p.shape(union(in_segment(3.0 * s, 6.6 * s, 5.4 * s, 9.0 * s, 1.7 * s),
                          in_segment(5.4 * s, 9.0 * s, 10.0 * s, 3.8 * s, 1.7 * s)), TEXT_HOT)
        else:
            p.shape(in_round_rect(0, 0, size, size, 2), border, aa=False)
            p.shape(in_round_rect(1, 1, size - 1, size - 1, 1), face, aa=False)
            if kind == "grayed":
                m = max(3, size // 4)
                p.fill(m, m, size - m, size - m, ACCENT_DIM if not state else ACCENT)
    for i in range(size * size):
        if p.a[i] == 0:
            p.outside[i] = True
    return p


def menu_check(state, size=16):
    p = Picture(size, size)
    color = TEXT_HOT if state else TEXT
    p.shape(union(in_segment(4.0, 8.4, 6.8, 11.2, 1.6), in_segment(6.8, 11.2, 12.0, 5.0, 1.6)), color)
    for i in range(size * size):
        if p.a[i] == 0:
            p.outside[i] = True
    return p


def grip(size=12):
    p = Picture(size, size)
    for row in range(3):
        for col in range(3 - row):
            x = size - 3 - col * 4
            y = size - 3 - row * 4
            p.fill(x, y, x + 2, y + 2, (0x80, 0x80, 0x88))
    for i in range(size * size):
        if p.a[i] == 0:
            p.outside[i] = True
    return p


def arrow_glyph(direction, state, size=9):
    """A small chevron pointing in direction ('up', 'down', 'left', 'right')."""
    p = Picture(size, size)
    color = {0: (0x8E, 0x8E, 0x96), 1: TEXT, 2: ACCENT_HOT}[state]
    c = size / 2.0
    if direction == "down":
        pts = [(c - 3.5, c - 1.5), (c + 3.5, c - 1.5), (c, c + 2.0)]
    elif direction == "up":
        pts = [(c - 3.5, c + 1.5), (c + 3.5, c + 1.5), (c, c - 2.0)]
    elif direction == "left":
        pts = [(c + 1.5, c - 3.5), (c + 1.5, c + 3.5), (c - 2.0, c)]
    else:
        pts = [(c - 1.5, c - 3.5), (c - 1.5, c + 3.5), (c + 2.0, c)]
    p.shape(in_polygon(pts), color)
    for i in range(size * size):
        if p.a[i] == 0:
            p.outside[i] = True
    return p


def slider(horizontal, state, length=16, thickness=16):
    """A scroll-bar thumb: a slim pill on the track. Opaque (mask type 0): around the pill lies the
    track colour, so the thumb fits the bar whatever the engine fills under it."""
    w, h = (length, thickness) if horizontal else (thickness, length)
    p = Picture(w, h)
    p.fill(0, 0, w, h, BG_TRACK)
    color = (0x5A, 0x5A, 0x62) if state == 0 else (0x7C, 0x7C, 0x86)
    inset = 4
    if horizontal:
        p.shape(in_round_rect(1, inset, w - 1, h - inset, (h - 2 * inset) / 2.0), color)
    else:
        p.shape(in_round_rect(inset, 1, w - inset, h - 1, (w - 2 * inset) / 2.0), color)
    return p


# ---- The skin ------------------------------------------------------------------------------------


def grad(top, bottom):
    """A vertical gradient of one stop over the whole height."""
    return "%d;%d;100;0;0" % (tcolor(top), tcolor(bottom))


def build():
    entries = []

    def add(section, key, frames, kind="border", mask_type=1, margins=None, draw_mode=0, border_width=0, matte=None):
        e = Entry(section, key, frames, kind, mask_type, margins, draw_mode, border_width, matte)
        entries.append(e)
        return e

    def share(section, key, other):
        """A key of another section that shows the same picture (the same rectangle)."""
        e = Entry(section, key, other.frames, other.kind, other.mask_type, other.margins, other.draw_mode,
                  other.border_width, other.matte)
        e.shared = other
        entries.append(e)
        return e

    # Forms and title bars.
    form = add("FORM", "BORDERSMASK", [window_border(False, 7, 3, 16), window_border(True, 7, 3, 16)],
               margins=(7, 7, 7, 7))
    share("DIALOG", "BORDERSMASK", form)
    add("FORMTITLE", "BORDERSMASK", [title_border(False, 7, 16), title_border(True, 7, 16)], margins=(7, 7, 7, 0))

    # Caption buttons: normal, hot, pressed.
    for key, glyph, w in (("BICONCLOSE", "close", 30), ("BICONMAX", "max", 28), ("BICONNORM", "norm", 28),
                          ("BICONMIN", "min", 28), ("BICONHELP", "help", 28)):
        add("GLOBALINFO", key, [caption_button(w, 20, glyph, s, close=glyph == "close") for s in range(3)], "glyph")
    for key, glyph in (("SICONCLOSE", "close"), ("SICONMAX", "max"), ("SICONNORM", "norm"), ("SICONMIN", "min"),
                       ("SICONHELP", "help")):
        add("GLOBALINFO", key, [caption_button(18, 16, glyph, s, close=glyph == "close", small=True)
                                for s in range(3)], "glyph")
    add("GLOBALINFO", "TITLEBUTTON", [caption_button(28, 20, None, s) for s in range(3)], "glyph")

    # Check boxes and radio buttons.
    for prefix, size in (("", 13), ("SMALL", 11)):
        kinds = [("BOXCHECKED", "checked"), ("BOXUNCHECKED", "unchecked"), ("BOXGRAYED", "grayed")]
        if prefix:
            kinds = [(k.replace("BOX", "SMALL"), v) for k, v in kinds]
        else:
            kinds += [("RADIOCHECKED", "radiochecked"), ("RADIOUNCHECKED", "radiounchecked"),
                      ("RADIOGRAYED", "radiograyed")]
        for key, kind in kinds:
            add("GLOBALINFO", key, [check_box(size, kind, s) for s in range(3)], "glyph")
    add("GLOBALINFO", "CHECK", [menu_check(0), menu_check(1)], "glyph")
    add("GLOBALINFO", "GRIPIMAGE", [grip()], "glyph")

    # Buttons: normal, hot, pressed; the key-coloured corners round the window.
    add("BUTTON", "BORDERSMASK", [rounded_outline(9, 3, LINE), rounded_outline(9, 3, ACCENT),
                                  rounded_outline(9, 3, ACCENT, ACCENT_DIM, 150)], margins=(3, 3, 3, 3))
    # Tool buttons show a border only when hot or pressed (draw mode 2).
    add("TOOLBUTTON", "BORDERSMASK", [rounded_outline(9, 3, LINE), rounded_outline(9, 3, LINE),
                                      rounded_outline(9, 3, ACCENT)], margins=(3, 3, 3, 3), draw_mode=2)
    add("COLHEADER", "BORDERSMASK", [plain_outline(4, 4, LINE_SOFT, BG_RAISED, "rb")],
        mask_type=0, margins=(0, 0, 1, 1), matte=BG_RAISED)
    add("GROUPBOX", "BORDERSMASK", [rounded_outline(9, 3, LINE_SOFT, mark=False)], margins=(3, 3, 3, 3))

    # Edits: normal and hot/focused.
    add("EDIT", "BORDERSMASK", [plain_outline(3, 3, LINE, BG_DEEP), plain_outline(3, 3, ACCENT, BG_DEEP)],
        mask_type=0, margins=(1, 1, 1, 1), border_width=1, matte=BG_DEEP)
    add("COMBOBOX", "GLYPHMASK", [arrow_glyph("down", s) for s in range(3)], "glyph")
    add("PANEL_LOW", "BORDERSMASK", [plain_outline(3, 3, (0x1A, 0x1A, 0x1C), BG_DEEP)], mask_type=0,
        margins=(1, 1, 1, 1), border_width=1, matte=BG_DEEP)
    add("GAUGE", "BORDERSMASK", [plain_outline(3, 3, LINE, BG_DEEP)], mask_type=0, margins=(1, 1, 1, 1),
        border_width=1, matte=BG_DEEP)
    add("HINT", "BORDERSMASK", [plain_outline(3, 3, LINE, BG_RAISED)], mask_type=0, margins=(1, 1, 1, 1),
        border_width=1, matte=BG_RAISED)

    # Menus.
    add("MAINMENU", "BORDERSMASK", [plain_outline(7, 7, LINE, BG_MENU)], mask_type=0, margins=(3, 3, 3, 3),
        border_width=3, matte=BG_MENU)
    add("MENUITEM", "BORDERSMASK", [rounded_outline(9, 3, ACCENT_DIM), rounded_outline(9, 3, ACCENT_DIM)],
        margins=(3, 3, 3, 3), draw_mode=2)
    sep = Picture(3, 2)
    sep.fill(0, 0, 3, 1, LINE_SOFT)
    sep.fill(0, 1, 3, 2, BG_MENU)
    add("DIVIDERV", "BORDERSMASK", [sep], mask_type=0, margins=(1, 1, 1, 1), matte=BG_MENU)
    div = Picture(2, 3)
    div.fill(0, 0, 1, 3, (0x1A, 0x1A, 0x1C))
    div.fill(1, 0, 2, 3, LINE_SOFT)
    add("DIVIDER", "BORDERSMASK", [div], mask_type=0, margins=(1, 1, 1, 1), matte=BG_FORM)

    # Scroll bars: thumbs (normal, hot) and arrow glyphs (normal, hot, pressed).
    add("SCROLLSLIDERH", "BORDERSMASK", [slider(True, s) for s in range(2)], mask_type=0, margins=(6, 8, 6, 8),
        matte=BG_TRACK)
    add("SCROLLSLIDERV", "BORDERSMASK", [slider(False, s) for s in range(2)], mask_type=0, margins=(8, 6, 8, 6),
        matte=BG_TRACK)
    for section, direction in (("SCROLLBTNLEFT", "left"), ("SCROLLBTNRIGHT", "right"), ("SCROLLBTNTOP", "up"),
                               ("SCROLLBTNBOTTOM", "down")):
        add(section, "GLYPHMASK", [arrow_glyph(direction, s) for s in range(3)], "glyph")

    # Tabs: normal, hot, selected; drawn standing on the page and turned for the other sides.
    tabs = [tab_frame(s) for s in range(3)]
    add("TABTOP", "BORDERSMASK", tabs, margins=(4, 4, 4, 0))
    add("TABBOTTOM", "BORDERSMASK", [t.transformed("flipv") for t in tabs], margins=(4, 0, 4, 4))
    add("TABLEFT", "BORDERSMASK", [t.transformed("left") for t in tabs], margins=(4, 4, 0, 4))
    add("TABRIGHT", "BORDERSMASK", [t.transformed("right") for t in tabs], margins=(0, 4, 4, 4))
    page = add("PAGECONTROL", "BORDERSMASK", [plain_outline(3, 3, LINE_SOFT, BG_FORM)], mask_type=0,
               margins=(1, 1, 1, 1), border_width=1, matte=BG_FORM)
    for section in ("PAGECONTROLBOTTOM", "PAGECONTROLLEFT", "PAGECONTROLRIGHT"):
        share(section, "BORDERSMASK", page)

    sections = build_sections()
    return entries, sections


def build_sections():
    """The sections of the options text: (name, [(key, value) ...]) in file order; picture keys are
    added after these values."""
    S = []

    def sec(name, **values):
        S.append((name, [(k.upper(), v) for k, v in values.items()]))

    sec("GLOBALINFO", version="7.00", author="Tavisko TV", description="Dark skin of the channel viewer",
        masterbitmap="MASTER.BMP", borderwidth=4, titleheight=26, maxheight=0, formoffset=0, centeroffset=0,
        bordermode=0, bordercolor=tcolor(LINE_DARK), shadow1color=0, shadow1offset=0, shadow1blur=-1,
        shadow1transparency=0, bispace=1, bivalign=0, biright=2, bileft=2, bikeephue=0, biconcloseglow=0,
        biconcloseglowmargin=0, biconmaxglow=0, biconmaxglowmargin=0, biconminglow=0, biconminglowmargin=0,
        color=tcolor(BG_FORM), fontcolor=tcolor(TEXT), hotcolor=tcolor(BG_HOT), hotfontcolor=tcolor(TEXT_HOT))

    # Forms: the client colour is HOTCOLOR while active, COLOR otherwise; title state 1 = active.
    sec("FORM", color=tcolor(BG_FORM), hotcolor=tcolor(BG_FORM), fontcolor=tcolor(TEXT), hotfontcolor=tcolor(TEXT),
        giveownfont="TRUE")
    sec("FORMTITLE", color=tcolor((0x2F, 0x2F, 0x33)), hotcolor=tcolor((0x33, 0x33, 0x38)),
        gradientpercent=100, gradientdata=grad((0x33, 0x33, 0x37), (0x2D, 0x2D, 0x31)),
        hotgradientpercent=100, hotgradientdata=grad((0x3B, 0x3B, 0x41), (0x2F, 0x2F, 0x34)),
        fontcolor=tcolor(TEXT_DIM), hotfontcolor=tcolor(TEXT))
    sec("DIALOG", parentclass="FORM")
    sec("MDIAREA", color=tcolor(BG_DEEP), hotcolor=tcolor(BG_DEEP))

    # Menus.
    sec("MENULINE", color=tcolor(BG_FORM), hotcolor=tcolor(BG_FORM), fontcolor=tcolor(TEXT),
        hotfontcolor=tcolor(TEXT_HOT))
    sec("MAINMENU", color=tcolor(BG_MENU), hotcolor=tcolor(BG_MENU), fontcolor=tcolor(TEXT),
        hotfontcolor=tcolor(TEXT_HOT))
    sec("MENUITEM", color=tcolor(BG_MENU), transparency=100, hotcolor=tcolor(ACCENT_SEL), hottransparency=0,
        fontcolor=tcolor(TEXT), hotfontcolor=tcolor(TEXT_HOT))
    sec("ICOLINE", color=tcolor((0x2C, 0x2C, 0x30)), hotcolor=tcolor((0x2C, 0x2C, 0x30)))
    sec("EXTRALINE", color=tcolor(ACCENT_DIM), gradientpercent=100,
        gradientdata="%d;%d;100;1;0" % (tcolor(ACCENT_DIM), tcolor((0x22, 0x3F, 0x5E))), fontcolor=tcolor(TEXT_HOT))
    sec("DIVIDERV", color=tcolor(BG_MENU))
    sec("DIVIDER", color=tcolor(BG_FORM))

    # Buttons.
    sec("BUTTON", color=tcolor(BG_RAISED), hotcolor=tcolor(BG_HOT),
        gradientpercent=100, gradientdata=grad((0x40, 0x40, 0x46), (0x35, 0x35, 0x3A)),
        hotgradientpercent=100, hotgradientdata=grad((0x4A, 0x4A, 0x51), (0x3E, 0x3E, 0x44)),
        fontcolor=tcolor(TEXT), hotfontcolor=tcolor(TEXT_HOT), showfocus="TRUE", fadingenabled="TRUE",
        fadingiterations=4)
    sec("SPEEDBUTTON", parentclass="BUTTON")
    sec("SPEEDBUTTON_SMALL", parentclass="BUTTON")
    sec("UPDOWNBTN", parentclass="BUTTON")
    sec("TOOLBUTTON", color=tcolor(BG_FORM), transparency=100, hotcolor=tcolor(BG_HOT), hottransparency=0,
        fontcolor=tcolor(TEXT), hotfontcolor=tcolor(TEXT_HOT))
    sec("WEBBUTTON", color=tcolor(BG_FORM), transparency=100, hotcolor=tcolor(BG_FORM), hottransparency=100,
        fontcolor=tcolor(ACCENT_HOT), hotfontcolor=tcolor((0x8C, 0xC2, 0xF5)))
    sec("COLHEADER", color=tcolor(BG_RAISED), hotcolor=tcolor(BG_HOT),
        gradientpercent=100, gradientdata=grad((0x3C, 0x3C, 0x42), (0x33, 0x33, 0x38)),
        fontcolor=tcolor(TEXT), hotfontcolor=tcolor(TEXT_HOT))

    sec("SPLITTER", color=tcolor((0x3A, 0x3A, 0x40)), hotcolor=tcolor(ACCENT))

    # Labels, check boxes and the plain containers.
    sec("CHECKBOX", color=tcolor(BG_FORM), transparency=100, hotcolor=tcolor(BG_FORM), hottransparency=100,
        fontcolor=tcolor(TEXT), hotfontcolor=tcolor(TEXT_HOT))
    sec("RADIOBUTTON", parentclass="CHECKBOX")
    sec("GROUPBOX", color=tcolor(BG_FORM), transparency=100, hotcolor=tcolor(BG_FORM), hottransparency=100,
        fontcolor=tcolor(TEXT), hotfontcolor=tcolor(TEXT))
    sec("PANEL", color=tcolor(BG_FORM), hotcolor=tcolor(BG_FORM), fontcolor=tcolor(TEXT),
        hotfontcolor=tcolor(TEXT), giveownfont="TRUE")
    sec("PANEL_LOW", color=tcolor((0x26, 0x26, 0x29)), hotcolor=tcolor((0x26, 0x26, 0x29)),
        fontcolor=tcolor(TEXT), hotfontcolor=tcolor(TEXT))
    sec("HINT", color=tcolor(BG_RAISED), hotcolor=tcolor(BG_RAISED), fontcolor=tcolor(TEXT),
        hotfontcolor=tcolor(TEXT))

    # Edits.
    sec("EDIT", color=tcolor(BG_DEEP), hotcolor=tcolor((0x22, 0x22, 0x26)), fontcolor=tcolor(TEXT),
        hotfontcolor=tcolor(TEXT_HOT))
    sec("COMBOBOX", parentclass="EDIT")
    sec("COMBOBTN", color=tcolor(BG_DEEP), transparency=100, hotcolor=tcolor(BG_HOT), hottransparency=0)

    # Scroll bars: the track halves before and after the thumb, the thumbs, the arrow buttons.
    for name in ("SCROLLBAR1H", "SCROLLBAR2H", "SCROLLBAR1V", "SCROLLBAR2V"):
        sec(name, color=tcolor(BG_TRACK), hotcolor=tcolor(BG_TRACK))
    sec("SCROLLSLIDERH", color=tcolor((0x5A, 0x5A, 0x62)), hotcolor=tcolor((0x7C, 0x7C, 0x86)))
    sec("SCROLLSLIDERV", color=tcolor((0x5A, 0x5A, 0x62)), hotcolor=tcolor((0x7C, 0x7C, 0x86)))
    for name in ("SCROLLBTNLEFT", "SCROLLBTNRIGHT", "SCROLLBTNTOP", "SCROLLBTNBOTTOM"):
        sec(name, color=tcolor(BG_TRACK), hotcolor=tcolor((0x34, 0x34, 0x3A)))

    # Tabs and pages.
    for name in ("TABTOP", "TABBOTTOM", "TABLEFT", "TABRIGHT"):
        sec(name, color=tcolor((0x29, 0x29, 0x2D)), hotcolor=tcolor((0x34, 0x34, 0x39)), fontcolor=tcolor(TEXT_DIM),
            hotfontcolor=tcolor(TEXT))
    sec("PAGECONTROL", color=tcolor(BG_FORM), hotcolor=tcolor(BG_FORM), fontcolor=tcolor(TEXT),
        hotfontcolor=tcolor(TEXT))
    for name in ("PAGECONTROLBOTTOM", "PAGECONTROLLEFT", "PAGECONTROLRIGHT"):
        sec(name, parentclass="PAGECONTROL")
    sec("TABSHEET", color=tcolor(BG_FORM), hotcolor=tcolor(BG_FORM), fontcolor=tcolor(TEXT),
        hotfontcolor=tcolor(TEXT))

    # Bars.
    sec("TOOLBAR", color=tcolor(BG_FORM), hotcolor=tcolor(BG_FORM), gradientpercent=100,
        gradientdata=grad((0x32, 0x32, 0x37), (0x2B, 0x2B, 0x2F)), fontcolor=tcolor(TEXT), hotfontcolor=tcolor(TEXT))
    sec("STATUSBAR", color=tcolor(BG_MENU), hotcolor=tcolor(BG_MENU), fontcolor=tcolor(TEXT_DIM),
        hotfontcolor=tcolor(TEXT))
    sec("BAR", color=tcolor(BG_FORM), hotcolor=tcolor(BG_FORM), fontcolor=tcolor(TEXT), hotfontcolor=tcolor(TEXT))
    sec("BARTITLE", color=tcolor(BG_RAISED), hotcolor=tcolor(BG_HOT), fontcolor=tcolor(TEXT),
        hotfontcolor=tcolor(TEXT_HOT))
    sec("DRAGBAR", color=tcolor(BG_RAISED), hotcolor=tcolor(BG_HOT))
    sec("GAUGE", color=tcolor(BG_DEEP), hotcolor=tcolor(ACCENT), fontcolor=tcolor(TEXT), hotfontcolor=tcolor(TEXT_HOT))
    sec("TRACKBAR", color=tcolor(BG_FORM), transparency=100, hotcolor=tcolor(BG_FORM), hottransparency=100)
    return S


# ---- Files ---------------------------------------------------------------------------------------


def pack_atlas(entries, width):
    """Shelf packing, tallest first; returns the atlas height."""
    order = sorted((e for e in entries if e.shared is None), key=lambda e: (-e.h, -e.w))
    x = y = shelf = 0
    for e in order:
        assert e.w <= width, (e.section, e.key)
        if x + e.w > width:
            x, y, shelf = 0, y + shelf + 1, 0
        e.x, e.y = x, y
        x += e.w + 1
        shelf = max(shelf, e.h)
    return y + shelf


def bmp_bytes(rows):
    """A 24-bit bottom-up BMP of the rows (lists of RGB tuples)."""
    h, w = len(rows), len(rows[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - w * 3)
        data += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


def png_bytes(rows):
    """A 24-bit RGB PNG of the rows."""
    h, w = len(rows), len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for r, g, b in row:
            raw += bytes((r, g, b))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def options_text(sections, entries):
    lines = ["; Options of the program's default dark skin. Generated by tools/skin/make_skin.py.",
             "; Colours are $00BBGGRR written as decimal numbers; state 1 of forms and title bars is",
             "; the active window.", ""]
    pictures = {}
    for e in entries:
        pictures.setdefault(e.section, []).append(e)
    names = [n for n, _ in sections]
    for sec in pictures:
        assert sec in names, "picture of a section without values: " + sec
    for name, values in sections:
        lines.append("[%s]" % name)
        for k, v in values:
            lines.append("%s=%s" % (k, v))
        for e in pictures.get(name, []):
            lines.append("%s=%s" % (e.key, e.value()))
        lines.append("")
    return "\r\n".join(lines).encode("ascii")


def pack(files):
    """The packed skin: "ASzf", the count, then per file the name length, the name, the inflated size
    and a zlib stream."""
    out = bytearray(b"ASzf") + struct.pack("<I", len(files))
    for name, data in files:
        nb = name.encode("ascii")
        out += struct.pack("<I", len(nb)) + nb + struct.pack("<I", len(data)) + zlib.compress(data, 9)
    return bytes(out)


def manifest(sections, entries):
    lines = ["// Generated by tools/skin/make_skin.py: what the default skin promises. Do not edit.",
             "// Sections, in file order.", "#define SKINART_SECTIONS \\"]
    lines += ['  "%s", \\' % n for n, _ in sections]
    lines[-1] = lines[-1][:-2]
    lines += ["", "// Pictures: section, key, kind (0 border, 2 glyph), frame width, frame height, frames,",
              "// mask type, margins WL, WT, WR, WB, draw mode.", "#define SKINART_PICTURES \\"]
    for e in entries:
        wl, wt, wr, wb = e.margins
        lines.append('  {"%s", "%s", %d, %d, %d, %d, %d, %d, %d, %d, %d, %d}, \\' % (
            e.section, e.key, 0 if e.kind == "border" else 2, e.fw, e.fh, len(e.frames), e.mask_type,
            wl, wt, wr, wb, e.draw_mode))
    lines[-1] = lines[-1][:-2]
    return ("\n".join(lines) + "\n").encode("ascii")


# ---- Preview: a mock window composed as the engine paints -----------------------------------------


class Canvas:
    def __init__(self, w, h, color):
        self.w, self.h = w, h
        self.px = [[color] * w for _ in range(h)]

    def fill(self, x0, y0, x1, y1, color):
        for y in range(max(0, y0), min(self.h, y1)):
            row = self.px[y]
            for x in range(max(0, x0), min(self.w, x1)):
                row[x] = color

    def gradient(self, x0, y0, x1, y1, top, bottom):
        for y in range(y0, y1):
            self.fill(x0, y, x1, y + 1, mix(top, bottom, (y - y0) / max(1, y1 - y0 - 1)))


def master_pixel(master, e, x, y):
    return master[e.y + y][e.x + x]


def put(canvas, master, e, frame, sx, sy, dx, dy, cut=None):
    """One pixel of an entry's frame onto the canvas, by the entry's mask type. Key pixels are
    skipped, or, with cut (the colour behind a window), cut out as a window region would be."""
    if not (0 <= dx < canvas.w and 0 <= dy < canvas.h):
        return
    fx = frame * e.fw + sx
    c = master_pixel(master, e, fx, sy)
    if c == KEY:
        if cut is not None:
            canvas.px[dy][dx] = cut
        return
    if e.mask_type:
        m = master_pixel(master, e, fx, sy + e.fh)[0]
        d = canvas.px[dy][dx]
        c = tuple(max(0, min(255, ((d[k] - c[k]) * m + c[k] * 256) >> 8)) for k in range(3))
    canvas.px[dy][dx] = c


def nine_slice(canvas, master, e, state, x0, y0, x1, y1, cut=None):
    """The border mask over (x0, y0, x1, y1): corners, tiled sides; no centre. With cut, the key
    pixels of the corners are cut out (see put)."""
    if state == 0 and e.draw_mode & 2:
        return
    frame = min(state, len(e.frames) - 1)
    wl, wt, wr, wb = e.margins
    W, H = x1 - x0, y1 - y0
    if W < wl + wr:
        d = (wl + wr - W) // 2
        wl, wr = max(0, wl - d), max(0, wr - d - (W % 2))
    if H < wt + wb:
        d = (wt + wb - H) // 2
        wt, wb = max(0, wt - d), max(0, wb - d - (H % 2))
    cw, ch = max(0, e.fw - wl - wr), max(0, e.fh - wt - wb)
    for y in range(H):
        if y < wt:
            sy = y
        elif y >= H - wb:
            sy = e.fh - (H - y)
        else:
            if ch == 0:
                continue
            sy = wt + (y - wt) % ch
        for x in range(W):
            if x < wl:
                sx = x
            elif x >= W - wr:
                sx = e.fw - (W - x)
            else:
                if y >= wt and y < H - wb:
                    continue  # centre
                if cw == 0:
                    continue
                sx = wl + (x - wl) % cw
            corner = (x < wl or x >= W - wr) and (y < wt or y >= H - wb)
            put(canvas, master, e, frame, sx, sy, x0 + x, y0 + y, cut if corner else None)


def glyph(canvas, master, e, state, x, y):
    frame = min(state, len(e.frames) - 1)
    for sy in range(e.fh):
        for sx in range(e.fw):
            put(canvas, master, e, frame, sx, sy, x + sx, y + sy)


def text(canvas, x, y, s, color):
    """Stand-in for text: small blocks per letter (the preview judges colours, not type)."""
    for i, ch in enumerate(s):
        if ch != " ":
            canvas.fill(x + i * 6, y + 2, x + i * 6 + 4, y + 9, mix(canvas.px[y + 5][x + i * 6], color, 0.8))


def preview(entries, sections, master, path):
    E = {(e.section, e.key): e for e in entries}
    V = {n: dict(v) for n, v in sections}

    def col(section, key):
        n = V[section].get(key.upper())
        if n is None and "PARENTCLASS" in V[section]:
            return col(V[section]["PARENTCLASS"], key)
        return (n & 255, (n >> 8) & 255, (n >> 16) & 255)

    W, H = 560, 330
    desktop = (0x6A, 0x7B, 0x8C)
    c = Canvas(W, H, desktop)  # a desktop behind the window
    wx0, wy0, wx1, wy1 = 20, 20, W - 20, H - 20
    band = 3 + 23  # system frame + caption height
    for active, (ax0, ay0) in ((True, (wx0, wy0)),):
        c.fill(ax0, ay0, wx1, wy1, col("FORM", "HOTCOLOR"))
        nine_slice(c, master, E[("FORM", "BORDERSMASK")], 1, ax0, ay0, wx1, wy1, desktop)
        c.gradient(ax0, ay0, wx1, ay0 + band, (0x3B, 0x3B, 0x41), (0x2F, 0x2F, 0x34))
        nine_slice(c, master, E[("FORMTITLE", "BORDERSMASK")], 1, ax0, ay0, wx1, ay0 + band, desktop)
        text(c, ax0 + 12, ay0 + 8, "Tavisko TV 4.0", col("FORMTITLE", "HOTFONTCOLOR"))
        x = wx1 - 2 - 3
        for key, state in (("BICONCLOSE", 1), ("BICONMAX", 0), ("BICONMIN", 0)):
            e = E[("GLOBALINFO", key)]
            x -= e.fw
            glyph(c, master, e, state, x, ay0 + (band - e.fh) // 2)
            x -= 1
    cx, cy = wx0 + 3, wy0 + band
    # Menu line.
    text(c, cx + 8, cy + 4, "File  View  Help", col("MENULINE", "FONTCOLOR"))
    cy += 20
    # Buttons in three states.
    for i, state in enumerate((0, 1, 2)):
        bx, by = cx + 14 + i * 92, cy + 10
        top, bottom = ((0x40, 0x40, 0x46), (0x35, 0x35, 0x3A)) if state == 0 else ((0x4A, 0x4A, 0x51), (0x3E, 0x3E, 0x44))
        c.gradient(bx, by, bx + 84, by + 25, top, bottom)
        nine_slice(c, master, E[("BUTTON", "BORDERSMASK")], state, bx, by, bx + 84, by + 25)
        text(c, bx + 24, by + 8, "Button", col("BUTTON", "HOTFONTCOLOR" if state else "FONTCOLOR"))
    # Edit, normal and focused.
    for i, state in enumerate((0, 1)):
        ex, ey = cx + 14 + i * 140, cy + 48
        c.fill(ex, ey, ex + 130, ey + 22, col("EDIT", "HOTCOLOR" if state else "COLOR"))
        nine_slice(c, master, E[("EDIT", "BORDERSMASK")], state, ex, ey, ex + 130, ey + 22)
        text(c, ex + 6, ey + 6, "Channel 1", col("EDIT", "FONTCOLOR"))
    # Combo box with its drop-down glyph.
    ex, ey = cx + 294, cy + 48
    c.fill(ex, ey, ex + 130, ey + 22, col("EDIT", "COLOR"))
    nine_slice(c, master, E[("EDIT", "BORDERSMASK")], 0, ex, ey, ex + 130, ey + 22)
    glyph(c, master, E[("COMBOBOX", "GLYPHMASK")], 1, ex + 130 - 15, ey + 7)
    text(c, ex + 6, ey + 6, "Choose", col("EDIT", "FONTCOLOR"))
    # Check boxes and radio buttons.
    row = [("BOXUNCHECKED", 0), ("BOXCHECKED", 0), ("BOXCHECKED", 1), ("BOXGRAYED", 0), ("RADIOUNCHECKED", 1),
           ("RADIOCHECKED", 0), ("SMALLCHECKED", 0), ("SMALLUNCHECKED", 0)]
    for i, (key, state) in enumerate(row):
        e = E[("GLOBALINFO", key)]
        glyph(c, master, e, state, cx + 14 + i * 52, cy + 84)
        text(c, cx + 14 + i * 52 + 16, cy + 82, "abc", col("CHECKBOX", "FONTCOLOR"))
    # A group box.
    gx, gy = cx + 14, cy + 108
    nine_slice(c, master, E[("GROUPBOX", "BORDERSMASK")], 0, gx, gy, gx + 200, gy + 120)
    # Tabs over a page.
    px0, py0 = gx + 10, gy + 34
    c.fill(px0, py0, px0 + 180, py0 + 76, col("PAGECONTROL", "COLOR"))
    nine_slice(c, master, E[("PAGECONTROL", "BORDERSMASK")], 0, px0, py0, px0 + 180, py0 + 76)
    for i, state in enumerate((2, 0, 1)):
        tx = px0 + 2 + i * 58
        h = 22 if state == 2 else 20
        c.fill(tx, py0 - h + 1, tx + 56, py0 + 1, col("TABTOP", "HOTCOLOR" if state else "COLOR") if state != 2
               else col("PAGECONTROL", "COLOR"))
        nine_slice(c, master, E[("TABTOP", "BORDERSMASK")], state, tx, py0 - h + 1, tx + 56, py0 + 1)
        text(c, tx + 12, py0 - h + 7, "Tab", col("TABTOP", "HOTFONTCOLOR" if state else "FONTCOLOR"))
    # Scroll bars: a vertical one along a list, and a horizontal one.
    lx, ly = cx + 240, cy + 108
    c.fill(lx, ly, lx + 180, ly + 120, col("EDIT", "COLOR"))
    nine_slice(c, master, E[("EDIT", "BORDERSMASK")], 0, lx, ly, lx + 180, ly + 120)
    for i in range(6):
        y = ly + 4 + i * 18
        if i == 2:
            c.fill(lx + 1, y, lx + 180 - 17, y + 18, ACCENT_SEL)
        text(c, lx + 6, y + 4, "Channel %d" % (i + 1), TEXT)
    sx0, sy0, sx1, sy1 = lx + 180 - 17, ly + 1, lx + 180 - 1, ly + 119
    c.fill(sx0, sy0, sx1, sy1, col("SCROLLBAR1V", "COLOR"))
    glyph(c, master, E[("SCROLLBTNTOP", "GLYPHMASK")], 0, sx0 + 4, sy0 + 4)
    glyph(c, master, E[("SCROLLBTNBOTTOM", "GLYPHMASK")], 1, sx0 + 4, sy1 - 13)
    c.fill(sx0, sy0 + 30, sx1, sy0 + 70, col("SCROLLSLIDERV", "COLOR"))
    nine_slice(c, master, E[("SCROLLSLIDERV", "BORDERSMASK")], 0, sx0, sy0 + 30, sx1, sy0 + 70)
    hx0, hy0 = lx + 190, ly
    c.fill(hx0, hy0, hx0 + 90, hy0 + 16, col("SCROLLBAR1H", "COLOR"))
    c.fill(hx0 + 20, hy0, hx0 + 60, hy0 + 16, col("SCROLLSLIDERH", "HOTCOLOR"))
    nine_slice(c, master, E[("SCROLLSLIDERH", "BORDERSMASK")], 1, hx0 + 20, hy0, hx0 + 60, hy0 + 16)
    glyph(c, master, E[("SCROLLBTNLEFT", "GLYPHMASK")], 0, hx0 + 4, hy0 + 4)
    glyph(c, master, E[("SCROLLBTNRIGHT", "GLYPHMASK")], 2, hx0 + 90 - 13, hy0 + 4)
    # A popup menu with a hot item and a check mark.
    mx0, my0 = lx + 190, ly + 26
    mw, mh = 90, 100
    c.fill(mx0, my0, mx0 + mw, my0 + mh, col("MAINMENU", "COLOR"))
    c.fill(mx0 + 3, my0 + 3, mx0 + 3 + 24, my0 + mh - 3, col("ICOLINE", "COLOR"))
    nine_slice(c, master, E[("MAINMENU", "BORDERSMASK")], 0, mx0, my0, mx0 + mw, my0 + mh)
    for i in range(4):
        iy = my0 + 3 + i * 22
        if i == 1:
            c.fill(mx0 + 3, iy, mx0 + mw - 3, iy + 20, col("MENUITEM", "HOTCOLOR"))
            nine_slice(c, master, E[("MENUITEM", "BORDERSMASK")], 1, mx0 + 3, iy, mx0 + mw - 3, iy + 20)
        if i == 0:
            glyph(c, master, E[("GLOBALINFO", "CHECK")], 0, mx0 + 5, iy + 2)
        if i == 2:
            nine_slice(c, master, E[("DIVIDERV", "BORDERSMASK")], 0, mx0 + 30, iy + 10, mx0 + mw - 6, iy + 12)
            continue
        text(c, mx0 + 32, iy + 5, "Item", col("MENUITEM", "HOTFONTCOLOR" if i == 1 else "FONTCOLOR"))
    # Splitter and grip.
    c.fill(wx1 - 40, cy, wx1 - 39, wy1 - 3, col("SPLITTER", "COLOR"))
    e = E[("GLOBALINFO", "GRIPIMAGE")]
    glyph(c, master, e, 0, wx1 - 3 - e.fw, wy1 - 3 - e.fh)
    # The caption buttons, every state, under the window.
    with open(path, "wb") as f:
        f.write(png_bytes(c.px))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.normpath(os.path.join(here, "..", ".."))
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--out", default=os.path.join(root, "app", "res", "skin"))
    ap.add_argument("--manifest", default=os.path.join(root, "tests", "app", "skinart_manifest.inc"))
    ap.add_argument("--preview", help="also write a mock window (PNG) to this file")
    ap.add_argument("--master-png", help="also write the master bitmap as PNG to this file")
    args = ap.parse_args()

    entries, sections = build()
    width = 256
    height = pack_atlas(entries, width)
    master = [[KEY] * width for _ in range(height)]
    for e in entries:
        if e.shared is None:
            e.render(master)

    os.makedirs(args.out, exist_ok=True)
    options = options_text(sections, entries)
    bmp = bmp_bytes(master)
    files = [("Options.dat", options), ("Master.bmp", bmp)]
    for name, data in files:
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(data)
    with open(os.path.join(args.out, "DefaultBlack.asz"), "wb") as f:
        f.write(pack(files))
    with open(args.manifest, "wb") as f:
        f.write(manifest(sections, entries))
    if args.preview:
        preview(entries, sections, master, args.preview)
    if args.master_png:
        scaled = [[p for p in row for _ in range(3)] for row in master for _ in range(3)]
        with open(args.master_png, "wb") as f:
            f.write(png_bytes(scaled))
    print("skin: %d sections, %d pictures, master %dx%d, pack %d bytes" % (
        len(sections), len(entries), width, height, os.path.getsize(os.path.join(args.out, "DefaultBlack.asz"))))


if __name__ == "__main__":
    sys.exit(main())
