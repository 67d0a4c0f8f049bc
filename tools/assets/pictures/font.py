"""Bitmap 107: the text font (codes 32..126 in 8 x 16 cells), menu cursor and highlight bar."""
import numpy as np

from pictures.canvas import Layer, Sheet
from pictures.glyphs import GLYPHS

INK_TOP = np.array((255, 255, 255), np.float32)
INK_BOTTOM = np.array((188, 206, 255), np.float32)
SHADOW = (16, 14, 40)
GLYPH_X, GLYPH_Y = 1, 4


def glyph_mask(code):
    return np.array(GLYPHS[code], bool) if code in GLYPHS else np.zeros((9, 5), bool)


def draw_glyph(px, x, y, code):
    """Paint one glyph with its shadow into px at the cell whose top left is (x, y)."""
    m = glyph_mask(code)
    gy, gx = y + GLYPH_Y, x + GLYPH_X
    for dy, dx in ((1, 1), (0, 1), (1, 0)):
        region = px[gy + dy:gy + dy + 9, gx + dx:gx + dx + 5]
        region[m] = SHADOW
    for r in range(9):
        t = min(1.0, max(0.0, (r - 0.0) / 7.0))
        c = (INK_TOP * (1 - t) + INK_BOTTOM * t).astype(np.uint8)
        row = px[gy + r, gx:gx + 5]
        row[m[r]] = c


def cursor(frame):
    """16 x 16 arrow pointing right at the chosen entry, bobbing over four frames."""
    L = Layer(16, 16)
    off = (0, 1, 2, 1)[frame]
    pts = [(2 + off, 3), (13 + off, 8), (2 + off, 13), (5 + off, 8)]
    m = L.polygon(pts)
    glow = (255, 236, 150) if frame == 2 else (255, 214, 96)
    L.body(m, glow, outline='#2a1408', radius=1.2, dark=0.6)
    return L.resolve()


def highlight_bar():
    """64 x 16 dark bar behind the first eight characters of the chosen entry."""
    w, h = 64, 16
    px = np.zeros((h, w, 3), np.uint8)
    for y in range(1, 15):
        for x in range(w):
            fade = x / (w - 1)
            edge = y in (1, 14)
            # dither the right end away so the bar reads as translucent
            if fade > 0.55 and ((x + y) % 2 == 1 or fade > 0.85 and (x % 3 or y % 2)):
                continue
            if edge:
                c = (70, 110, 200) if fade < 0.8 else (50, 80, 160)
            else:
                k = 1 - abs(y - 7.5) / 7.5
                c = (int(14 + 18 * k), int(22 + 28 * k), int(60 + 60 * k))
            px[y, x] = c
    px[2:14, 0] = (70, 110, 200)
    return px


def build():
    sh = Sheet(128, 144)
    for code in range(32, 127):
        draw_glyph(sh.px, (code % 16) * 8, (code // 16) * 16, code)
    for i in range(4):
        sh.put(i * 16, 128, cursor(i))
    sh.put(64, 128, highlight_bar())
    return sh.px


BITMAPS = {107: build}
