"""Plain cell frames for a bitmap whose art is not drawn yet."""
import sprites
from pictures.canvas import Sheet


def cells(rid):
    w, h = sprites.BITMAP_SIZES[rid]
    sh = Sheet(w, h)
    for s in sprites.load():
        if s.bitmap != rid:
            continue
        x0, y0, x1, y1 = s.left, s.top, s.left + s.width - 1, s.top + s.height - 1
        sh.px[y0:y1 + 1, x0] = sh.px[y0:y1 + 1, x1] = (90, 110, 160)
        sh.px[y0, x0:x1 + 1] = sh.px[y1, x0:x1 + 1] = (90, 110, 160)
    if not sh.px.any():
        sh.px[:, :] = (40, 44, 60)
    return sh.px
