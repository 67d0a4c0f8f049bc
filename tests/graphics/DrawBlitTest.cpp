// Plain sprite drawing: placement, colour key, clipping, scaling and the cases that draw nothing.
#include "DrawFixture.h"

namespace {

std::uint32_t value(int row, int col) { return 0x10000u * static_cast<std::uint32_t>(row + 1) + static_cast<std::uint32_t>(col + 2); }

// A w x h surface whose pixel (col, row) is value(row, col): every pixel distinct and not a key.
Surface& numbered(Draw& draw, int index, int w, int h) {
    draw.CreateSurface(w, h, index);
    Surface& s = *draw.GetSurface(index);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) s.at(c, r) = value(r, c);
    return s;
}

}  // namespace

using DrawBlit = DrawFixture;

TEST_F(DrawBlit, DrawsCentredOnThePlayfieldAndLeavesKeyPixelsOut) {
    paint(0, 4, 4, {1, 2, 3, 4,  //
                    5, 0, 7, 8,  //
                    9, 10, 11, 12, 13, 14, 15, 16});
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 4, 4), 1);
    fillBack(kMarker);
    draw.DrawSprite(toFixed(10), toFixed(10), 1);
    // Playfield (10, 10) is back-buffer column 170, row 10; the 4 x 4 sprite covers 168..171 x 8..11.
    EXPECT_EQ(block(168, 8, 4, 4), (std::vector<std::uint32_t>{1, 2, 3, 4, 5, kMarker, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
    EXPECT_EQ(back(167, 8), kMarker);
    EXPECT_EQ(back(172, 11), kMarker);
    EXPECT_EQ(back(168, 12), kMarker);
}

TEST_F(DrawBlit, ColourKeyRangeDecidesWhatIsTransparent) {
    struct Case {
        std::uint32_t keyHigh, pixel;
        bool keyOn, drawn;
    } cases[] = {
        {0, 0x000000, true, false},     // CreateSurface's key: black only
        {0, 0x000001, true, true},
        {1, 0x000001, true, false},     // the loader's key: the darkest blue too
        {1, 0x000002, true, true},
        {1, 0x01000000, true, false},   // bits above the colour are not part of the key
        {1, 0x000000, false, true},     // sprite without the key flag copies black
    };
    for (const Case& c : cases) {
        Surface& s = paint(0, 2, 2, {c.pixel, c.pixel, c.pixel, c.pixel});
        s.keyHigh = c.keyHigh;
        draw.DefineSprite(SpriteDef::cell(0, 0, 0, 2, 2, c.keyOn), 1);
        fillBack(kMarker);
        draw.DrawSprite(toFixed(100), toFixed(100), 1);
        EXPECT_EQ(back(260, 100), c.drawn ? c.pixel : kMarker) << std::hex << "pixel " << c.pixel << " key 0.." << c.keyHigh;
    }
}

TEST(DrawClipRects, ClipsTopBottomLeftRightShiftingTheSource) {
    struct Case {
        Rect dst, src, wantDst, wantSrc;
    } cases[] = {
        {{10, 20, 18, 28}, {0, 0, 8, 8}, {10, 20, 18, 28}, {0, 0, 8, 8}},          // inside: untouched
        {{-2, -3, 6, 5}, {0, 0, 8, 8}, {0, 0, 6, 5}, {2, 3, 8, 8}},                // over top and left
        {{796, 598, 804, 606}, {0, 0, 8, 8}, {796, 598, 800, 600}, {0, 0, 4, 2}},  // over bottom and right
        {{-4, -4, 4, 4}, {10, 10, 17, 17}, {0, 0, 4, 4}, {14, 14, 17, 17}},        // odd source keeps its far edge
        {{0, -10, 4, -6}, {0, 0, 4, 4}, {0, 0, 4, -6}, {0, 10, 4, 4}},             // wholly above: empty
    };
    for (const Case& c : cases) {
        Rect dst = c.dst, src = c.src;
        Draw::ClipRects(dst, src);
        EXPECT_EQ(dst, c.wantDst);
        EXPECT_EQ(src, c.wantSrc);
    }
}

TEST_F(DrawBlit, SpritePartlyAboveTheTopShowsTheBottomOfThePicture) {
    numbered(draw, 0, 4, 4);
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 4, 4), 1);
    fillBack(kMarker);
    draw.DrawSprite(toFixed(40), toFixed(1), 1);  // rows -1..2: the top source row is cut off
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(back(198 + c, r), value(r + 1, c)) << r << "," << c;
    EXPECT_EQ(back(198, 3), kMarker);
}

TEST_F(DrawBlit, SpriteAtPlayfieldLeftEdgeIsHalfHiddenByThePanel) {
    numbered(draw, 0, 4, 4);
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 4, 4), 1);
    fillBack(0);
    draw.DrawSprite(0, toFixed(300), 1);  // back-buffer columns 158..161
    EXPECT_EQ(back(158, 298), value(0, 0));
    EXPECT_EQ(draw.Present(), 0);
    const std::vector<std::uint32_t>& strip = platform.screen().strip;
    ASSERT_EQ(strip.size(), 480u * 600u);
    // The strip starts at column 160: only the right half is on screen.
    EXPECT_EQ(strip[298 * 480 + 0], value(0, 2));
    EXPECT_EQ(strip[298 * 480 + 1], value(0, 3));
    EXPECT_EQ(strip[298 * 480 + 2], 0u);
}

TEST_F(DrawBlit, SpriteLeavingTheBackBufferIsCutAtEveryEdge) {
    numbered(draw, 0, 4, 4);
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 4, 4), 1);
    fillBack(kMarker);
    draw.DrawSprite(toFixed(-161), toFixed(599), 1);  // columns -3..0, rows 597..600
    EXPECT_EQ(back(0, 597), value(0, 3));
    EXPECT_EQ(back(0, 599), value(2, 3));
    EXPECT_EQ(back(1, 597), kMarker);
    draw.DrawSprite(toFixed(640), toFixed(0), 1);  // centre at column 800, row 0
    EXPECT_EQ(back(798, 0), value(2, 0));
    EXPECT_EQ(back(799, 1), value(3, 1));
}

TEST_F(DrawBlit, OffScreenTargetGetsNoOffsetAndOnlyTheBackBuffersClip) {
    numbered(draw, 0, 6, 6);
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 6, 6), 1);
    ASSERT_EQ(draw.CreateSurface(4, 4, 5), 0);
    Surface& target = *draw.GetSurface(5);
    auto reset = [&] { std::fill(target.pixels.begin(), target.pixels.end(), kMarker); };

    // (-3, -3)..(3, 3): the 800 x 600 clip keeps the lower right, which fits the 4 x 4 target.
    reset();
    draw.DrawSprite(0, 0, 1, 5);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(target.at(c, r), r < 3 && c < 3 ? value(r + 3, c + 3) : kMarker) << r << "," << c;

    // (1, 1)..(7, 7) lies inside 800 x 600 but hangs over the target's edge: the blit is refused
    // and neither the sprite nor its flash leaves a pixel.
    reset();
    draw.DrawSprite(toFixed(4), toFixed(4), 1, 5);
    draw.DrawSpriteFlash(toFixed(4), toFixed(4), 1, 5);
    EXPECT_EQ(target.pixels, std::vector<std::uint32_t>(16, kMarker));
}

TEST_F(DrawBlit, OddSizedSourceIsScaledIntoTheSmallerRectangle) {
    paint(0, 5, 3, {1, 2, 3, 4, 5,  //
                    6, 7, 8, 9, 10,  //
                    11, 0, 13, 14, 15});
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 5, 3), 1);  // half sizes 2 and 1: a 4 x 2 rectangle
    fillBack(kMarker);
    draw.DrawSprite(toFixed(10), toFixed(10), 1);
    // Each destination pixel samples the source at its centre: the middle row and column drop out.
    // The key still applies to the sampled pixels.
    EXPECT_EQ(block(168, 9, 4, 2), (std::vector<std::uint32_t>{1, 2, 4, 5, 11, kMarker, 14, 15}));
    EXPECT_EQ(back(172, 9), kMarker);
    EXPECT_EQ(back(168, 11), kMarker);
}

TEST_F(DrawBlit, LargerRectangleThanTheSourceRepeatsPixels) {
    paint(0, 2, 2, {1, 2, 3, 4});
    SpriteDef d = SpriteDef::cell(0, 0, 0, 2, 2);
    d.halfWidth = 2;  // 4 wide from 2 source columns
    draw.DefineSprite(d, 1);
    fillBack(kMarker);
    draw.DrawSprite(toFixed(10), toFixed(10), 1);
    EXPECT_EQ(block(168, 9, 4, 2), (std::vector<std::uint32_t>{1, 1, 2, 2, 3, 3, 4, 4}));
}

TEST_F(DrawBlit, UndefinedOrBrokenSpritesDrawNothing) {
    paint(0, 4, 4, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
    SpriteDef invalid = SpriteDef::cell(0, 0, 0, 4, 4);
    invalid.flags = SpriteDef::kColorKey;  // key byte set but not valid
    SpriteDef noSurface = SpriteDef::cell(9, 0, 0, 4, 4);
    SpriteDef pastSurface = SpriteDef::cell(0, 2, 2, 4, 4);  // source reaches column and row 6
    draw.DefineSprite(invalid, 5);
    draw.DefineSprite(noSurface, 6);
    draw.DefineSprite(pastSurface, 7);
    fillBack(kMarker);
    const std::vector<std::uint32_t> before = draw.backBuffer().pixels;
    for (std::int32_t id : {-1, 3, 5, 6, 7, 8, 100000}) {  // 3: inside the table, never defined; 8+: beyond it
        draw.DrawSprite(toFixed(100), toFixed(100), id);
        draw.DrawSpriteFlash(toFixed(100), toFixed(100), id);
        draw.DrawSpriteShaded(toFixed(100), toFixed(100), id, 200);
        draw.DrawSprite(toFixed(100), toFixed(100), id, 42);  // and a target that does not exist
        EXPECT_TRUE(draw.backBuffer().pixels == before) << "sprite " << id;
    }
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 4, 4), 1);
    draw.DrawSprite(toFixed(100), toFixed(100), 1, 42);
    EXPECT_TRUE(draw.backBuffer().pixels == before) << "missing target surface";
}
