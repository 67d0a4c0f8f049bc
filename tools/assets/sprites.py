"""Reader of assets/sprites.tsv, the sprite table shared with the game code."""
import os
from collections import namedtuple

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
TSV = os.path.join(ROOT, 'assets', 'sprites.tsv')
BITMAPS = os.path.join(ROOT, 'assets', 'bitmaps')

Sprite = namedtuple('Sprite', 'id bitmap surface left top width height key table source')

# Every bitmap resource and its fixed size (width, height).
BITMAP_SIZES = {
    105: (272, 78), 106: (512, 256), 107: (128, 144), 108: (512, 512), 109: (480, 1800),
    110: (512, 256), 111: (200, 74), 112: (480, 600), 114: (128, 192), 116: (480, 661),
    117: (320, 296), 119: (640, 300), 121: (640, 320), 124: (32, 32), 125: (160, 600),
}


def load(path=TSV):
    out = []
    with open(path, encoding='utf-8') as f:
        for line in f:
            if not line.strip() or line.startswith('#'):
                continue
            c = line.rstrip('\n').split('\t')
            if len(c) != 10:
                raise ValueError('bad sprite row: %r' % line)
            src = None if c[9] == '-' else int(c[9], 16)
            out.append(Sprite(int(c[0], 16), *(int(v) for v in c[1:8]), c[8], src))
    return out
