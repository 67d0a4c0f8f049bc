"""Bitmap 109: the playfield background in three moods, stacked (normal, small bullets, large bullets).

One scene, a sea of cloud banks seen from high above, graded three ways:
normal is dusk slate blue, small bullets cool and calm teal, large bullets hot and
tense red.  Low contrast and desaturated, with nothing round and bright, so no
part of it can be taken for a bullet.  The play scene draws it still, but each
picture also tiles vertically (the noise wraps) should it ever scroll.
"""
import numpy as np

from pictures.canvas import value_noise

W, H = 480, 600

MOODS = {
    # shadow colour, light colour, haze amount
    'normal': ((34, 40, 60), (92, 100, 122), 0.0),
    'small': ((26, 50, 58), (88, 124, 128), 0.12),
    'large': ((58, 26, 30), (130, 82, 70), 0.0),
}


def scene():
    """Height field of the cloud sea (0..1) and its lighting from the upper left."""
    big = value_noise(W, H, 160, seed=101, octaves=5)
    fine = value_noise(W, H, 24, seed=202, octaves=3)
    h = np.clip((big - 0.35) * 2.2, 0, 1) ** 0.8 * 0.85 + fine * 0.15
    gy, gx = np.gradient(h)
    light = np.clip(0.5 - (gx + gy) * 14, 0, 1)
    return h, light


def grade(h, light, mood):
    lo, hi, haze = MOODS[mood]
    lo, hi = np.array(lo, np.float32), np.array(hi, np.float32)
    t = np.clip(0.15 + 0.55 * h + 0.45 * (light - 0.5), 0, 1)[..., None]
    px = lo * (1 - t) + hi * t
    if haze:
        px = px * (1 - haze) + hi * haze
    y = np.arange(H, dtype=np.float32)[:, None]
    if mood == 'large':
        # slow diagonal heat bands, tiling with the picture height
        x = np.arange(W, dtype=np.float32)[None, :]
        band = 0.5 + 0.5 * np.sin((x * 0.6 + y) * 2 * np.pi / (H / 6))
        px = px + (band * 10)[..., None] * np.array((1.0, 0.2, 0.1))
    if mood == 'small':
        # faint horizontal calm lines
        line = ((y.astype(int) % 40) == 0)[..., 0]
        px[line] = px[line] * 0.94 + 6
    return np.clip(np.round(px), 8, 255).astype(np.uint8)


def build():
    h, light = scene()
    return np.concatenate([grade(h, light, m) for m in ('normal', 'small', 'large')], axis=0)


BITMAPS = {109: build}
