#!/usr/bin/python3
"""Composite a mock play frame (side panels, background, enemies, bullets, ship, HUD) into a PNG
to judge readability.  Usage: /usr/bin/python3 tools/assets/mock_frame.py OUT.png [MODE]
(MODE 0 normal, 1 small bullets, 2 large bullets; sprites drawn centred, colour key 0 and 1)."""
import math
import os
import sys

import numpy as np
from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sprites  # noqa: E402
from pictures.canvas import read_bmp, is_visible  # noqa: E402


def main(argv):
    out = argv[0]
    mode = int(argv[1]) if len(argv) > 1 else 0
    bmps = {}
    for rid in sprites.BITMAP_SIZES:
        with open(os.path.join(sprites.BITMAPS, '%d.bmp' % rid), 'rb') as f:
            bmps[rid] = read_bmp(f.read())
    table = {}
    rows = sprites.load()
    for name in ('play', 'boss', 'stage1', 'title'):  # the play scene's ids win over the title's
        for s in rows:
            if s.table == name and s.bitmap:
                table.setdefault(s.id, s)
    frame = np.zeros((600, 800, 3), np.uint8)
    panel = bmps[125]
    frame[:, :160] = panel
    frame[:, 640:] = panel[:, ::-1]
    field = frame[:, 160:640]

    def draw(sid, x, y, w=None):
        s = table[sid]
        px = bmps[s.bitmap][s.top:s.top + s.height, s.left:s.left + (w or s.width)]
        h, wd = px.shape[:2]
        x0, y0 = int(x - wd // 2), int(y - h // 2)
        for yy in range(h):
            for xx in range(wd):
                X, Y = x0 + xx, y0 + yy
                if 0 <= X < 480 and 0 <= Y < 600 and is_visible(px[yy, xx]):
                    field[Y, X] = px[yy, xx]

    off = (0, 0x80, 0x40)[mode]
    draw(0x300 + mode, 240, 300)
    draw(0x500, 240, 130)
    draw(0x2A0, 240, 48)
    draw(0x2A1, 240 - (247 - 170) // 2, 48, 170 + 8)
    draw(0x200, 90, 260)
    draw(0x240 + 3, 380, 300)
    draw(0x234, 60, 420)
    draw(0x238 + 2, 60, 390)
    draw(0x220 + 4, 420, 150)
    for k in range(9):
        a = math.pi / 2 + (k - 4) * 0.3
        for r, base in ((70, 0x210), (110, 0x218), (150, 0x214), (190, 0x21C)):
            draw(base + off + k % 4, 240 + math.cos(a) * r, 200 + math.sin(a) * r)
    draw(0x400 + 3, 150, 330)
    for i, v in enumerate((1, 2, 3)):
        draw(0x104 + v, 300 + 30 * i, 420)
    draw(0x118, 232, 440)
    draw(0x118 + 1, 248, 440)
    draw(0x110, 270, 470)
    draw(0x100, 240, 500)
    draw(0x103, 240, 530)
    draw(0x128, 240, 500)
    for i in range(2):
        draw(0x101, 10 + 20 * i, 10)
    draw(0x102, 10, 30)
    draw(0x105, 12, 53)
    for i, ch in enumerate('x0123'):
        draw(ord(ch), 24 + 8 * i, 52)
    draw(0x13B, 330, 16)
    for i, d in enumerate((7, 4, 2)):
        draw(0x130 + d, 330 + 118 - 32 * i, 16)
    if mode:
        t = 180
        if mode == 1:
            draw(0x127, 90 + t // 2, 580, t)
        else:
            draw(0x126, 240 - (300 - t) // 2, 580, 300 - t)
        draw(0x125, 240, 580)
    Image.fromarray(frame).save(out)
    print(out)


if __name__ == '__main__':
    main(sys.argv[1:])
