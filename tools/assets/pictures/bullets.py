"""Enemy bullets in two colour families, the brightest things on screen.

Family A (FireBulletSmallA, FireBulletLargeA): warm orange-red.
Family B (FireBulletSmallB, FireBulletLargeB, FireBulletAccel): cyan-violet.
Every bullet: a thin dark outline, a saturated rim and a white core, so it
reads on any background; the four frames pulse and turn a sparkle.
"""
import math

from pictures.canvas import Layer

FAMILY = {
    'A': {'rim': (255, 72, 24), 'mid': (255, 168, 60), 'glow': (255, 110, 40)},
    'B': {'rim': (150, 70, 255), 'mid': (90, 220, 255), 'glow': (120, 140, 255)},
}


def bullet(cell, radius, family, frame):
    f = FAMILY[family]
    L = Layer(cell, cell)
    c = cell / 2
    pulse = (0.0, 0.06, 0.1, 0.06)[frame]
    r = radius * (1 + pulse * 0.5)
    L.paint(L.circle(c, c, r + max(0.8, radius * 0.12)), (24, 8, 20) if family == 'A' else (10, 10, 36))
    L.paint(L.circle(c, c, r), f['rim'])
    L.paint(L.circle(c, c, r * 0.74), f['mid'])
    L.paint(L.circle(c, c, r * (0.48 + pulse)), (255, 255, 255))
    if radius >= 8:
        # a turning sparkle on the rim
        ang = frame * math.pi / 8 + (0 if family == 'A' else math.pi / 4)
        for k in range(2):
            a = ang + k * math.pi
            L.paint(L.circle(c + math.cos(a) * r * 0.62, c + math.sin(a) * r * 0.62, r * 0.13), (255, 255, 230))
    return L.resolve()


def vanish(cell, radius, family, frame):
    """Bullet vanishing: a ring of its colour that opens and fades over four frames."""
    f = FAMILY[family]
    L = Layer(cell, cell)
    c = cell / 2
    r = radius * (1.0 + 0.35 * frame)
    w = max(0.7, radius * (0.35 - 0.07 * frame))
    fade = (1.0, 0.8, 0.55, 0.35)[frame]
    L.glow(L.ring(c, c, r + w, r - w), f['mid'], fade)
    L.glow(L.ring(c, c, r + w * 0.4, r - w * 0.4), (255, 255, 255), fade * 0.8)
    if frame < 2:
        L.glow(L.circle(c, c, radius * (0.5 - 0.2 * frame)), (255, 255, 255), fade)
    return L.resolve(premultiply=True)
