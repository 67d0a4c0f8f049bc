#include "graphics/Blit.h"
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr std::uint32_t kColourBits = 0xFFFFFFu;
constexpr std::uint32_t kWhite = 0xFFFFFFu;

// The source column of every destination column (the identity when the widths agree).
std::vector<int> columnMap(const Rect& s, const Rect& d) {
    const int dw = d.right - d.left, sw = s.right - s.left;
    std::vector<int> map(static_cast<std::size_t>(dw));
    for (int i = 0; i < dw; ++i) map[static_cast<std::size_t>(i)] = s.left + scaledIndex(i, dw, sw);
    return map;
}

int sourceRow(int r, const Rect& s, const Rect& d) {
    return s.top + scaledIndex(r, d.bottom - d.top, s.bottom - s.top);
}

// One row of a keyed copy: a pixel is transparent when (pixel & 0xFFFFFF) - low, as unsigned,
// is at most high - low, which tests both ends of the range with one compare.
void keyedRow(const std::uint32_t* in, std::uint32_t* out, int n, std::uint32_t low, std::uint32_t span) {
    for (int i = 0; i < n; ++i) {
        const std::uint32_t p = in[i];
        if (((p & kColourBits) - low) > span) out[i] = p;
    }
}

std::uint32_t scalePixel(std::uint32_t p, double f) {
    const auto channel = [&](int shift) {
        return static_cast<std::uint32_t>(static_cast<double>((p >> shift) & 0xFFu) * f) << shift;
    };
    return (p & ~kColourBits) | channel(16) | channel(8) | channel(0);
}

}  // namespace

void clipToArea(Rect& dst, Rect& src, int w, int h) {
    if (dst.top < 0) { src.top -= dst.top; dst.top = 0; }
    if (dst.bottom > h) { src.bottom += h - dst.bottom; dst.bottom = h; }
    if (dst.left < 0) { src.left -= dst.left; dst.left = 0; }
    if (dst.right > w) { src.right += w - dst.right; dst.right = w; }
}

bool fitsInside(const Rect& r, int w, int h) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= w && r.bottom <= h;
}

void blitRect(const Surface& src, const Rect& s, Surface& dst, const Rect& d, bool useKey) {
    const int dw = d.right - d.left, dh = d.bottom - d.top;
    const std::uint32_t low = src.keyLow;
    const std::uint32_t span = src.keyHigh >= src.keyLow ? src.keyHigh - src.keyLow : 0;
    const bool keyed = useKey && src.keyHigh >= src.keyLow;
    if (dw == s.right - s.left && dh == s.bottom - s.top) {
        for (int r = 0; r < dh; ++r) {
            const std::uint32_t* in = src.row(s.top + r) + s.left;
            std::uint32_t* out = dst.row(d.top + r) + d.left;
            if (keyed)
                keyedRow(in, out, dw, low, span);
            else
                std::memmove(out, in, static_cast<std::size_t>(dw) * sizeof(std::uint32_t));  // src may be dst
        }
        return;
    }
    const std::vector<int> cols = columnMap(s, d);
    for (int r = 0; r < dh; ++r) {
        const std::uint32_t* in = src.row(sourceRow(r, s, d));
        std::uint32_t* out = dst.row(d.top + r) + d.left;
        for (int c = 0; c < dw; ++c) {
            const std::uint32_t p = in[cols[static_cast<std::size_t>(c)]];
            if (!keyed || ((p & kColourBits) - low) > span) out[c] = p;
        }
    }
}

void flashRows(const Surface& src, const Rect& s, Surface& dst, const Rect& d) {
    const int dw = d.right - d.left, dh = d.bottom - d.top;
    const std::vector<int> cols = columnMap(s, d);
    for (int r = 0; r < dh; r += 2) {
        const std::uint32_t* in = src.row(sourceRow(r, s, d));
        std::uint32_t* out = dst.row(d.top + r) + d.left;
        for (int c = 0; c < dw; ++c)
            if (in[cols[static_cast<std::size_t>(c)]] != 0) out[c] = kWhite;
    }
}

void shadeRect(const Surface& src, const Rect& s, Surface& dst, const Rect& d, int percent) {
    const int dw = d.right - d.left, dh = d.bottom - d.top;
    const std::vector<int> cols = columnMap(s, d);
    std::vector<double> colWave(static_cast<std::size_t>(dw));
    for (int c = 0; c < dw; ++c) colWave[static_cast<std::size_t>(c)] = std::sin(c / 3.0);
    const double lift = percent * 0.01;
    for (int r = 0; r < dh; ++r) {
        const double rowWave = std::sin(r / 3.0);
        const std::uint32_t* in = src.row(sourceRow(r, s, d));
        std::uint32_t* out = dst.row(d.top + r) + d.left;
        for (int c = 0; c < dw; ++c) {
            const std::uint32_t p = in[cols[static_cast<std::size_t>(c)]];
            const double f = rowWave * colWave[static_cast<std::size_t>(c)] + lift;
            if (f >= 1.0)
                out[c] = p;
            else if (f <= 0.0)
                out[c] = p & ~kColourBits;
            else
                out[c] = scalePixel(p, f);
        }
    }
}

void fillRect(Surface& surface, Rect r, std::uint32_t value) {
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min(r.right, surface.width);
    r.bottom = std::min(r.bottom, surface.height);
    if (r.left >= r.right || r.top >= r.bottom) return;
    for (int y = r.top; y < r.bottom; ++y) std::fill(surface.row(y) + r.left, surface.row(y) + r.right, value);
}
