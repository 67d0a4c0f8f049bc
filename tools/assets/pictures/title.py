"""Bitmaps 112 (title picture with the NIMBULON logo in its top 480 x 120), 111 (credit logo),
105 (a spare banner, never drawn) and 124 (the window icon, black transparent)."""
import numpy as np
from PIL import Image

from pictures import ship as ship_art
from pictures.backgrounds import build as backgrounds
from pictures.canvas import Layer, Sheet, MIN_VISIBLE
from pictures.glyphs import GLYPHS

OUT = '#0e0c1e'


def word_mask(L, text, x0, y0, sx, sy, gap, round_=True):
    m = np.zeros_like(L.a)
    for i, ch in enumerate(text):
        g = GLYPHS[ord(ch)]
        for r in range(7):
            for c in range(5):
                if g[r][c]:
                    x, y = x0 + i * (5 * sx + gap) + c * sx, y0 + r * sy
                    if round_:
                        # overlapping round dabs join diagonal strokes smoothly
                        m = np.maximum(m, L.ellipse(x + sx / 2, y + sy / 2, sx * 0.78, sy * 0.78))
                    else:
                        m = np.maximum(m, L.rect(x, y, x + sx, y + sy))
    return m


def logo():
    L = Layer(480, 120, ss=2)
    # cloud bank behind the letters
    cloud = np.zeros_like(L.a)
    for x, y, r in ((60, 78, 30), (110, 66, 38), (170, 74, 34), (240, 62, 44), (310, 72, 36), (370, 66, 38),
                    (420, 78, 30), (240, 86, 30), (140, 88, 24), (340, 88, 24)):
        cloud = np.maximum(cloud, L.circle(x, y, r))
    L.body(cloud, '#8c96c0', outline=OUT, ow=1.5, radius=8, spec=0.2)
    text = 'NIMBULON'
    sx, sy, gap = 9, 10, 10
    w = len(text) * (5 * sx + gap) - gap
    x0, y0 = (480 - w) / 2, 24
    m = word_mask(L, text, x0, y0, sx, sy, gap)
    L.paint(L.grow(m, 3.5), OUT)
    grad = np.clip((L.Y - y0) / (7 * sy), 0, 1)[..., None]
    col = np.array((255, 255, 255), np.float32) * (1 - grad) + np.array((110, 180, 255), np.float32) * grad
    shade = L.shaded(m, (255, 255, 255), radius=2.5, dark=0.55, spec=0.6) / 255.0
    L.paint(m, np.clip(col * shade, 0, 255))
    # a bolt under the name
    bolt = L.polygon([(300, 98), (322, 98), (312, 106), (330, 106), (296, 118), (306, 108), (290, 108)])
    L.body(bolt, '#ffd860', outline=OUT, ow=1.2, radius=1.5)
    return L.resolve()


def title_picture():
    sh = Sheet(480, 600)
    bg = backgrounds()[:600]
    sh.px[120:] = (bg[120:] * 0.7).astype(np.uint8) + 4
    sh.put(0, 0, logo())
    return sh.px


def small_logo(w, h, text, sub=None):
    L = Layer(w, h, ss=2)
    cloud = np.zeros_like(L.a)
    for x, y, r in ((w * 0.3, h * 0.55, h * 0.32), (w * 0.5, h * 0.45, h * 0.4), (w * 0.7, h * 0.55, h * 0.32)):
        cloud = np.maximum(cloud, L.circle(x, y, r))
    L.body(cloud, '#5a6490', outline=OUT, ow=1.2, radius=5, spec=0.2)
    sx, sy, gap = 3, 4, 3
    tw = len(text) * (5 * sx + gap) - gap
    m = word_mask(L, text, (w - tw) / 2, h * 0.5 - 7 * sy / 2 - (6 if sub else 0), sx, sy, gap, round_=False)
    L.paint(L.grow(m, 1.5), OUT)
    L.paint(m, L.shaded(m, '#f4f6ff', radius=1, dark=0.7))
    if sub:
        tw = len(sub) * 12 - 2
        m2 = word_mask(L, sub, (w - tw) / 2, h * 0.5 + 12, 2, 2, 2, round_=False)
        L.paint(L.grow(m2, 1), OUT)
        L.paint(m2, '#ffd860')
    return L.resolve()


def credit():
    px = np.zeros((74, 200, 3), np.uint8)
    px[:73] = small_logo(200, 73, 'NIMBULON', 'TEAM')
    return px


def icon():
    big = Image.fromarray(ship_art.ship())
    small = np.asarray(big.resize((32, 32), Image.LANCZOS)).copy()
    vis = small.max(axis=2) > 24
    small[~vis] = 0
    small[vis] = np.maximum(small[vis], MIN_VISIBLE)
    return small


BITMAPS = {
    112: title_picture,
    111: credit,
    105: lambda: small_logo(272, 78, 'NIMBULON', 'SKY SHOOTER'),
    124: icon,
}
