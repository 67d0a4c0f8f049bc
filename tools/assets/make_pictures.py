#!/usr/bin/python3
"""Generate every bitmap of the game into assets/bitmaps/<id>.bmp.

Usage: /usr/bin/python3 tools/assets/make_pictures.py [--out DIR] [ID ...]

Deterministic: the same sources give byte-identical files.  Needs the Debian
packages python3-pil and python3-numpy.
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import sprites  # noqa: E402
from pictures import canvas  # noqa: E402
from pictures import (ship, characters, effects, backgrounds, font, title, panel,  # noqa: E402
                      boss1, boss2, boss3, boss4, master)

MODULES = (ship, characters, effects, backgrounds, font, title, panel, boss1, boss2, boss3, boss4, master)


def builders():
    table = {}
    for m in MODULES:
        for rid, fn in m.BITMAPS.items():
            assert rid not in table, rid
            table[rid] = fn
    return table


def build(rid):
    px = builders()[rid]()
    want = sprites.BITMAP_SIZES[rid]
    if (px.shape[1], px.shape[0]) != want:
        raise SystemExit('bitmap %d is %dx%d, must be %dx%d' % (rid, px.shape[1], px.shape[0], *want))
    return px


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument('--out', default=sprites.BITMAPS)
    ap.add_argument('ids', nargs='*', type=int)
    a = ap.parse_args(argv)
    ids = a.ids or sorted(sprites.BITMAP_SIZES)
    os.makedirs(a.out, exist_ok=True)
    for rid in ids:
        data = canvas.bmp_bytes(build(rid))
        with open(os.path.join(a.out, '%d.bmp' % rid), 'wb') as f:
            f.write(data)
        print('%d.bmp %d bytes' % (rid, len(data)))


if __name__ == '__main__':
    main()
