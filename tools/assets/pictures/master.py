"""Bitmap 121: the final boss (also the tutorial's mentor), a cloud sage, and its three faces.

Body 320 x 310 centred (160, 155), shots hit within 130 of the centre.  The face
overlays (64 x 64 at x 320, y 0 / 64 / 128: calm, angry under large bullets,
startled under small bullets) are drawn over the body at (0, +1), on the face
plate left for them.
"""
import math

import numpy as np

from pictures.canvas import Layer, Sheet

OUT = '#14101e'


def body():
    L = Layer(320, 310, ss=2)
    # Every puff, with its outline, stays inside the cell: the cloud closes on all sides instead
    # of being cut flat where the sprite ends.
    puffs = [(160, 150, 110), (70, 120, 60), (250, 120, 60), (56, 196, 46), (264, 196, 46), (110, 72, 50),
             (210, 72, 50), (160, 62, 50), (160, 234, 62), (94, 244, 48), (226, 244, 48)]
    m = np.zeros_like(L.a)
    for x, y, r in puffs:
        m = np.maximum(m, L.circle(x, y, r))
    L.body(m, '#8c84a8', outline=OUT, ow=2, radius=14, spec=0.25)
    # a long beard of cloud and a crown of lightning rods
    beard = np.zeros_like(L.a)
    for x, y, r in ((160, 200, 34), (136, 218, 24), (184, 218, 24), (160, 240, 28), (146, 264, 18),
                    (174, 264, 18), (160, 284, 14)):
        beard = np.maximum(beard, L.circle(x, y, r))
    L.body(beard, '#c4bed6', outline=OUT, ow=1.5, radius=8)
    for s in (-1, 0, 1):
        x = 160 + s * 44
        L.body(L.polygon([(x - 6, 30 + abs(s) * 12), (x + 6, 30 + abs(s) * 12), (x + 2, 14 + abs(s) * 12),
                          (x - 2, 14 + abs(s) * 12)]), '#c0a060', outline=OUT, ow=1.2, radius=2)
    # face plate under the overlay at (160, 156)
    L.paint(L.circle(160, 156, 36), OUT)
    L.paint(L.circle(160, 156, 34), '#d6cce2')
    # arms folded at the sides
    for s in (-1, 1):
        L.body(L.ellipse(160 + s * 92, 190, 34, 22, angle=s * 0.5), '#7a7298', outline=OUT, ow=1.4, radius=6)
    return L.resolve()


def face(mood):
    L = Layer(64, 64)
    L.paint(L.circle(32, 32, 31), OUT)
    L.paint(L.circle(32, 32, 29), '#e4dcec' if mood != 'large' else '#f0c8c8')
    for s in (-1, 1):
        ex = 32 + s * 11
        if mood == 'normal':
            L.paint(L.line([(ex - 5, 26), (ex + 5, 26)], 2.4), '#2a2040')
            L.paint(L.line([(ex - 7, 19), (ex + 6, 18)], 2), '#6a6080')
        elif mood == 'large':
            L.paint(L.ellipse(ex, 26, 5, 4), '#2a1020')
            L.paint(L.circle(ex, 26, 1.6), '#ffe060')
            L.paint(L.line([(ex - s * 8, 15), (ex + s * 6, 21)], 2.6), '#3a1020')
        else:
            L.paint(L.circle(ex, 25, 6), '#2a2040')
            L.paint(L.circle(ex, 25, 4.5), '#ffffff')
            L.paint(L.circle(ex, 26, 2), '#2a2040')
            L.paint(L.line([(ex - 5, 14), (ex + 5, 13)], 1.6), '#6a6080')
    if mood == 'normal':
        L.paint(L.line([(24, 44), (32, 47), (40, 44)], 2.2), '#5a3050')
    elif mood == 'large':
        L.paint(L.ellipse(32, 45, 11, 7), '#2a0a18')
        for k in range(4):
            L.paint(L.polygon([(24 + k * 5, 39), (28 + k * 5, 39), (26 + k * 5, 43)]), '#f4eef4')
    else:
        L.paint(L.ellipse(32, 46, 4, 5), '#2a0a18')
        L.paint(L.polygon([(50, 12), (54, 20), (50, 22), (47, 19)]), '#80c8f0')
    return L.resolve()


def build():
    sh = Sheet(640, 320)
    sh.put(0, 0, body())
    for i, mood in enumerate(('normal', 'large', 'small')):
        sh.put(320, 64 * i, face(mood))
    return sh.px


BITMAPS = {121: build}
