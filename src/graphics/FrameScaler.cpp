#include "graphics/FrameScaler.h"
#include <algorithm>
#include <cstring>

namespace {
// Room a window needs around its picture on the desktop: frame, title bar and some margin, so the
// window never opens touching the desktop's edges.
constexpr int kFrameRoomW = 32;
constexpr int kFrameRoomH = 80;

// Weighted sum of XRGB pixels, weights out of 256: red and blue travel together in one word,
// green in another; neither can overflow since the weights add up to 256.
struct Accumulator {
    std::uint32_t rb = 0x00800080u, g = 0x00008000u;  // start at one half for rounding
    void add(std::uint32_t p, std::uint32_t w) {
        rb += (p & 0x00FF00FFu) * w;
        g += (p & 0x0000FF00u) * w;
    }
    std::uint32_t pixel() const { return ((rb >> 8) & 0x00FF00FFu) | ((g >> 8) & 0x0000FF00u); }
};
}  // namespace

PictureRect fitPicture(int pictureW, int pictureH, int windowW, int windowH) {
    if (pictureW <= 0 || pictureH <= 0 || windowW <= 0 || windowH <= 0) return {};
    PictureRect r;
    // 64-bit products: a 16k-wide desktop times 800 still fits, but be safe with any caller.
    if (static_cast<long long>(windowW) * pictureH <= static_cast<long long>(windowH) * pictureW) {
        r.w = windowW;
        r.h = static_cast<int>(static_cast<long long>(windowW) * pictureH / pictureW);
    } else {
        r.h = windowH;
        r.w = static_cast<int>(static_cast<long long>(windowH) * pictureW / pictureH);
    }
    r.w = std::max(r.w, 1);
    r.h = std::max(r.h, 1);
    r.x = (windowW - r.w) / 2;
    r.y = (windowH - r.h) / 2;
    return r;
}

int windowPercentFor(int pictureW, int pictureH, int desktopW, int desktopH) {
    if (pictureW <= 0 || pictureH <= 0) return 100;
    // Halves of the picture that fit each way.
    const int halves = std::min(2 * (desktopW - kFrameRoomW) / pictureW, 2 * (desktopH - kFrameRoomH) / pictureH);
    return std::max(halves, 2) * 50;
}

FrameScaler::Axis FrameScaler::makeAxis(int from, int to) {
    Axis a;
    a.from = from;
    a.to = to;
    a.begin.reserve(static_cast<std::size_t>(to) + 1);
    auto tap = [&a](int index, std::uint32_t weight) {
        if (weight == 0) return;
        a.index.push_back(index);
        a.weight.push_back(weight);
    };
    for (int o = 0; o < to; ++o) {
        a.begin.push_back(static_cast<int>(a.index.size()));
        if (to >= from) {
            // Enlarging: replicate up to the next whole multiple n, then sample that linearly at
            // the centre of output pixel o. In units of 1 / (2 * to) of a replicated pixel the
            // centre is (2o + 1) * n * from - to, measured from the centre of replicated pixel 0.
            const long long n = (to + from - 1) / from;
            const long long pos = (2LL * o + 1) * n * from - to;
            const long long unit = 2LL * to;
            long long i = pos >= 0 ? pos / unit : -((-pos + unit - 1) / unit);
            const long long rem = pos - i * unit;
            const long long last = n * from - 1;
            const int first = static_cast<int>(std::clamp(i, 0LL, last) / n);
            const int second = static_cast<int>(std::clamp(i + 1, 0LL, last) / n);
            const auto w = static_cast<std::uint32_t>((rem * 256 + unit / 2) / unit);
            if (first == second) {
                tap(first, 256);
            } else {
                tap(first, 256 - w);
                tap(second, w);
            }
        } else {
            // Shrinking: output pixel o covers [o * from, (o + 1) * from) and source pixel i covers
            // [i * to, (i + 1) * to), both in units of 1 / to of a source pixel. Each source pixel
            // weighs what it covers; the weights are rounded on their running sum so they add up
            // to exactly 256.
            const long long lo = static_cast<long long>(o) * from, hi = lo + from;
            long long covered = 0;
            std::uint32_t given = 0;
            for (long long i = lo / to; i * to < hi; ++i) {
                const long long overlap = std::min(hi, (i + 1) * to) - std::max(lo, i * to);
                covered += overlap;
                const auto upTo = static_cast<std::uint32_t>((covered * 256 + from / 2) / from);
                tap(static_cast<int>(i), upTo - given);
                given = upTo;
            }
        }
    }
    a.begin.push_back(static_cast<int>(a.index.size()));
    if (to >= from) {
        a.pairs.reserve(static_cast<std::size_t>(to));
        for (int o = 0; o < to; ++o) {
            const int b = a.begin[o];
            const bool two = a.begin[o + 1] - b == 2;
            a.pairs.push_back({a.index[b], two ? a.index[b + 1] : a.index[b], two ? a.weight[b + 1] : 0u});
        }
    }
    return a;
}

void FrameScaler::scale(const std::uint32_t* src, int srcW, int srcH, int srcPitch, std::uint32_t* dst, int dstW,
                        int dstH, int dstPitch) {
    if (dstW <= 0 || dstH <= 0) return;
    const PictureRect r = fitPicture(srcW, srcH, dstW, dstH);
    auto line = [dst, dstPitch](int y) { return dst + static_cast<std::ptrdiff_t>(y) * dstPitch; };

    // Black bars around the picture.
    for (int y = 0; y < dstH; ++y) {
        std::uint32_t* row = line(y);
        if (y < r.y || y >= r.y + r.h) {
            std::fill(row, row + dstW, 0u);
            continue;
        }
        std::fill(row, row + r.x, 0u);
        std::fill(row + r.x + r.w, row + dstW, 0u);
    }

    // A whole multiple (the window a player opens, 1x or 2x on most desktops, shown every frame):
    // each source pixel written n times into one row, that row copied n - 1 times; no filter
    // arithmetic and no buffer between. The filter below gives the very same pixels, slower.
    const int n = r.w / srcW;
    if (n >= 1 && r.w == n * srcW && r.h == n * srcH) {
        std::vector<std::uint32_t>().swap(rows_);
        for (int sy = 0; sy < srcH; ++sy) {
            const std::uint32_t* in = src + static_cast<std::ptrdiff_t>(sy) * srcPitch;
            std::uint32_t* out = line(r.y + sy * n) + r.x;
            if (n == 1) {
                for (int x = 0; x < srcW; ++x) out[x] = in[x] & 0x00FFFFFFu;
            } else if (n == 2) {
                for (int x = 0; x < srcW; ++x) out[2 * x] = out[2 * x + 1] = in[x] & 0x00FFFFFFu;
            } else {
                for (int x = 0; x < srcW; ++x) std::fill(out + x * n, out + (x + 1) * n, in[x] & 0x00FFFFFFu);
            }
            for (int k = 1; k < n; ++k)
                std::memcpy(line(r.y + sy * n + k) + r.x, out, static_cast<std::size_t>(r.w) * sizeof(std::uint32_t));
        }
        return;
    }

    if (xAxis_.from != srcW || xAxis_.to != r.w || xAxis_.begin.empty()) xAxis_ = makeAxis(srcW, r.w);
    if (yAxis_.from != srcH || yAxis_.to != r.h || yAxis_.begin.empty()) yAxis_ = makeAxis(srcH, r.h);

    // Horizontal pass: every source row at the picture's output width.
    rows_.resize(static_cast<std::size_t>(r.w) * static_cast<std::size_t>(srcH));
    for (int y = 0; y < srcH; ++y) {
        const std::uint32_t* in = src + static_cast<std::ptrdiff_t>(y) * srcPitch;
        std::uint32_t* out = rows_.data() + static_cast<std::ptrdiff_t>(y) * r.w;
        if (!xAxis_.pairs.empty()) {
            // At most two taps per pixel (enlarging): a straight blend of two neighbours.
            for (int o = 0; o < r.w; ++o) {
                const FrameScaler::Pair& t = xAxis_.pairs[static_cast<std::size_t>(o)];
                const std::uint32_t a = in[t.first], c = in[t.second], w = t.weight;
                const std::uint32_t rb = ((a & 0x00FF00FFu) * (256 - w) + (c & 0x00FF00FFu) * w + 0x00800080u) >> 8;
                const std::uint32_t g = ((a & 0x0000FF00u) * (256 - w) + (c & 0x0000FF00u) * w + 0x00008000u) >> 8;
                out[o] = (rb & 0x00FF00FFu) | (g & 0x0000FF00u);
            }
            continue;
        }
        for (int o = 0; o < r.w; ++o) {
            const int b = xAxis_.begin[o], e = xAxis_.begin[o + 1];
            if (e - b == 1) {
                out[o] = in[xAxis_.index[b]] & 0x00FFFFFFu;
                continue;
            }
            Accumulator acc;
            for (int t = b; t < e; ++t) acc.add(in[xAxis_.index[t]], xAxis_.weight[t]);
            out[o] = acc.pixel();
        }
    }

    // Vertical pass into the picture's rectangle.
    for (int o = 0; o < r.h; ++o) {
        std::uint32_t* out = line(r.y + o) + r.x;
        const int b = yAxis_.begin[o], e = yAxis_.begin[o + 1];
        if (e - b == 1) {
            std::memcpy(out, rows_.data() + static_cast<std::ptrdiff_t>(yAxis_.index[b]) * r.w,
                        static_cast<std::size_t>(r.w) * sizeof(std::uint32_t));
            continue;
        }
        // Tap by tap over the whole row: plain loops the compiler turns into vector code.
        accRb_.assign(static_cast<std::size_t>(r.w), 0x00800080u);
        accG_.assign(static_cast<std::size_t>(r.w), 0x00008000u);
        std::uint32_t* rb = accRb_.data();
        std::uint32_t* g = accG_.data();
        for (int t = b; t < e; ++t) {
            const std::uint32_t* in = rows_.data() + static_cast<std::ptrdiff_t>(yAxis_.index[t]) * r.w;
            const std::uint32_t w = yAxis_.weight[t];
            for (int x = 0; x < r.w; ++x) {
                rb[x] += (in[x] & 0x00FF00FFu) * w;
                g[x] += (in[x] & 0x0000FF00u) * w;
            }
        }
        for (int x = 0; x < r.w; ++x) out[x] = ((rb[x] >> 8) & 0x00FF00FFu) | ((g[x] >> 8) & 0x0000FF00u);
    }
}
