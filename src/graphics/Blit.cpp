#include "graphics/Blit.h"
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

// The row loops below are the whole cost of a frame; let GCC vectorise them even where a scalar
// tail is needed (its -O2 default model refuses loops of unknown length).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("vect-cost-model=cheap")
#endif

namespace {

constexpr std::uint32_t kColourBits = 0xFFFFFFu;
constexpr std::uint32_t kWhite = 0xFFFFFFu;

// The source column of every destination column (the identity when the widths agree). The
// buffer is reused from call to call: drawing runs on the main thread only, hundreds of times a
// frame.
const std::vector<int>& columnMap(const Rect& s, const Rect& d) {
    static std::vector<int> map;
    const int dw = d.right - d.left, sw = s.right - s.left;
    map.resize(static_cast<std::size_t>(dw));
    for (int i = 0; i < dw; ++i) map[static_cast<std::size_t>(i)] = s.left + scaledIndex(i, dw, sw);
    return map;
}

// A stretch of destination columns that read consecutive source columns. An unscaled blit is one
// run; a source one pixel wider than its rectangle is two, so even the scaled sprites copy whole
// stretches of a row.
struct ColumnRun {
    int start;   // first destination column, from the rectangle's left
    int source;  // its source column on the surface
    int length;
};

const std::vector<ColumnRun>& columnRuns(const Rect& s, const Rect& d) {
    static std::vector<ColumnRun> runs;
    runs.clear();
    // Unscaled (the usual case): one run, without a division per column.
    if (d.right - d.left == s.right - s.left) {
        runs.push_back({0, s.left, d.right - d.left});
        return runs;
    }
    const std::vector<int>& cols = columnMap(s, d);
    for (int c = 0; c < static_cast<int>(cols.size()); ++c) {
        if (!runs.empty() && runs.back().source + runs.back().length == cols[static_cast<std::size_t>(c)])
            ++runs.back().length;
        else
            runs.push_back({c, cols[static_cast<std::size_t>(c)], 1});
    }
    return runs;
}

// Whether a keyed pixel is drawn: (pixel & 0xFFFFFF) - low, as unsigned, beyond high - low
// tests both ends of the key range with one compare.
inline bool opaque(std::uint32_t p, std::uint32_t low, std::uint32_t span) { return ((p & kColourBits) - low) > span; }

int sourceRow(int r, const Rect& s, const Rect& d) {
    // scaledIndex is the identity when the heights agree; spare the division.
    if (d.bottom - d.top == s.bottom - s.top) return s.top + r;
    return s.top + scaledIndex(r, d.bottom - d.top, s.bottom - s.top);
}

// One row of a keyed copy, written with masks and a signed compare (the unsigned one biased by
// 2^31) so that the compiler does it four or eight pixels at a time.
void keyedRow(const std::uint32_t* __restrict in, std::uint32_t* __restrict out, int n, std::uint32_t low,
              std::uint32_t span) {
    const auto biasedSpan = static_cast<std::int32_t>(span ^ 0x80000000u);
    for (int i = 0; i < n; ++i) {
        const std::uint32_t p = in[i];
        const auto biased = static_cast<std::int32_t>(((p & kColourBits) - low) ^ 0x80000000u);
        const std::uint32_t mask = 0u - static_cast<std::uint32_t>(biased > biasedSpan);
        out[i] = (p & mask) | (out[i] & ~mask);
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
    const int dh = d.bottom - d.top;
    const std::uint32_t low = src.keyLow;
    const std::uint32_t span = src.keyHigh >= src.keyLow ? src.keyHigh - src.keyLow : 0;
    const bool keyed = useKey && src.keyHigh >= src.keyLow;
    const std::vector<ColumnRun>& runs = columnRuns(s, d);
    for (int r = 0; r < dh; ++r) {
        const std::uint32_t* in = src.row(sourceRow(r, s, d));
        std::uint32_t* out = dst.row(d.top + r) + d.left;
        for (const ColumnRun& run : runs) {
            const std::uint32_t* from = in + run.source;
            std::uint32_t* to = out + run.start;
            if (!keyed)
                std::memmove(to, from, static_cast<std::size_t>(run.length) * sizeof(std::uint32_t));  // src may be dst
            else if (from + run.length <= to || to + run.length <= from)
                keyedRow(from, to, run.length, low, span);
            else
                for (int c = 0; c < run.length; ++c) to[c] = opaque(from[c], low, span) ? from[c] : to[c];
        }
    }
}

namespace {

// The extent the effects walk: the pixel-locking loops go row by row through the clipped source
// and destination rectangles together, pixel for pixel (they never scale), so they stop at the
// smaller of the two. For an odd-sized sprite that is the destination, one pixel short of the
// source; the source's last row and column are left out.
struct Walk {
    int w, h;
};
Walk walkOf(const Rect& s, const Rect& d) {
    return {std::min(d.right - d.left, s.right - s.left), std::min(d.bottom - d.top, s.bottom - s.top)};
}

}  // namespace

void flashRows(const Surface& src, const Rect& s, Surface& dst, const Rect& d) {
    const Walk walk = walkOf(s, d);
    for (int r = 0; r < walk.h; r += 2) {
        const std::uint32_t* in = src.row(s.top + r) + s.left;
        std::uint32_t* out = dst.row(d.top + r) + d.left;
        for (int c = 0; c < walk.w; ++c) out[c] = in[c] != 0 ? kWhite : out[c];
    }
}

void shadeRect(const Surface& src, const Rect& s, Surface& dst, const Rect& d, int percent) {
    const Walk walk = walkOf(s, d);
    std::vector<double> colWave(static_cast<std::size_t>(walk.w));
    for (int c = 0; c < walk.w; ++c) colWave[static_cast<std::size_t>(c)] = std::sin(c / 3.0);
    const double lift = percent * 0.01;
    for (int r = 0; r < walk.h; ++r) {
        const double rowWave = std::sin(r / 3.0);
        const std::uint32_t* in = src.row(s.top + r) + s.left;
        std::uint32_t* out = dst.row(d.top + r) + d.left;
        for (int c = 0; c < walk.w; ++c) {
            const std::uint32_t p = in[c];
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
