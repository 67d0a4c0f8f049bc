"""Bitmap 117: Boss 3, a storm-cloud face with two cheeks that throw seeds.

Face 320 x 160 centred (160, 80): core (mouth) hit around (0, +48), guns at
(+-58, +71), rings leave from the nose at (0, +20); cheeks 80 x 80 sit at (+-82, +20).
"""
import math

import numpy as np

from pictures.canvas import Layer, Sheet

OUT = '#16121e'
CLOUD = '#a6a4bc'


def cloud_mask(L, puffs):
    m = np.zeros_like(L.a)
    for x, y, r in puffs:
        m = np.maximum(m, L.circle(x, y, r))
    return m


def face():
    L = Layer(320, 160)
    puffs = [(160, 70, 66), (90, 80, 52), (230, 80, 52), (40, 96, 36), (280, 96, 36), (120, 40, 40),
             (200, 40, 40), (160, 110, 48), (60, 60, 30), (260, 60, 30)]
    m = cloud_mask(L, puffs)
    L.body(m, CLOUD, outline=OUT, ow=1.6, radius=9, spec=0.2)
    # guns under the chin at (+-58, +71) -> (102, 151), (218, 151)
    for gx in (102, 218):
        L.body(L.rect(gx - 6, 132, gx + 6, 152), '#6a6684', outline=OUT, ow=1.2, radius=2)
        L.paint(L.ellipse(gx, 151, 5, 2), '#1e1828')
    # brows and eyes
    for s in (-1, 1):
        ex = 160 + s * 48
        L.paint(L.line([(ex - s * 22, 34), (ex + s * 16, 42)], 5), '#4a4660')
        L.paint(L.ellipse(ex, 58, 15, 11), OUT)
        L.paint(L.ellipse(ex, 58, 13, 9), '#e8e4f0')
        L.paint(L.circle(ex + s * -3, 60, 5.5), '#3a3070')
        L.paint(L.circle(ex + s * -4, 57, 1.8), '#ffffff')
    # nose where the rings come from (0, +20) -> (160, 100)
    L.body(L.ellipse(160, 96, 11, 8), '#b8a8c4', outline=OUT, ow=1.0, radius=3)
    # mouth: the core, hit around (0, +48) -> (160, 128)
    L.paint(L.ellipse(160, 128, 30, 15), OUT)
    L.paint(L.ellipse(160, 129, 27, 12), '#3c1830')
    L.ball(160, 130, 9, '#c0506e', outline=None, ow=0, spec=0.7)
    for s in (-1, 1):
        L.paint(L.polygon([(160 + s * 20, 118), (160 + s * 12, 118), (160 + s * 16, 124)]), '#f0ecf4')
    return L.resolve()


def cheek():
    """The cheek at +82 (the one on the right of the face); the left one is its mirror."""
    L = Layer(80, 80)
    m = cloud_mask(L, [(40, 40, 30), (26, 50, 18), (56, 30, 16), (50, 56, 16)])
    L.body(m, '#c6a2b6', outline=OUT, ow=1.4, radius=6, spec=0.3)
    L.paint(L.ellipse(42, 42, 18, 12), '#d88ca4', 0.8)
    for k in range(3):
        a = -0.6 + k * 0.6
        L.paint(L.circle(42 + math.cos(a) * 12, 50 + math.sin(a) * 6, 3), '#4a2a3a')
    L.paint(L.ellipse(32, 28, 7, 4, angle=-0.4), '#f4e6ee', 0.8)
    return L.resolve()


def build():
    sh = Sheet(320, 296)
    sh.put(0, 0, face())
    c = cheek()
    sh.put(80, 160, c)
    sh.put(0, 160, c, flip_x=True)
    return sh.px


BITMAPS = {117: build}
