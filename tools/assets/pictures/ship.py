"""Bitmap 106: the ship, its pods, shots, HUD icons, items, stock effects, gauges and bonus timer."""
import math

import numpy as np

from pictures.canvas import Layer, Sheet, rgb
from pictures.glyphs import GLYPHS

OUT = '#10121e'
HULL = '#b8c4d8'
TRIM = '#3a66c8'
CORE = '#ff4fa0'


def ship():
    L = Layer(64, 64)
    c = 32
    # engines and wings first (under the fuselage)
    wing = L.polygon([(c - 4, 26), (c - 25, 44), (c - 26, 50), (c - 9, 46), (c - 4, 44)])
    wing = np.maximum(wing, L.polygon([(c + 4, 26), (c + 25, 44), (c + 26, 50), (c + 9, 46), (c + 4, 44)]))
    L.body(wing, TRIM, outline=OUT, radius=2.0)
    for sx in (-1, 1):
        L.paint(L.polygon([(c + sx * 22, 44), (c + sx * 25, 44), (c + sx * 25, 49), (c + sx * 22, 48)]), '#e8eef8')
        # gun pods where the shots leave (±8, -4)
        g = L.rect(c + sx * 8 - 1.5, 22, c + sx * 8 + 1.5, 33)
        L.body(g, '#8894a8', outline=OUT, radius=0.8)
        # engine flames
        L.glow(L.blur(L.ellipse(c + sx * 6, 53, 2.2, 5), 0.8), (255, 170, 70), 1.3)
        L.glow(L.ellipse(c + sx * 6, 52, 1.1, 2.6), (255, 250, 220))
    fus = L.polygon([(c, 8), (c + 7, 24), (c + 8, 44), (c + 5, 51), (c - 5, 51), (c - 8, 44), (c - 7, 24)])
    L.body(fus, HULL, outline=OUT, radius=2.5)
    # canopy
    can = L.ellipse(c, 21, 2.6, 6)
    L.body(can, '#40c8e8', outline='#0e2a40', ow=0.6, radius=1.2, spec=0.9)
    # trim stripes
    for sx in (-1, 1):
        L.paint(L.line([(c + sx * 5, 30), (c + sx * 6, 44)], 1.0), TRIM)
    # the hit point: a small bright core at the exact centre
    L.paint(L.circle(c, c, 3.2), OUT)
    L.paint(L.circle(c, c, 2.4), CORE)
    L.paint(L.circle(c - 0.4, c - 0.4, 1.2), '#fff4fa')
    return L.resolve()


def life_icon():
    L = Layer(16, 16)
    m = L.polygon([(8, 1), (10, 6), (14, 12), (10, 12), (9, 14), (7, 14), (6, 12), (2, 12), (6, 6)])
    L.body(m, HULL, outline=OUT, ow=0.8, radius=1.0)
    L.paint(L.circle(8, 9, 1.3), CORE)
    return L.resolve()


def stock_icon():
    """A round violet token with four arrows pointing in (a stock shrinks the bullets): round and
    violet where the item-count icon is a green diamond."""
    L = Layer(16, 16)
    L.ball(8, 8, 6.6, '#a070ff', outline='#1c0a3a', ow=0.9, spec=0.7)
    for k in range(4):
        a = k * math.pi / 2 + math.pi / 4
        ux, uy = math.cos(a), math.sin(a)
        vx, vy = -uy, ux
        tip = (8 + ux * 1.6, 8 + uy * 1.6)
        base = [(8 + ux * 5.0 + vx * 1.9, 8 + uy * 5.0 + vy * 1.9), (8 + ux * 5.0 - vx * 1.9, 8 + uy * 5.0 - vy * 1.9)]
        L.paint(L.polygon([tip] + base), '#f4ecff')
    L.paint(L.circle(8, 8, 1.0), '#ffffff')
    return L.resolve()


def pod(front):
    L = Layer(16, 16)
    if front:
        for sx in (-1, 1):
            L.body(L.polygon([(8 + sx * 2, 3), (8 + sx * 5, 1), (8 + sx * 6, 7), (8 + sx * 3, 8)]), '#8c9cc0',
                   outline=OUT, ow=0.8, radius=0.8)
    else:
        L.body(L.polygon([(6, 9), (10, 9), (8, 15)]), '#8c9cc0', outline=OUT, ow=0.8, radius=0.8)
    L.ball(8, 8, 4.5, '#7aa8ff', outline=OUT, ow=0.9, spec=0.8)
    L.paint(L.circle(8, 8, 1.6), '#e8f4ff')
    return L.resolve()


def gem(n):
    """Score item worth n: green, blue, gold; bigger and more facets as n grows."""
    L = Layer(32, 32)
    base = ('#4cc85a', '#4a8cff', '#ffc23a')[n - 1]
    r = (8.5, 10, 11.5)[n - 1]
    sides = (4, 6, 8)[n - 1]
    pts = [(16 + r * math.cos(math.pi * 2 * k / sides - math.pi / 2),
            16 + r * math.sin(math.pi * 2 * k / sides - math.pi / 2)) for k in range(sides)]
    m = L.polygon(pts)
    L.body(m, base, outline=OUT, ow=1.2, radius=2.5, spec=0.9)
    inner = L.polygon([(16 + 0.45 * (x - 16), 16 + 0.45 * (y - 16)) for x, y in pts])
    L.paint(inner, rgb(base) * 0.55 + 110)
    L.paint(L.ellipse(13, 12, 2.0, 1.3), '#ffffff', 0.9)
    return L.resolve()


def player_shot(frame, pod_shot):
    L = Layer(32, 32)
    if pod_shot:
        # The pod's shot is the ship's own kind: a slimmer, shorter green needle, so it never
        # reads as an enemy bullet (those are round with a white core).
        ln = 7 + 1.0 * (frame % 2)
        L.glow(L.blur(L.ellipse(16, 16, 2.4, ln), 0.9), (150, 255, 110), 0.8)
        L.paint(L.ellipse(16, 16, 1.3, ln - 1.5), '#c8ff9a')
        L.paint(L.ellipse(16, 15 - frame % 2, 0.6, ln - 3), '#fbfff2')
        return L.resolve(premultiply=True)
    ln = 11 + 1.5 * (frame % 2)
    L.glow(L.blur(L.ellipse(16, 16, 3.5, ln), 1.0), (150, 255, 110), 0.9)
    L.paint(L.ellipse(16, 16, 2.0, ln - 2), '#c8ff9a')
    L.paint(L.ellipse(16, 15 - frame % 2, 1.0, ln - 4), '#fbfff2')
    return L.resolve(premultiply=True)


def spark(frame):
    L = Layer(32, 32)
    r = (11, 9, 6, 3.5)[frame]
    a = frame * 0.4
    for k in range(4):
        ang = a + k * math.pi / 4
        dx, dy = math.cos(ang) * r, math.sin(ang) * r
        L.glow(L.line([(16 - dx, 16 - dy), (16 + dx, 16 + dy)], 1.2 if k % 2 else 2.0), (255, 230, 120), 1.0)
    L.glow(L.circle(16, 16, 4 - frame * 0.8), (255, 255, 240))
    return L.resolve(premultiply=True)


def stock_ring(frame):
    """0x120..0x123: a ring bursting out from the ship (spend) or gathering in (gain)."""
    L = Layer(64, 64)
    r = (8, 15, 22, 29)[frame]
    w = (4.0, 3.2, 2.4, 1.6)[frame]
    fade = (1.0, 0.85, 0.65, 0.45)[frame]
    L.glow(L.blur(L.ring(32, 32, r + w, r - w), 1.5), (80, 255, 190), fade)
    L.glow(L.ring(32, 32, r + w * 0.3, r - w * 0.3), (230, 255, 245), fade)
    for k in range(8):
        ang = k * math.pi / 4 + frame * 0.2
        L.glow(L.circle(32 + math.cos(ang) * r, 32 + math.sin(ang) * r, w * 0.7), (255, 255, 255), fade)
    return L.resolve(premultiply=True)


def aura(frame):
    L = Layer(32, 32)
    for k in range(3):
        ang = frame * math.pi / 6 + k * 2 * math.pi / 3
        x, y = 16 + math.cos(ang) * 12, 16 + math.sin(ang) * 12
        L.glow(L.blur(L.circle(x, y, 2.2), 0.8), (90, 255, 190), 1.0)
        L.glow(L.circle(x, y, 1.0), (240, 255, 250))
    L.glow(L.ring(16, 16, 13, 12), (60, 200, 150), 0.5)
    return L.resolve(premultiply=True)


def gauge_frame():
    px = np.zeros((8, 300, 3), np.uint8)
    px[0, 1:299] = px[7, 1:299] = (200, 210, 230)
    px[1:7, 0] = px[1:7, 299] = (200, 210, 230)
    px[1, 1:299] = (90, 96, 120)
    for x in range(30, 300, 30):
        px[1:3, x] = px[5:7, x] = (150, 160, 190)
    return px


def gauge_bar(hot):
    px = np.zeros((8, 300, 3), np.uint8)
    top, bottom = ((255, 200, 120), (200, 50, 20)) if hot else ((170, 250, 255), (40, 110, 220))
    for y in range(1, 7):
        t = (y - 1) / 5
        px[y, :] = [int(a * (1 - t) + b * t) for a, b in zip(top, bottom)]
    return px


DIGIT_SEGS = {  # seven segments a..g: top, upper right, lower right, bottom, lower left, upper left, middle
    0: 'abcdef', 1: 'bc', 2: 'abged', 3: 'abgcd', 4: 'fgbc', 5: 'afgcd', 6: 'afgedc', 7: 'abc', 8: 'abcdefg',
    9: 'abcdfg'}


def digit(n):
    L = Layer(32, 32)
    x0, x1, y0, y1, y2 = 10, 22, 5, 16, 27
    seg = {'a': [(x0, y0), (x1, y0)], 'b': [(x1, y0), (x1, y1)], 'c': [(x1, y1), (x1, y2)],
           'd': [(x0, y2), (x1, y2)], 'e': [(x0, y1), (x0, y2)], 'f': [(x0, y0), (x0, y1)],
           'g': [(x0, y1), (x1, y1)]}
    m = np.zeros_like(L.a)
    for s in DIGIT_SEGS[n]:
        (ax, ay), (bx, by) = seg[s]
        m = np.maximum(m, L.line([(ax + 0.3 * (ay - y1) / 11, ay), (bx + 0.3 * (by - y1) / 11, by)], 3.4))
    L.body(m, '#ffd050', outline='#2a1400', ow=1.2, radius=1.0, dark=0.6)
    return L.resolve()


def bonus_label():
    L = Layer(64, 32)
    m = np.zeros_like(L.a)
    for i, ch in enumerate('BONUS'):
        g = GLYPHS[ord(ch)]
        for r in range(7):
            for c in range(5):
                if g[r][c]:
                    x, y = 3 + i * 12 + c * 2, 9 + r * 2
                    m = np.maximum(m, L.rect(x, y, x + 2, y + 2))
    L.body(m, '#ffd050', outline='#2a1400', ow=1.0, radius=0.8, dark=0.6)
    return L.resolve()


def build():
    sh = Sheet(512, 256)
    sh.put(0, 0, ship())
    sh.put(0, 160, life_icon())
    sh.put(16, 160, stock_icon())
    sh.put(0, 176, pod(False))
    sh.put(16, 176, pod(True))
    for n in (1, 2, 3):
        sh.put(32 * n, 160, gem(n))
    for f in range(4):
        sh.put(32 * f, 128, player_shot(f, True))
        sh.put(128 + 32 * f, 128, spark(f))
        sh.put(256 + 32 * f, 128, player_shot(f, False))
        sh.put(64 * f, 64, stock_ring(f))
        sh.put(128 + 32 * f, 160, aura(f))
    sh.put(0, 232, gauge_frame())
    sh.put(0, 240, gauge_bar(True))
    sh.put(0, 248, gauge_bar(False))
    for n in range(10):
        sh.put(32 * n, 192, digit(n))
    sh.put(320, 192, bonus_label())
    return sh.px


BITMAPS = {106: build}
