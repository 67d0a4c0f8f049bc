"""Bitmap 116: Boss 2, the armoured hull that passes in sections, and its heart (the miso).

Hull section 480 x 96 (drawn side by side, so it tiles left to right), centre
(240, 48): armour strip over rows 0..20 across, armour blocks rows 20..53 at
x 0..200 and 280..480, the core socket between them at (240, 30), pot mounts
at (70, 68) and (410, 68).  The lower hull, the upside-down pot and the lower
core are point mirrors.  The wreck (0x506) is drawn after the last section with
the miso at its (277, 144) and a core at (55, 80).
"""
import numpy as np

from pictures.canvas import Layer, Sheet

OUT = '#100e18'
PLATE = '#6c6a80'
PLATE2 = '#585670'
RED = '#8a4a5a'


def hull():
    """Drawn on a wider canvas with every shape repeated one section left and right, then cut,
    so that sections placed side by side join without a seam."""
    M = 40
    L = Layer(480 + 2 * M, 96, ss=2)
    for dx in (M - 480, M, M + 480):
        strip = L.rect(dx, 2, dx + 480, 20)
        L.paint(L.rect(dx, 0, dx + 480, 22), OUT)
        L.paint(strip, PLATE)
        for x in range(0, 480, 40):
            L.paint(L.rect(dx + x, 2, dx + x + 1, 20), '#3a3850')
            for y in (6, 15):
                L.paint(L.circle(dx + x + 20, y, 1.3), '#a4a2b8')
    for dx in (M - 480, M, M + 480):
        # one armour block from 280 to 680 (crossing into the next section), the gap at 200..280
        blk = L.polygon([(dx + 280, 20), (dx + 680, 20), (dx + 672, 53), (dx + 288, 53)])
        L.paint(L.grow(blk, 1.2), OUT)
        L.paint(blk, PLATE2)
        for x in range(290, 680, 60):
            L.paint(L.rect(dx + x, 28, dx + x + 36, 33), RED)
            L.paint(L.rect(dx + x, 28, dx + x + 36, 29), '#b07080')
        L.paint(L.rect(dx + 200, 20, dx + 280, 50), OUT)
        L.paint(L.rect(dx + 204, 20, dx + 276, 46), '#2a2838')
        for px in (70, 410):
            m = L.polygon([(dx + px - 14, 53), (dx + px + 14, 53), (dx + px + 8, 62), (dx + px - 8, 62)])
            L.paint(L.grow(m, 1), OUT)
            L.paint(m, PLATE)
    # light the whole periodic picture at once, then keep the middle section
    mask = L.a.copy()
    L.col = L.col * (L.shaded(mask, (255, 255, 255), radius=2.5) / 255.0)
    return L.resolve()[:, M:M + 480]


def pot():
    """Gun pot hanging under the hull, muzzle down (shoots from (0, +10))."""
    L = Layer(64, 32)
    L.body(L.ellipse(32, 14, 20, 11), '#8c7a92', outline=OUT, ow=1.2, radius=3)
    L.body(L.rect(27, 16, 37, 28), '#5e5470', outline=OUT, ow=1.2, radius=1.5)
    L.paint(L.ellipse(32, 27, 4, 1.8), '#1e1828')
    L.paint(L.circle(32, 11, 4), '#d07090')
    return L.resolve()


def core():
    L = Layer(64, 64)
    L.body(L.polygon([(32, 4), (58, 22), (52, 50), (12, 50), (6, 22)]), '#4a4860', outline=OUT, ow=1.5, radius=4)
    L.ball(32, 30, 15, '#5aa0c0', outline=OUT, ow=1.2, spec=0.9)
    L.paint(L.circle(32, 30, 6), '#1c3448')
    L.paint(L.circle(27, 25, 3), '#e8f6ff', 0.9)
    return L.resolve()


def wreck():
    """Rear of the last section: a hanging gondola that holds the miso."""
    L = Layer(480, 224, ss=2)
    g = np.maximum(L.ellipse(280, 118, 180, 96), L.rect(100, 0, 470, 110))
    g = g * (L.Y < 214)
    L.paint(L.grow(g, 1.5), OUT)
    L.paint(g, L.shaded(g, PLATE2, radius=6))
    # armour ribs
    for x in range(120, 460, 48):
        L.paint(L.rect(x, 6, x + 4, 100) * g, '#403e56')
    # socket for the miso around (277, 144)
    L.paint(L.ellipse(277, 140, 110, 70), OUT)
    L.paint(L.ellipse(277, 140, 104, 64), '#2a2434')
    # core arm to (55, 80)
    arm = L.polygon([(30, 50), (120, 40), (130, 100), (40, 110)])
    L.paint(L.grow(arm, 1.2), OUT)
    L.paint(arm, L.shaded(arm, PLATE, radius=3))
    L.paint(L.circle(55, 80, 24), OUT)
    L.paint(L.circle(55, 80, 21), '#2a2838')
    return L.resolve()


def miso():
    """The heart: a fleshy bulb; hit around (-10, -30) -> (110, 57); guns on its underside."""
    L = Layer(240, 175, ss=2)
    blob = np.zeros_like(L.a)
    for x, y, r in ((110, 60, 62), (70, 80, 40), (150, 82, 42), (110, 100, 42), (60, 50, 30), (160, 50, 30)):
        blob = np.maximum(blob, L.circle(x, y, r))
    L.body(blob, '#a8706a', outline=OUT, ow=1.6, radius=10, spec=0.35)
    # veins and folds
    for pts in (((60, 50), (90, 70), (110, 60)), ((150, 45), (130, 75), (150, 100)), ((80, 110), (110, 95), (140, 115))):
        L.paint(L.line(list(pts), 3), '#7c4650')
    L.ball(110, 62, 20, '#c0607a', outline=OUT, ow=1.2, spec=0.6)
    L.paint(L.circle(110, 62, 8), '#4a1830')
    # four guns: (-50, +16), (+20, +36), (-20, +26), (+60, +16) from the centre (120, 87)
    for gx, gy in ((70, 103), (140, 123), (100, 113), (180, 103)):
        L.body(L.circle(gx, gy, 7), '#6a5064', outline=OUT, ow=1.2, radius=2)
        L.paint(L.circle(gx, gy + 1, 3), '#1e1420')
    return L.resolve()


def build():
    sh = Sheet(480, 661)
    h = hull()
    sh.put(0, 0, h)
    sh.put(0, 96, h[::-1, ::-1])
    p = pot()
    sh.put(0, 192, p)
    sh.put(0, 224, p[::-1, ::-1])
    c = core()
    sh.put(64, 192, c)
    sh.put(128, 192, c[::-1, ::-1])
    sh.put(0, 256, wreck())
    sh.put(0, 480, miso())
    return sh.px


BITMAPS = {116: build}
