#!/usr/bin/python3
"""Render every sprite of assets/sprites.tsv, labelled with its id, into one PNG.

Usage: /usr/bin/python3 tools/assets/contact_sheet.py OUT.png [TABLE ...]

Sprites are cut from the committed assets/bitmaps/*.bmp and drawn on a mid-grey
checker so that transparent pixels (colour key 0 and 1) show as the checker.
Flash copies (bitmap 0) are shown as their source with white on alternate rows,
as the game makes them.  The font is shown as one block per table.
"""
import os
import sys

import numpy as np
from PIL import Image, ImageDraw

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sprites  # noqa: E402
from pictures.canvas import read_bmp, is_visible  # noqa: E402

PAD = 6
LABEL = 11
MAXW = 1400


def checker(w, h):
    y, x = np.mgrid[0:h, 0:w]
    c = np.where(((x // 8) + (y // 8)) % 2 == 0, 92, 108).astype(np.uint8)
    return np.stack([c, c, c + 6], axis=2)


def flash(px):
    out = px.copy()
    vis = is_visible(px)
    rows = np.zeros(vis.shape, bool)
    rows[::2] = True
    out[vis & rows] = 255
    return out


def cut(bitmaps, s, by_id):
    if s.bitmap == 0:
        src = by_id[(s.table, s.source)]
        return flash(cut(bitmaps, src, by_id))
    px = bitmaps[s.bitmap]
    return px[s.top:s.top + s.height, s.left:s.left + s.width]


def tile(px, scale=1):
    h, w = px.shape[:2]
    bg = checker(w, h)
    vis = is_visible(px)
    bg[vis] = px[vis]
    img = Image.fromarray(bg)
    if scale != 1:
        img = img.resize((w * scale, h * scale), Image.NEAREST)
    return img


def main(argv):
    if not argv:
        raise SystemExit(__doc__)
    out, tables = argv[0], set(argv[1:])
    rows = [s for s in sprites.load() if not tables or s.table in tables]
    bitmaps = {}
    for rid in sprites.BITMAP_SIZES:
        with open(os.path.join(sprites.BITMAPS, '%d.bmp' % rid), 'rb') as f:
            bitmaps[rid] = read_bmp(f.read())
    by_id = {(s.table, s.id): s for s in sprites.load()}
    items = []
    for s in rows:
        if s.table == 'title' and s.id < 128:
            continue
        px = cut(bitmaps, s, by_id)
        scale = 2 if s.width <= 32 and s.height <= 32 else 1
        items.append(('%s %03X' % (s.table, s.id), tile(px, scale)))
    if not tables or 'title' in tables:
        font = bitmaps[107][:128]
        items.insert(0, ('title 000-07F font', tile(font, 2)))
    # simple shelf packing
    x = y = PAD
    shelf = 0
    placed = []
    for label, img in items:
        w, h = img.size[0], img.size[1] + LABEL
        w = max(w, 6 * len(label))
        if x + w > MAXW and x > PAD:
            x, y, shelf = PAD, y + shelf + PAD, 0
        placed.append((x, y, label, img))
        x += w + PAD
        shelf = max(shelf, h)
    sheet = Image.new('RGB', (MAXW, y + shelf + PAD), (30, 30, 38))
    d = ImageDraw.Draw(sheet)
    for x, y, label, img in placed:
        d.text((x, y), label, fill=(230, 230, 120))
        sheet.paste(img, (x, y + LABEL))
    sheet.save(out)
    print('%s: %d sprites, %dx%d' % (out, len(placed), sheet.size[0], sheet.size[1]))


if __name__ == '__main__':
    main(sys.argv[1:])
