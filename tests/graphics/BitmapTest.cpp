// Reading BMP data: the pixel order of both row orders, row padding, and refusal of anything
// malformed without reading past the buffer.
#include <gtest/gtest.h>
#include <cstdint>
#include <vector>
#include "graphics/Bitmap.h"

namespace {

void put32(std::vector<unsigned char>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// A BMP of w x h pixels where pixel (x, y) of the picture (top row first) is colour(x, y).
std::uint32_t colour(int x, int y) { return 0x00102030u + static_cast<std::uint32_t>(y * 0x010000 + x * 0x0101); }

std::vector<unsigned char> makeBmp(int w, int h, int bpp, bool topDown) {
    const std::size_t stride = (static_cast<std::size_t>(w) * (bpp / 8) + 3) & ~std::size_t{3};
    std::vector<unsigned char> b(54 + stride * h, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<std::uint32_t>(b.size()));
    put32(b, 10, 54);
    put32(b, 14, 40);
    put32(b, 18, static_cast<std::uint32_t>(w));
    put32(b, 22, static_cast<std::uint32_t>(topDown ? -h : h));
    b[26] = 1;
    b[28] = static_cast<unsigned char>(bpp);
    for (int y = 0; y < h; ++y) {
        const std::size_t row = 54 + stride * static_cast<std::size_t>(topDown ? y : h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = colour(x, y);
            unsigned char* p = &b[row + static_cast<std::size_t>(x) * (bpp / 8)];
            p[0] = c & 0xFF;         // blue
            p[1] = (c >> 8) & 0xFF;  // green
            p[2] = (c >> 16) & 0xFF; // red
            if (bpp == 32) p[3] = 0x77;  // the unused byte must not reach the pixel
        }
    }
    return b;
}

void expectPicture(const Bitmap& bmp, int w, int h) {
    ASSERT_EQ(bmp.width, w);
    ASSERT_EQ(bmp.height, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(bmp.pixels[static_cast<std::size_t>(y) * w + x], colour(x, y)) << x << "," << y;
}

}  // namespace

TEST(DecodeBmp, ReadsBothRowOrdersAndDepthsWithPadding) {
    for (int bpp : {24, 32})
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(::testing::Message() << bpp << " bits, top-down " << topDown);
            const std::vector<unsigned char> file = makeBmp(3, 2, bpp, topDown);  // 9-byte rows padded to 12
            Bitmap bmp;
            ASSERT_TRUE(decodeBmp(file.data(), file.size(), bmp));
            expectPicture(bmp, 3, 2);
        }
}

TEST(DecodeBmp, AcceptsPlainBitFieldsOnly) {
    std::vector<unsigned char> file = makeBmp(2, 2, 32, false);
    // Bit fields: the three masks follow the information header, so the pixels move back 12 bytes.
    file.insert(file.begin() + 54, 12, 0);
    put32(file, 10, 66);
    put32(file, 30, 3);
    put32(file, 54, 0xFF0000);
    put32(file, 58, 0xFF00);
    put32(file, 62, 0xFF);
    Bitmap bmp;
    ASSERT_TRUE(decodeBmp(file.data(), file.size(), bmp));
    expectPicture(bmp, 2, 2);
    put32(file, 54, 0xFF);  // red and blue swapped: not a layout this reader knows
    put32(file, 62, 0xFF0000);
    EXPECT_FALSE(decodeBmp(file.data(), file.size(), bmp));
}

TEST(DecodeBmp, RefusesMalformedHeadersAndLeavesTheOutputAlone) {
    const std::vector<unsigned char> good = makeBmp(4, 3, 24, false);
    struct Case {
        const char* what;
        std::size_t at;
        std::uint32_t value;
    } cases[] = {
        {"signature", 0, 0x00004D42 ^ 0x1},   {"pixel offset past the end", 10, 0xFFFFFFF0},
        {"pixel offset inside the headers", 10, 20}, {"info header too small", 14, 12},
        {"info header past the end", 14, 100000}, {"zero width", 18, 0},
        {"negative width", 18, static_cast<std::uint32_t>(-4)}, {"width beyond 16384", 18, 16385},
        {"zero height", 22, 0},               {"most negative height", 22, 0x80000000u},
        {"8 bits per pixel", 28, 8},          {"16 bits per pixel", 28, 16},
        {"run-length compressed", 30, 1},     {"bit fields at 24 bits", 30, 3},
        {"rows claimed beyond the data", 22, 4},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> file = good;
        if (c.at == 28)
            file[28] = static_cast<unsigned char>(c.value);
        else
            put32(file, c.at, c.value);
        Bitmap bmp;
        bmp.width = -7;
        EXPECT_FALSE(decodeBmp(file.data(), file.size(), bmp)) << c.what;
        EXPECT_EQ(bmp.width, -7) << c.what;
        EXPECT_TRUE(bmp.pixels.empty()) << c.what;
    }
    Bitmap bmp;
    EXPECT_FALSE(decodeBmp(nullptr, 100, bmp));
}

TEST(DecodeBmp, RefusesEveryTruncation) {
    const std::vector<unsigned char> good = makeBmp(5, 4, 24, false);
    for (std::size_t n = 0; n < good.size(); ++n) {
        // A copy of exactly n bytes, so reading past it is a fault a sanitizer sees.
        const std::vector<unsigned char> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        Bitmap bmp;
        EXPECT_FALSE(decodeBmp(cut.data(), cut.size(), bmp)) << n << " bytes";
    }
}

TEST(BitmapResources, EveryPictureIsCompiledInAtItsSize) {
    struct Size {
        int id, w, h;
    } sizes[] = {{105, 272, 78},  {106, 512, 256}, {107, 128, 144}, {108, 512, 512}, {109, 480, 1800},
                 {110, 512, 256}, {111, 200, 74},  {112, 480, 600}, {114, 128, 192}, {116, 480, 661},
                 {117, 320, 296}, {119, 640, 300}, {121, 640, 320}, {125, 160, 600}};
    for (const Size& s : sizes) {
        std::size_t size = 0;
        const unsigned char* data = findBitmapResource(s.id, size);
        ASSERT_NE(data, nullptr) << s.id;
        BmpHeader header;
        ASSERT_TRUE(readBmpHeader(data, size, header)) << s.id;
        EXPECT_EQ(header.bitsPerPixel, 24) << s.id;
        Bitmap bmp;
        ASSERT_TRUE(decodeBmp(data, size, bmp)) << s.id;
        EXPECT_EQ(bmp.width, s.w) << s.id;
        EXPECT_EQ(bmp.height, s.h) << s.id;
    }
    std::size_t size = 1;
    EXPECT_EQ(findBitmapResource(113, size), nullptr);
    EXPECT_EQ(size, 0u);
}

// Letting the compiled-in files' pages go loses nothing: every picture decodes to the same pixels
// afterwards (were the files in writable memory, the pages would come back as zeros).
TEST(BitmapResources, ReleasingTheirPagesKeepsEveryPictureIntact) {
    std::vector<Bitmap> before;
    for (int id : {105, 109, 112, 125}) {
        std::size_t size = 0;
        const unsigned char* data = findBitmapResource(id, size);
        ASSERT_NE(data, nullptr) << id;
        before.emplace_back();
        ASSERT_TRUE(decodeBmp(data, size, before.back())) << id;
    }
    releaseBitmapResourcePages();
    int i = 0;
    for (int id : {105, 109, 112, 125}) {
        std::size_t size = 0;
        const unsigned char* data = findBitmapResource(id, size);
        Bitmap after;
        ASSERT_TRUE(decodeBmp(data, size, after)) << id;
        EXPECT_EQ(after.pixels, before[static_cast<std::size_t>(i++)].pixels) << id;
    }
}
