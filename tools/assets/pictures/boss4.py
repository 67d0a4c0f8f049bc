"""Bitmap 119: Boss 4, a sky manta with stepped wings, and its bubbles.

Body 640 x 200 centred (320, 100).  The hull follows the six hit rectangles of
the boss code: centre block x 211..429 / y 24..164, wing steps x 86..211 and
429..554 / y 96..176, wing tips x 5..86 and 554..635 / y 151..192.  Emitters sit
at (+-253, +62), (+-167, +27), (+-78, +4) and the aimed gun at (0, +58).
"""
import math

import numpy as np

from pictures.canvas import Layer, Sheet

OUT = '#100e1a'
SKIN = '#6e7a9a'
BELLY = '#9aa2b8'


def body():
    L = Layer(640, 200, ss=2)
    half = [(320, 16), (372, 22), (430, 60), (440, 92), (556, 120), (640, 150), (636, 194), (560, 190),
            (520, 176), (430, 170), (400, 168), (340, 176), (320, 178)]
    pts = half + [(640 - x, y) for x, y in reversed(half)]
    m = L.polygon(pts)
    L.body(m, SKIN, outline=OUT, ow=1.6, radius=10, spec=0.3)
    # belly plate and spine ridge
    L.paint(L.ellipse(320, 110, 70, 48), BELLY, 0.55)
    L.paint(L.line([(320, 20), (320, 96)], 4), '#4e587a')
    # wing ribs along the steps
    for s in (-1, 1):
        for k, (ax, ay, bx, by) in enumerate(((380, 70, 550, 130), (380, 110, 600, 170), (430, 150, 560, 180))):
            L.paint(L.line([(320 + s * (ax - 320), ay), (320 + s * (bx - 320), by)], 2.2), '#505a7c')
    # eyes near the front
    for s in (-1, 1):
        L.paint(L.ellipse(320 + s * 34, 56, 11, 7), OUT)
        L.paint(L.ellipse(320 + s * 34, 56, 9, 5), '#e0c060')
        L.paint(L.ellipse(320 + s * 34, 56, 2.5, 4.5), '#201810')
    # emitters: small vents at the six points, the aimed gun at the mouth
    for ex, ey in ((67, 162), (153, 127), (242, 104)):
        for x in (ex, 640 - ex):
            L.paint(L.circle(x, ey, 9), OUT)
            L.ball(x, ey, 7, '#8a6aa8', outline=None, ow=0, spec=0.5)
            L.paint(L.circle(x, ey + 1, 3), '#241a34')
    L.paint(L.ellipse(320, 158, 18, 10), OUT)
    L.paint(L.ellipse(320, 158, 15, 7), '#3a2a40')
    L.paint(L.ellipse(320, 160, 6, 3), '#180e1c')
    return L.resolve()


def bubble(frame):
    L = Layer(32, 32)
    wob = (0, 1, 0, -1)[frame]
    m = L.ellipse(16, 16, 12 + wob, 12 - wob)
    L.paint(L.grow(m, 1), '#1a2030')
    L.paint(m, '#6c7ea4')
    L.paint(L.ellipse(16, 16, 10 + wob, 10 - wob), '#8494b8')
    L.paint(L.ellipse(11, 10, 4, 2.5, angle=-0.6), '#e6ecf8')
    L.paint(L.circle(21, 21, 1.5), '#c8d2ea')
    return L.resolve()


def build():
    sh = Sheet(640, 300)
    sh.put(0, 0, body())
    for i in range(4):
        sh.put(32 * i, 200, bubble(i))
    return sh.px


BITMAPS = {119: build}
