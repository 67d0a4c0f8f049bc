"""Bitmap 108: enemies, every enemy bullet, the portal, the boss gauge."""
import math

import numpy as np

from pictures.bullets import bullet
from pictures.canvas import Layer, Sheet, rgb

OUT = '#120e1c'


def enemy1():
    L = Layer(64, 64)
    # a saucer drone: wide disc, dome, three dim lamps
    L.body(L.ellipse(32, 36, 27, 11), '#8a7c9a', outline=OUT, ow=1.2, radius=3)
    L.body(L.ellipse(32, 39, 20, 6), '#5e5270', outline=OUT, ow=0.8, radius=2)
    L.ball(32, 29, 11, '#a496b8', outline=OUT, ow=1.2, ry=10)
    L.ball(32, 27, 5, '#d86a8a', outline=OUT, ow=0.8, spec=0.7)
    for dx in (-18, 0, 18):
        L.paint(L.circle(32 + dx, 38 - abs(dx) * 0.1, 2), '#e0d070')
    return L.resolve()


def portal(frame):
    """Opening over frames 0..5, fully open at 6 when the enemy comes out, closing at 7."""
    L = Layer(64, 64)
    size = (0.18, 0.35, 0.55, 0.72, 0.86, 0.95, 1.0, 0.55)[frame]
    R = 28 * size
    d = np.hypot(L.X - 32, L.Y - 32)
    ang = np.arctan2(L.Y - 32, L.X - 32)
    swirl = 0.5 + 0.5 * np.sin(ang * 3 + d * 0.35 - frame * 1.1)
    inside = d <= R
    t = np.clip(d / max(R, 1), 0, 1)
    col = (rgb('#1c0c30')[None, None, :] * (1 - t[..., None]) + rgb('#b04cd0')[None, None, :] * t[..., None])
    col = col * (0.7 + 0.5 * swirl[..., None])
    L.paint(L.ring(32, 32, R + 1.5, R - 0.5), OUT)
    L.paint(inside.astype(np.float32), np.clip(col, 0, 255))
    L.paint(L.ring(32, 32, R, R - 1.6), '#f0b0ff', 0.9)
    return L.resolve()


def pot(lift, squash=0):
    """Pot turret 32 x 64; lift 0..1 is how far it has risen out of the ground."""
    L = Layer(32, 64)
    top = 12 + squash + (1 - lift) * 44
    body_c = top + 26 - squash * 0.5
    if lift < 1:
        # the hole in the ground it rises from
        L.body(L.ellipse(16, 57, 14, 5), '#4a3c34', outline=OUT, ow=1, radius=1.5)
    m = np.maximum(L.ellipse(16, body_c, 12.5, 16 - squash * 0.6), L.rect(10, top, 22, body_c))
    if lift < 1:
        m = m * (L.Y < 57)
    L.body(m, '#b27a52', outline=OUT, ow=1.2, radius=3)
    L.body(L.ellipse(16, top + 1, 8, 2.6) * (L.Y < 57), '#d49a6a', outline=OUT, ow=0.8, radius=1)
    band = L.rect(4, body_c - 3, 28, body_c + 2) * m
    L.paint(band, '#7a4e7a')
    for dx in (-7, 0, 7):
        L.paint(L.circle(16 + dx, body_c - 0.5, 1.3) * m, '#e8c070')
    return L.resolve()


def pot_head(level):
    L = Layer(16, 16)
    glow = ('#6a5a78', '#a070c0', '#e080e0', '#ffc0ff')[level]
    L.ball(8, 8, 5.5, glow, outline=OUT, ow=1, spec=0.6 + 0.1 * level)
    if level == 3:
        L.paint(L.circle(7.5, 7.5, 2), '#ffffff')
    return L.resolve()


def umi(frame):
    """A five-armed star creature turning 9 degrees a frame (72 degrees over eight frames)."""
    L = Layer(64, 64)
    rot = -math.pi / 2 + frame * math.pi * 2 / 5 / 8
    pts = []
    for k in range(10):
        a = rot + k * math.pi / 5
        r = 27 if k % 2 == 0 else 11
        pts.append((32 + math.cos(a) * r, 32 + math.sin(a) * r))
    m = L.polygon(pts)
    L.body(m, '#a2708e', outline=OUT, ow=1.3, radius=4)
    for k in range(5):
        a = rot + k * 2 * math.pi / 5
        for j, rr in enumerate((9, 15, 20)):
            L.paint(L.circle(32 + math.cos(a) * rr, 32 + math.sin(a) * rr, 1.8 - j * 0.3), '#e8c8d8')
    L.ball(32, 32, 7, '#6e4a84', outline=OUT, ow=0.8)
    L.paint(L.circle(30, 30, 2), '#d0b0f0')
    return L.resolve()


def jelly():
    L = Layer(128, 128)
    # tentacles
    for k in range(7):
        x = 30 + k * 11.3
        pts = [(x + 5 * math.sin(j * 0.7 + k), 66 + j * 7) for j in range(8)]
        L.paint(L.line(pts, 4.4), OUT)
        L.paint(L.line(pts, 2.6), '#c490c8')
    d = L.ellipse(64, 56, 50, 40) * (L.Y < 76)
    L.body(d, '#9a86c4', outline=OUT, ow=1.5, radius=8, spec=0.5)
    L.paint(L.ellipse(64, 76, 50, 7), OUT)
    L.paint(L.ellipse(64, 75, 48, 5), '#6e5a9a')
    # inner organs and spots
    L.body(L.ellipse(64, 54, 22, 16), '#c8a8e0', outline='#4a3870', ow=1, radius=4)
    for x, y, r in ((40, 40, 4), (86, 38, 5), (54, 30, 3), (78, 62, 3), (30, 58, 3), (98, 56, 4)):
        L.paint(L.circle(x, y, r), '#b8a0dc')
    L.paint(L.ellipse(48, 32, 10, 5, angle=-0.5), '#e4dcf6', 0.8)
    return L.resolve()


def seed():
    L = Layer(16, 16)
    L.body(L.ellipse(8, 9, 4.5, 5.5, angle=0.5), '#8a6a3a', outline=OUT, ow=1, radius=1.5)
    L.body(L.ellipse(10, 4, 2.5, 1.4, angle=-0.6), '#6a9a48', outline=OUT, ow=0.7, radius=0.6)
    return L.resolve()


def boss_gauge_frame():
    px = np.zeros((16, 256, 3), np.uint8)
    light, mid, dark = (220, 220, 236), (120, 120, 150), (40, 36, 60)
    px[1, 2:254] = light
    px[14, 2:254] = mid
    px[2:14, 1] = light
    px[2:14, 254] = mid
    px[2, 3:253] = dark
    px[13, 3:253] = dark
    px[3:13, 2] = px[3:13, 253] = dark
    return px


def boss_gauge_bar():
    px = np.zeros((16, 248, 3), np.uint8)
    for y in range(3, 13):
        t = (y - 3) / 9
        px[y, 3:248] = (int(255 - 40 * t), int(230 - 150 * t), int(120 - 90 * t))
    px[4, 3:248] = (255, 250, 210)
    return px


def build():
    sh = Sheet(512, 512)
    sh.put(0, 64, enemy1())
    for k in range(4):
        sh.put(16 * k, 128, bullet(16, 5.0, 'A', k))
        sh.put(16 * k, 144, bullet(16, 5.0, 'B', k))
        sh.put(64 + 32 * k, 128, bullet(32, 10.0, 'A', k))
        sh.put(64 + 32 * k, 160, bullet(32, 10.0, 'B', k))
        sh.put(64 * k, 192, bullet(64, 21.0, 'A', k))
        sh.put(64 * k, 256, bullet(64, 21.0, 'B', k))
        sh.put(16 * k, 160, bullet(16, 3.0, 'A', k))
        sh.put(16 * k, 176, bullet(16, 3.0, 'B', k))
    for i in range(8):
        sh.put(64 * i, 320, portal(i))
    for i in range(4):
        sh.put(32 * i, 0, pot((i + 1) / 5))
        sh.put(128 + 32 * i, 0, pot(1.0, (0, 2, 4, 2)[i]))
        sh.put(256 + 16 * i, 0, pot_head(i))
    for i in range(8):
        sh.put(256 + 64 * (i % 4), 64 + 64 * (i // 4), umi(i))
    sh.put(256, 192, jelly())
    sh.put(256, 16, seed())
    sh.put(0, 384, boss_gauge_frame())
    sh.put(0, 400, boss_gauge_bar())
    return sh.px


BITMAPS = {108: build}
