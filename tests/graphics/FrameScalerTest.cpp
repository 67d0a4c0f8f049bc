// Fitting the 800 x 600 picture into windows of any size: where it lands, which size a new window
// takes, and what the filter does to edges, thin lines and mirror images.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>
#include "graphics/FrameScaler.h"

namespace {

struct Picture {
    int w, h;
    std::vector<std::uint32_t> px;
    Picture(int w, int h, std::uint32_t fill = 0) : w(w), h(h), px(static_cast<std::size_t>(w) * h, fill) {}
    std::uint32_t& at(int x, int y) { return px[static_cast<std::size_t>(y) * w + x]; }
    std::uint32_t at(int x, int y) const { return px[static_cast<std::size_t>(y) * w + x]; }
};

Picture scaled(const Picture& src, int w, int h, std::uint32_t garbage = 0xDEADBEEFu) {
    Picture out(w, h, garbage);
    FrameScaler scaler;
    scaler.scale(src.px.data(), src.w, src.h, src.w, out.px.data(), w, h, w);
    return out;
}

int green(std::uint32_t p) { return static_cast<int>((p >> 8) & 0xFF); }

// A busy picture: every channel differs from its neighbours.
Picture noise(int w, int h) {
    Picture p(w, h);
    std::srand(7);
    for (auto& v : p.px) v = static_cast<std::uint32_t>(std::rand()) & 0x00FFFFFFu;
    return p;
}

}  // namespace

TEST(FrameScaler, PictureFitsWholeCentredAndUndistorted) {
    struct Case { int w, h; PictureRect want; };
    const Case cases[] = {
        {800, 600, {0, 0, 800, 600}},
        {500, 700, {0, 162, 500, 375}},     // taller than 4:3 and smaller: bars above and below
        {640, 760, {0, 140, 640, 480}},
        {1280, 720, {160, 0, 960, 720}},    // wide full screen: bars at the sides
        {1600, 1200, {0, 0, 1600, 1200}},
        {1, 1, {0, 0, 1, 1}},
    };
    for (const Case& c : cases) EXPECT_EQ(fitPicture(800, 600, c.w, c.h), c.want) << c.w << "x" << c.h;
    EXPECT_EQ(fitPicture(800, 600, 0, 600), PictureRect{});
}

TEST(FrameScaler, NewWindowTakesTheLargestHalfStepThatFitsComfortably) {
    struct Case { int w, h, want; };
    const Case cases[] = {
        {1024, 768, 100}, {1920, 1050, 150},  // 900 rows fit, 1200 would not
        {1920, 1080, 150}, {1366, 768, 100},
        {2560, 1400, 200}, {2560, 1440, 200}, {3840, 2120, 300}, {3840, 2160, 300},
        {1680, 1050, 150},  // 1200 columns fit as well
        {800, 600, 100},    // exactly the picture: no room for a frame, still 100
        {640, 480, 100},    // smaller than the picture: still 100
    };
    for (const Case& c : cases) EXPECT_EQ(windowPercentFor(800, 600, c.w, c.h), c.want) << c.w << "x" << c.h;
}

TEST(FrameScaler, EveryOutputPixelTakesWeightsThatAddUpAndStayInside) {
    const int sizes[][2] = {{800, 500}, {600, 375}, {800, 1440}, {600, 1080}, {800, 1600}, {7, 3}, {3, 7}, {800, 200}};
    for (const auto& s : sizes) {
        const FrameScaler::Axis a = FrameScaler::makeAxis(s[0], s[1]);
        ASSERT_EQ(a.begin.size(), static_cast<std::size_t>(s[1]) + 1);
        for (int o = 0; o < s[1]; ++o) {
            std::uint32_t sum = 0;
            ASSERT_LT(a.begin[o], a.begin[o + 1]) << s[0] << "->" << s[1] << " output " << o << " takes nothing";
            for (int t = a.begin[o]; t < a.begin[o + 1]; ++t) {
                EXPECT_GE(a.index[t], 0);
                EXPECT_LT(a.index[t], s[0]);
                sum += a.weight[t];
            }
            EXPECT_EQ(sum, 256u) << s[0] << "->" << s[1] << " output " << o;
        }
    }
}

TEST(FrameScaler, WholeMultiplesReplicatePixelsExactly) {
    const Picture src = noise(40, 30);
    for (int n : {1, 2, 3}) {
        const Picture out = scaled(src, 40 * n, 30 * n);
        for (int y = 0; y < out.h; ++y)
            for (int x = 0; x < out.w; ++x) ASSERT_EQ(out.at(x, y), src.at(x / n, y / n)) << n << "x at " << x << "," << y;
    }
}

// At its own size in a wider window (bars left and right), from a picture with a wider pitch
// and its top bytes set: the rows arrive unchanged but for the top byte, and the same scaler
// then scales up and back down again without keeping anything stale.
TEST(FrameScaler, AtItsOwnSizeRowsArriveUnchangedBetweenBars) {
    Picture wide = noise(48, 30);
    for (auto& v : wide.px) v |= 0xFF000000u;
    FrameScaler scaler;
    for (int w : {60, 120, 60}) {
        const int h = w == 60 ? 30 : 60, n = h / 30, bar = (w - 40 * n) / 2;
        Picture out(w, h, 0xDEADBEEFu);
        scaler.scale(wide.px.data(), 40, 30, 48, out.px.data(), w, h, w);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool bars = x < bar || x >= bar + 40 * n;
                const std::uint32_t want = bars ? 0u : wide.at((x - bar) / n, y / n) & 0x00FFFFFFu;
                ASSERT_EQ(out.at(x, y), want) << w << " wide, at " << x << "," << y;
            }
    }
}

TEST(FrameScaler, EnlargingBetweenMultiplesBlendsAtMostOneColumnAtAnEdge) {
    // Black left of the edge, white right of it: sharp scaling keeps every column pure but the one
    // that straddles the edge (plain bilinear would smear the edge over two columns at 1.8x).
    for (int edge : {400, 401, 123, 677}) {
        Picture src(800, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = edge; x < 800; ++x) src.at(x, y) = 0x00FFFFFFu;
        for (int width : {1000, 1280, 1440, 1799}) {
            const Picture out = scaled(src, width, width * 4 / 800 + 2);
            const int row = out.h / 2;
            int mixed = 0;
            for (int x = 0; x < out.w; ++x)
                if (out.at(x, row) != 0u && out.at(x, row) != 0x00FFFFFFu) ++mixed;
            EXPECT_LE(mixed, 1) << "edge " << edge << " at width " << width;
        }
    }
}

TEST(FrameScaler, ShrinkingKeepsEveryThinLineAndTheBrightness) {
    // One-pixel white lines, as in the font: nearest-neighbour sampling would drop some of them.
    Picture src(800, 2);
    long long total = 0;
    for (int x = 0; x < 800; x += 5) {
        src.at(x, 0) = src.at(x, 1) = 0x00FFFFFFu;
        total += 255;
    }
    for (int width : {500, 640, 333}) {
        const Picture out = scaled(src, width, 600);  // two rows shrink too, then bars
        const PictureRect r = fitPicture(800, 2, width, 600);
        long long sum = 0;
        for (int x = 0; x < r.w; ++x) sum += green(out.at(x, r.y));
        // Brightness is kept in proportion to the width (rounding aside).
        EXPECT_NEAR(static_cast<double>(sum), static_cast<double>(total) * r.w / 800.0, total * 0.01) << width;
        // A line falls into one or two output columns; the larger share is at least half of
        // what a fully covered column gets.
        const int half = 255 * r.w / 800 / 2 - 2;
        for (int x = 0; x < 800; x += 5) {
            const int o = x * r.w / 800;
            const int most = std::max(green(out.at(o, r.y)), o + 1 < r.w ? green(out.at(o + 1, r.y)) : 0);
            EXPECT_GE(most, half) << "line at " << x << " lost at width " << width;
        }
    }
}

TEST(FrameScaler, MirrorImagesStayMirrorImagesAtEverySize) {
    // The right side panel is the left one mirrored; scaled, it must still be (to one level).
    const Picture src = noise(800, 600);
    Picture mirror(800, 600);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) mirror.at(799 - x, y) = src.at(x, y);
    for (int width : {500, 640, 1000, 1440, 1600}) {
        const Picture a = scaled(src, width, width * 3 / 4);
        const Picture b = scaled(mirror, width, width * 3 / 4);
        for (int y = 0; y < a.h; ++y)
            for (int x = 0; x < a.w; ++x) {
                const std::uint32_t p = a.at(x, y), q = b.at(a.w - 1 - x, y);
                for (int shift : {0, 8, 16})
                    ASSERT_LE(std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF)), 1)
                        << "width " << width << " at " << x << "," << y;
            }
    }
}

TEST(FrameScaler, BarsAreBlackAndThePictureCoversItsRectangle) {
    const Picture src(800, 600, 0xFF808080u);  // top byte set: must not reach the window
    const Picture out = scaled(src, 1280, 720);
    for (int y = 0; y < out.h; ++y)
        for (int x = 0; x < out.w; ++x) {
            const bool inside = x >= 160 && x < 1120;
            ASSERT_EQ(out.at(x, y), inside ? 0x00808080u : 0u) << x << "," << y;
        }
}
