"""Bitmap 114: Boss 1, a bell-shaped gun tower.

Geometry from the boss code, as offsets from the sprite centre (64, 96): the core
that shots must hit at (0, +48) (radius 50), guns at (+-58, +71), the cannon
muzzle at (0, +94).
"""
import numpy as np

from pictures.canvas import Layer

OUT = '#120e1c'
STEEL = '#7c7f9c'
DARK = '#4c4a68'


def build():
    L = Layer(128, 192)
    cx = 64
    # spire and fins (upper half, no guns there)
    L.body(L.polygon([(cx, 4), (cx + 9, 40), (cx + 12, 100), (cx - 12, 100), (cx - 9, 40)]), STEEL, outline=OUT,
           ow=1.3, radius=3)
    for s in (-1, 1):
        L.body(L.polygon([(cx + s * 8, 44), (cx + s * 34, 82), (cx + s * 30, 104), (cx + s * 10, 92)]), DARK,
               outline=OUT, ow=1.2, radius=2.5)
    L.paint(L.circle(cx, 28, 3.5), '#d8c070')
    # gun arms out to (+-58, +71) -> (6, 167) and (122, 167)
    for s in (-1, 1):
        gx = cx + s * 58
        L.body(L.polygon([(cx + s * 20, 128), (gx + s * 2, 150), (gx + s * 2, 160), (cx + s * 24, 150)]), DARK,
               outline=OUT, ow=1.2, radius=2.5)
        L.body(L.rect(gx - 5, 146, gx + 5, 166), STEEL, outline=OUT, ow=1.2, radius=2)
        L.paint(L.ellipse(gx, 166, 4.5, 2.2), '#20182c')
    # the bell: main body around the core
    bell = np.maximum(L.ellipse(cx, 140, 42, 40), L.polygon([(cx - 30, 106), (cx + 30, 106), (cx + 40, 140),
                                                             (cx - 40, 140)]))
    L.body(bell, '#8e86ac', outline=OUT, ow=1.5, radius=6)
    L.paint(L.ring(cx, 144, 30, 27), '#5a5478')
    # cannon at (0, +94) -> (64, 190)
    L.body(L.rect(cx - 7, 170, cx + 7, 190), STEEL, outline=OUT, ow=1.2, radius=2)
    L.paint(L.ellipse(cx, 189, 5.5, 2), '#20182c')
    # the core: a green lens in a dark socket, centred where shots hit
    L.paint(L.circle(cx, 144, 20), '#1c1628')
    L.ball(cx, 144, 17, '#4e9e6a', outline=None, ow=0, spec=0.8)
    L.paint(L.circle(cx, 144, 7), '#1e3a2a')
    L.paint(L.circle(cx - 6, 137, 3), '#d8f0e0', 0.9)
    return L.resolve()


BITMAPS = {114: build}
