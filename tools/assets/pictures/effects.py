"""Bitmap 110: explosion, muzzle flash, pick-up sparkle, bullet vanish effects, stage 4 islands."""
import math

import numpy as np

from pictures.bullets import vanish
from pictures.canvas import Layer, Sheet, rgb, value_noise


def explosion(frame):
    """Eight frames: a white flash, a fireball that swells, then smoke that thins out."""
    L = Layer(64, 64)
    t = frame / 7
    r = 8 + 20 * math.sqrt(t)
    n = value_noise(64 * 4, 64 * 4, 64, seed=11 + frame, octaves=3)
    d = np.hypot(L.X - 32, L.Y - 32) / r
    body = np.clip(1 - d + (n - 0.5) * 0.6, 0, 1)
    if frame < 5:
        fire = np.clip(body * 2.2 - t * 0.8, 0, 1)
        col = np.stack([np.full_like(fire, 255), 60 + 190 * fire, 20 + 200 * np.clip(fire - 0.5, 0, 1) * 2], 2)
        L.paint((body > 0.05).astype(np.float32), col, 1.0)
        L.a *= np.clip(body * 3, 0, 1)
        if frame < 2:
            L.glow(L.circle(32, 32, 10 - 4 * frame), (255, 255, 240))
    else:
        # Smoke that fades: cool grey puffs, darker and sparser frame by frame, so the last frames
        # melt into the background instead of leaving brown stains on it.
        k = frame - 5                      # 0, 1, 2
        puff = np.clip(body * 2, 0, 1)
        grey = (150, 105, 62)[k] * (0.65 + 0.35 * puff)
        col = np.stack([grey, grey + 4, grey + 12], 2)
        # dissolve on the noise: the share of covered pixels falls each frame
        fine = value_noise(64 * 4, 64 * 4, 20, seed=31 + frame, octaves=2)
        keep = ((puff > 0.08) & (fine + 0.25 * puff > (0.45, 0.62, 0.78)[k])).astype(np.float32)
        L.paint(keep, col)
    return L.resolve(premultiply=frame < 5, cutoff=0.5)


def muzzle(frame):
    L = Layer(32, 32)
    r = (7, 11, 9, 5)[frame]
    for k in range(6):
        a = k * math.pi / 3 + frame * 0.3
        L.glow(L.line([(16, 16), (16 + math.cos(a) * r * 1.3, 16 + math.sin(a) * r * 1.3)], 1.6), (255, 220, 150))
    L.glow(L.blur(L.circle(16, 16, r * 0.7), 1.2), (255, 200, 120), 1.2)
    L.glow(L.circle(16, 16, r * 0.4), (255, 255, 255))
    return L.resolve(premultiply=True)


def pickup(frame):
    L = Layer(32, 32)
    r = 4 + frame * 3.5
    fade = (1, 0.9, 0.7, 0.45)[frame]
    L.glow(L.ring(16, 16, r + 1.2, r - 1.2), (255, 230, 120), fade)
    for k in range(4):
        a = k * math.pi / 2 + math.pi / 4
        x, y = 16 + math.cos(a) * r, 16 + math.sin(a) * r
        L.glow(L.line([(x - 3, y), (x + 3, y)], 1), (255, 255, 230), fade)
        L.glow(L.line([(x, y - 3), (x, y + 3)], 1), (255, 255, 230), fade)
    return L.resolve(premultiply=True)


def island(w, h, shore, seed):
    """Muted land seen from above; shore is 'left' (land on the left), 'right' or 'round'."""
    L = Layer(w, h, ss=2)
    n = value_noise(w * 2, h * 2, 48, seed=seed, octaves=4)
    if shore == 'round':
        d = np.hypot((L.X - w / 2) / (w / 2), (L.Y - h / 2) / (h / 2))
        land = (0.78 - d) + (n - 0.5) * 0.45
    else:
        u = L.X / w if shore == 'left' else 1 - L.X / w
        vy = np.minimum(L.Y, h - L.Y) / h
        land = (0.55 - u) + (n - 0.5) * 0.5 + np.minimum(0, vy * 3.2 - 0.85)
    m = (land > 0).astype(np.float32)
    beach = ((land > 0) & (land < 0.07)).astype(np.float32)
    L.paint(L.grow(m, 1.0), '#26302c')
    L.paint(m, L.shaded(m, '#5e6e4c', radius=3, dark=0.6, spec=0.0))
    L.paint(beach, '#8c8466')
    # a few trees
    rng = np.random.default_rng(seed)
    for _ in range(w * h // 350):
        x, y = rng.random() * w, rng.random() * h
        if land[int(y * 2), int(x * 2)] > 0.15:
            L.paint(L.circle(x + 0.8, y + 0.8, 2.6), '#2c3828')
            L.paint(L.circle(x, y, 2.4), '#4a5c3e')
    return L.resolve()


def build():
    sh = Sheet(512, 256)
    for i in range(8):
        sh.put(64 * i, 0, explosion(i))
    for i in range(4):
        sh.put(32 * i, 128, muzzle(i))
        sh.put(32 * i, 160, pickup(i))
        sh.put(16 * i, 64, vanish(16, 5.0, 'A', i))
        sh.put(16 * i, 80, vanish(16, 5.0, 'B', i))
        sh.put(64 + 32 * i, 64, vanish(32, 10.0, 'A', i))
        sh.put(64 + 32 * i, 96, vanish(32, 10.0, 'B', i))
    sh.put(192, 64, island(320, 64, 'left', 5))
    sh.put(192, 128, island(320, 64, 'right', 6))
    sh.put(128, 128, island(64, 64, 'round', 7))
    return sh.px


BITMAPS = {110: build}
