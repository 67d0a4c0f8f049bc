"""Bitmap 125: the side panel left of the playfield; the window shows it mirrored on the right,
so the design is a frame whose inner edge (x = 159) borders the playfield and which has no text."""
import math

import numpy as np

from pictures.canvas import Layer, value_noise


def build():
    W, H = 160, 600
    L = Layer(W, H, ss=2)
    n = value_noise(W * 2, H * 2, 80, seed=303, octaves=4)
    y = L.Y / H
    base = np.stack([22 + 18 * n + 10 * y, 24 + 20 * n + 6 * y, 44 + 30 * n], 2)
    L.paint(np.ones_like(L.a), base)
    # drifting cloud wisps, dim
    for k in range(7):
        cy = 50 + k * 88
        cx = 40 + 50 * math.sin(k * 1.7)
        puff = np.maximum(L.ellipse(cx, cy, 46, 14), L.ellipse(cx + 20, cy - 8, 26, 12))
        L.paint(puff, L.shaded(puff, (58, 64, 96), radius=6, dark=0.7, spec=0.0), 0.8)
    # the pillar along the playfield edge
    pillar = L.rect(136, 0, 160, H)
    L.paint(pillar, L.shaded(L.rect(136, -20, 164, H + 20), (80, 84, 118), radius=4))
    L.paint(L.rect(157, 0, 160, H), (150, 170, 220))
    L.paint(L.rect(136, 0, 138, H), (14, 12, 28))
    # gems set in the pillar every 100 pixels
    for k in range(6):
        gy = 50 + k * 100
        L.paint(L.circle(148, gy, 8), (14, 12, 28))
        g = L.circle(148, gy, 6.5)
        L.paint(g, L.shaded(g, (90, 150, 220) if k % 2 == 0 else (220, 150, 90),
                            normals=L.sphere_normals(148, gy, 6.5), spec=0.8))
    # outer border
    L.paint(L.rect(0, 0, 3, H), (14, 12, 28))
    return L.resolve()


BITMAPS = {125: build}
