"""Drawing toolkit shared by the picture modules.

A Layer is a supersampled RGBA canvas (float arrays); shapes are masks on its
grid, painted with flat colour, bevel shading (light from the upper left) or
sphere shading, usually over a dark outline.  `Layer.resolve()` averages the
samples down to a sprite: an (h, w, 3) uint8 array in which transparent pixels
are exactly black and every visible pixel has each channel at least 2, so no
visible pixel can fall into the colour key (values 0 and 1).

Everything here is deterministic: no clocks, no global random state.
"""
import struct

import numpy as np
from PIL import Image, ImageDraw, ImageFilter

LIGHT = np.array([-0.55, -0.65, 0.52])
LIGHT = LIGHT / np.linalg.norm(LIGHT)
MIN_VISIBLE = 2


def rgb(c):
    """(r, g, b) or '#rrggbb' -> float array 0..255."""
    if isinstance(c, str):
        c = c.lstrip('#')
        c = tuple(int(c[i:i + 2], 16) for i in (0, 2, 4))
    return np.array(c, dtype=np.float32)


def mix(a, b, t):
    return rgb(a) * (1 - t) + rgb(b) * t


class Layer:
    def __init__(self, w, h, ss=4):
        self.w, self.h, self.ss = w, h, ss
        H, W = h * ss, w * ss
        self.col = np.zeros((H, W, 3), np.float32)
        self.a = np.zeros((H, W), np.float32)
        xs = (np.arange(W, dtype=np.float32) + 0.5) / ss
        ys = (np.arange(H, dtype=np.float32) + 0.5) / ss
        self.X, self.Y = np.meshgrid(xs, ys)

    # ---- masks (float 0..1 on the sample grid) -------------------------------------------
    def ellipse(self, cx, cy, rx, ry=None, angle=0.0):
        ry = rx if ry is None else ry
        dx, dy = self.X - cx, self.Y - cy
        if angle:
            c, s = np.cos(angle), np.sin(angle)
            dx, dy = c * dx + s * dy, -s * dx + c * dy
        return ((dx / rx) ** 2 + (dy / ry) ** 2 <= 1.0).astype(np.float32)

    def circle(self, cx, cy, r):
        return self.ellipse(cx, cy, r, r)

    def ring(self, cx, cy, r_out, r_in):
        d = np.hypot(self.X - cx, self.Y - cy)
        return ((d <= r_out) & (d >= r_in)).astype(np.float32)

    def rect(self, x0, y0, x1, y1):
        return ((self.X >= x0) & (self.X < x1) & (self.Y >= y0) & (self.Y < y1)).astype(np.float32)

    def polygon(self, pts):
        img = Image.new('L', (self.w * self.ss, self.h * self.ss), 0)
        ImageDraw.Draw(img).polygon([(x * self.ss, y * self.ss) for x, y in pts], fill=255)
        return np.asarray(img, np.float32) / 255.0

    def line(self, pts, width):
        img = Image.new('L', (self.w * self.ss, self.h * self.ss), 0)
        d = ImageDraw.Draw(img)
        sp = [(x * self.ss, y * self.ss) for x, y in pts]
        wv = max(1, int(round(width * self.ss)))
        d.line(sp, fill=255, width=wv, joint='curve')
        r = wv / 2
        for x, y in (sp[0], sp[-1]):
            d.ellipse((x - r, y - r, x + r, y + r), fill=255)
        return np.asarray(img, np.float32) / 255.0

    def grow(self, mask, px):
        """Dilate (px > 0) or erode (px < 0) a mask by px sprite pixels."""
        n = int(round(abs(px) * self.ss))
        if n == 0:
            return mask
        img = Image.fromarray((mask * 255).astype(np.uint8))
        f = ImageFilter.MaxFilter if px > 0 else ImageFilter.MinFilter
        # large kernels: repeat a 3-wide filter (MaxFilter sizes must be odd)
        while n > 0:
            k = min(n, 6)
            img = img.filter(f(2 * k + 1))
            n -= k
        return np.asarray(img, np.float32) / 255.0

    def blur(self, field, px):
        img = Image.fromarray(np.clip(field * 255, 0, 255).astype(np.uint8))
        img = img.filter(ImageFilter.GaussianBlur(px * self.ss))
        return np.asarray(img, np.float32) / 255.0

    # ---- painting ------------------------------------------------------------------------
    def paint(self, mask, colour, alpha=1.0):
        """Paint `colour` (tuple or (H, W, 3) array) through mask."""
        m = np.clip(mask * alpha, 0, 1)[..., None]
        c = colour if isinstance(colour, np.ndarray) and colour.ndim == 3 else rgb(colour)
        self.col = self.col * (1 - m) + c * m
        self.a = np.maximum(self.a, m[..., 0])

    def glow(self, mask_field, colour, strength=1.0):
        """Additive light (for effects); also raises coverage so it shows."""
        m = np.clip(mask_field * strength, 0, 1)
        self.col = np.clip(self.col * self.a[..., None] + rgb(colour) * m[..., None], 0, 255)
        self.a = np.maximum(self.a, m)
        nz = self.a > 0
        self.col[nz] /= self.a[nz][:, None]
        self.col = np.clip(self.col, 0, 255)

    def bevel_normals(self, mask, radius):
        h = self.blur(mask, radius)
        gy, gx = np.gradient(h * radius * self.ss)
        nz = np.ones_like(gx)
        n = np.sqrt(gx * gx + gy * gy + nz * nz)
        return -gx / n, -gy / n, nz / n

    def shaded(self, mask, base, radius=3.0, dark=0.42, light=0.55, spec=0.35, normals=None):
        """Colour field for a bevelled shape lit from the upper left."""
        if normals is None:
            nx, ny, nz = self.bevel_normals(mask, radius)
        else:
            nx, ny, nz = normals
        lam = np.clip(nx * LIGHT[0] + ny * LIGHT[1] + nz * LIGHT[2], 0, 1)
        b = rgb(base)
        # ambient + diffuse; flat top (nz=1) gives lam = LIGHT[2]
        k = dark + (1 - dark) * (lam / LIGHT[2])
        col = b[None, None, :] * np.clip(k, 0, 1.6)[..., None]
        r = 2 * lam * nz - LIGHT[2]
        s = np.clip(r, 0, 1) ** 12 * spec * 255
        col = col + s[..., None]
        col = col + (255 - col) * np.clip(k - 1, 0, 1)[..., None] * light
        return np.clip(col, 0, 255)

    def sphere_normals(self, cx, cy, rx, ry=None):
        ry = rx if ry is None else ry
        nx = (self.X - cx) / rx
        ny = (self.Y - cy) / ry
        nz = np.sqrt(np.clip(1 - nx * nx - ny * ny, 0, 1))
        return nx, ny, nz

    def body(self, mask, base, outline='#141020', ow=1.0, radius=3.0, **kw):
        """Outlined, bevel-shaded shape."""
        if ow:
            self.paint(self.grow(mask, ow), outline)
        self.paint(mask, self.shaded(mask, base, radius, **kw))

    def ball(self, cx, cy, r, base, outline='#141020', ow=1.0, ry=None, **kw):
        m = self.ellipse(cx, cy, r, ry)
        if ow:
            self.paint(self.ellipse(cx, cy, r + ow, (ry or r) + ow), outline)
        self.paint(m, self.shaded(m, base, normals=self.sphere_normals(cx, cy, r, ry), **kw))
        return m

    # ---- output --------------------------------------------------------------------------
    def resolve(self, cutoff=0.5, premultiply=False):
        ss = self.ss
        a = self.a.reshape(self.h, ss, self.w, ss).mean(axis=(1, 3))
        c = (self.col * self.a[..., None]).reshape(self.h, ss, self.w, ss, 3).mean(axis=(1, 3))
        out = np.zeros((self.h, self.w, 3), np.float32)
        if premultiply:
            vis = c.max(axis=2) >= 6
            out[vis] = c[vis]
        else:
            vis = a >= cutoff
            out[vis] = c[vis] / a[vis][:, None]
        out = np.clip(np.round(out), 0, 255).astype(np.uint8)
        out[vis] = np.maximum(out[vis], MIN_VISIBLE)
        return out


class Sheet:
    """A whole bitmap: sprites are pasted into cells."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = np.zeros((h, w, 3), np.uint8)

    def put(self, x, y, sprite, flip_x=False, flip_y=False):
        s = sprite
        if flip_x:
            s = s[:, ::-1]
        if flip_y:
            s = s[::-1]
        h, w = s.shape[:2]
        assert 0 <= x and x + w <= self.w and 0 <= y and y + h <= self.h, (x, y, w, h)
        self.px[y:y + h, x:x + w] = s

    def put_over(self, x, y, sprite):
        """Paste only the visible pixels of sprite."""
        h, w = sprite.shape[:2]
        region = self.px[y:y + h, x:x + w]
        vis = is_visible(sprite)
        region[vis] = sprite[vis]

    def image(self):
        return Image.fromarray(self.px, 'RGB')


def is_visible(px):
    """True where a pixel is not the colour key (0x000000 or 0x000001 as 0xRRGGBB)."""
    v = (px[..., 0].astype(np.int32) << 16) | (px[..., 1].astype(np.int32) << 8) | px[..., 2]
    return v > 1


def bmp_bytes(px):
    """24-bit uncompressed bottom-up BMP of an (h, w, 3) RGB uint8 array."""
    h, w = px.shape[:2]
    row = w * 3
    pad = (4 - row % 4) % 4
    bgr = px[::-1, :, ::-1]
    body = b''.join(bgr[i].tobytes() + b'\0' * pad for i in range(h))
    header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(body), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    return header + info + body


def read_bmp(data):
    """Inverse of bmp_bytes (24-bit, uncompressed, bottom-up only)."""
    assert data[:2] == b'BM'
    off = struct.unpack_from('<I', data, 10)[0]
    size, w, h, planes, bpp, comp = struct.unpack_from('<IiiHHI', data, 14)
    if size != 40 or bpp != 24 or comp != 0 or h <= 0 or planes != 1:
        raise ValueError('not a 24-bit uncompressed bottom-up BMP')
    row = w * 3
    stride = row + (4 - row % 4) % 4
    if len(data) < off + stride * h:
        raise ValueError('truncated BMP')
    px = np.zeros((h, w, 3), np.uint8)
    for i in range(h):
        line = np.frombuffer(data, np.uint8, row, off + i * stride).reshape(w, 3)
        px[h - 1 - i] = line[:, ::-1]
    return px


def value_noise(w, h, cell, seed, octaves=4):
    """Smooth deterministic noise in 0..1, tiling every w x h."""
    rng = np.random.default_rng(seed)
    total = np.zeros((h, w), np.float64)
    amp, norm = 1.0, 0.0
    for o in range(octaves):
        c = max(1, cell >> o)
        gw, gh = max(1, w // c), max(1, h // c)
        grid = rng.random((gh, gw))
        ys = np.arange(h) * gh / h
        xs = np.arange(w) * gw / w
        y0 = np.floor(ys).astype(int)
        x0 = np.floor(xs).astype(int)
        fy = ys - y0
        fx = xs - x0
        fy = fy * fy * (3 - 2 * fy)
        fx = fx * fx * (3 - 2 * fx)
        y1 = (y0 + 1) % gh
        x1 = (x0 + 1) % gw
        a = grid[y0][:, x0]
        b = grid[y0][:, x1]
        c_ = grid[y1][:, x0]
        d = grid[y1][:, x1]
        top = a + (b - a) * fx[None, :]
        bot = c_ + (d - c_) * fx[None, :]
        total += amp * (top + (bot - top) * fy[:, None])
        norm += amp
        amp *= 0.5
    return (total / norm).astype(np.float32)
