// The pixel effects (white flash rows, shaded fades), clearing and the skip switch.
#include "DrawFixture.h"

namespace {
constexpr std::uint32_t W = 0xFFFFFFu;
}

using DrawEffects = DrawFixture;

TEST_F(DrawEffects, FlashWhitensEvenRowsWhereTheSourceIsNotBlack) {
    // Rows of a 4 x 6 sprite with the loader's key (0 and 1 transparent when drawn).
    Surface& s = paint(0, 4, 6, {2, 1, 4, 5,    //
                                 6, 7, 8, 9,    //
                                 10, 11, 0, 13,  //
                                 0, 15, 16, 17,  //
                                 18, 19, 20, 21,  //
                                 22, 23, 24, 25});
    s.keyHigh = 1;
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 4, 6), 1);
    fillBack(kMarker);
    draw.DrawSpriteFlash(toFixed(10), toFixed(10), 1);
    const std::uint32_t M = kMarker;
    EXPECT_EQ(block(168, 7, 4, 6), (std::vector<std::uint32_t>{
                                       W, W, W, W,     // 1 is transparent but not 0, so it whitens
                                       6, 7, 8, 9,     //
                                       W, W, M, W,     // black stays transparent
                                       M, 15, 16, 17,  // odd rows as drawn
                                       W, W, W, W,     //
                                       22, 23, 24, 25}));
}

TEST_F(DrawEffects, FlashCopyIntoAnOffScreenSurfaceOfTheSpritesSize) {
    // How a stage makes a boss's hit picture: the flashed sprite drawn at the centre of a surface
    // of its own size.
    paint(0, 4, 4, {3, 3, 3, 3, 4, 0, 4, 4, 5, 5, 0, 5, 6, 6, 6, 6});
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 4, 4), 1);
    ASSERT_EQ(draw.CreateSurface(4, 4, 6), 0);
    draw.DrawSpriteFlash(toFixed(2), toFixed(2), 1, 6);
    EXPECT_EQ(draw.GetSurface(6)->pixels, (std::vector<std::uint32_t>{W, W, W, W, 4, 0, 4, 4, W, W, 0, W, 6, 6, 6, 6}));
}

TEST_F(DrawEffects, FlashOfAnOddSizedSpriteReadsTheSourceRowsPixelForPixel) {
    // 2 x 5 without key, drawn 2 x 4: the blit samples source rows 0, 1, 3, 4, but the flash walks
    // the source unscaled, so source row 2 (black) decides destination row 2, and source row 4
    // is never read.
    paint(0, 2, 5, {5, 5,  //
                    6, 6,  //
                    0, 0,  //
                    8, 8,  //
                    9, 9});
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 2, 5, false), 1);
    fillBack(kMarker);
    draw.DrawSpriteFlash(toFixed(10), toFixed(10), 1);  // rows 8..11, columns 169..170
    EXPECT_EQ(block(169, 8, 2, 4), (std::vector<std::uint32_t>{W, W, 6, 6, 8, 8, 9, 9}));
    EXPECT_EQ(back(169, 12), kMarker);
}

TEST_F(DrawEffects, FlashRowsAreCountedFromTheFirstVisibleRowOfAClippedSprite) {
    // Cut one row at the top: the clipped source starts at sprite row 1, and that row is row 0
    // of the flash, so sprite rows 1 and 3 whiten and row 2 stays as drawn.
    paint(0, 2, 4, {1, 1, 2, 2, 3, 3, 4, 4});
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 2, 4, false), 1);
    fillBack(kMarker);
    draw.DrawSpriteFlash(toFixed(10), toFixed(1), 1);  // rows -1..2
    EXPECT_EQ(block(169, 0, 2, 4), (std::vector<std::uint32_t>{W, W, 3, 3, W, W, kMarker, kMarker}));
}

TEST_F(DrawEffects, ShadeAtFullStrengthCopiesEveryPixelIgnoringTheKey) {
    const std::initializer_list<std::uint32_t> pixels = {0x00123456, 0, 0xFF000001, 0x00FFFFFF};
    paint(0, 2, 2, pixels);
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 2, 2), 1);
    for (int percent : {200, 350}) {
        fillBack(kMarker);
        draw.DrawSpriteShaded(toFixed(10), toFixed(10), 1, percent);
        EXPECT_EQ(block(169, 9, 2, 2), std::vector<std::uint32_t>(pixels)) << percent;
    }
}

TEST_F(DrawEffects, ShadeAtMinusHundredBlacksTheRectangleKeepingTheTopByte) {
    paint(0, 2, 2, {0x00123456, 0x00FFFFFF, 0xAB654321, 7});
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 2, 2), 1);
    for (int percent : {-100, -500}) {
        fillBack(kMarker);
        draw.DrawSpriteShaded(toFixed(10), toFixed(10), 1, percent);
        EXPECT_EQ(block(169, 9, 2, 2), (std::vector<std::uint32_t>{0, 0, 0xAB000000, 0})) << percent;
    }
}

TEST_F(DrawEffects, ShadeScalesEachChannelTruncating) {
    // Row 0 and column 0 have sin(0) = 0 in the pattern, so there f is percent / 100 exactly.
    paint(0, 2, 2, {0x00FF8001, 0x00FF8001, 0x00FF8001, 0x00FF8001});
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 2, 2, false), 1);
    draw.DrawSpriteShaded(toFixed(10), toFixed(10), 1, 50);
    EXPECT_EQ(back(169, 9), 0x007F4000u);  // 255, 128, 1 halved: 127, 64, 0
    EXPECT_EQ(back(170, 9), 0x007F4000u);
    EXPECT_EQ(back(169, 10), 0x007F4000u);
}

TEST_F(DrawEffects, ShadeAtZeroDarkensInADotPattern) {
    constexpr int N = 60;
    draw.CreateSurface(N, N, 0);
    Surface& s = *draw.GetSurface(0);
    std::fill(s.pixels.begin(), s.pixels.end(), 0x00C8C8C8u);  // grey 200
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, N, N), 1);
    fillBack(kMarker);
    draw.DrawSpriteShaded(toFixed(100), toFixed(100), 1, 0);  // rectangle from column 230, row 70
    // f = sin(4/3)^2 = 0.9447 at row 4, column 4: 200 becomes 188.
    EXPECT_EQ(back(234, 74), 0x00BCBCBCu);
    // sin(4/3) * sin(10/3) is negative: black.
    EXPECT_EQ(back(240, 74), 0u);
    int black = 0, brighter = 0;
    for (int r = 0; r < N; ++r)
        for (int c = 0; c < N; ++c) {
            const std::uint32_t p = back(230 + c, 70 + r);
            black += p == 0;
            brighter += (p & 0xFF) > 200;
        }
    EXPECT_EQ(brighter, 0);
    EXPECT_GT(black, N * N * 4 / 10);  // about half the dots go black
    EXPECT_LT(black, N * N * 6 / 10);
}

TEST_F(DrawEffects, ShadeOfAnOddSizedSpriteWalksTheSourceUnscaled) {
    // 3 x 3 drawn 2 x 2: the shade reads source columns and rows 0 and 1, not the scaled 0 and 2.
    paint(0, 3, 3, {1, 2, 3,  //
                    4, 5, 6,  //
                    7, 8, 9});
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 3, 3), 1);
    fillBack(kMarker);
    draw.DrawSpriteShaded(toFixed(10), toFixed(10), 1, 200);
    EXPECT_EQ(block(169, 9, 2, 2), (std::vector<std::uint32_t>{1, 2, 4, 5}));
    EXPECT_EQ(back(171, 9), kMarker);
    EXPECT_EQ(back(169, 11), kMarker);
}

TEST_F(DrawEffects, ShadeAlwaysDrawsIntoTheBackBuffer) {
    paint(0, 2, 2, {9, 9, 9, 9});
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 2, 2), 1);
    fillBack(kMarker);
    draw.DrawSpriteShaded(0, toFixed(300), 1, 200);
    EXPECT_EQ(back(159, 299), 9u);  // playfield x 0 is column 160 here too
    EXPECT_EQ(back(160, 300), 9u);
    EXPECT_EQ(back(1, 300), kMarker);
}

TEST_F(DrawEffects, ClearBlanksThePlayfieldStripOrAWholeSurface) {
    fillBack(kMarker);
    draw.Clear(Draw::kBackBuffer);
    EXPECT_EQ(back(159, 0), kMarker);
    EXPECT_EQ(back(160, 0), 0u);
    EXPECT_EQ(back(639, 599), 0u);
    EXPECT_EQ(back(640, 599), kMarker);

    Surface& s = paint(2, 3, 2, {1, 2, 3, 4, 5, 6});
    draw.Clear(2);
    EXPECT_EQ(s.pixels, std::vector<std::uint32_t>(6, 0u));
    draw.Clear(77);  // no such surface: nothing happens
}

TEST_F(DrawEffects, SkipMakesDrawingClearingAndPresentingDoNothingButText) {
    Surface& s = paint(0, 2, 2, {5, 5, 5, 5});
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 2, 2), 1);
    fillBack(kMarker);
    draw.SetSkip(true);
    EXPECT_TRUE(draw.skip());
    draw.DrawSprite(toFixed(10), toFixed(10), 1);
    draw.DrawSpriteFlash(toFixed(10), toFixed(10), 1);
    draw.DrawSpriteShaded(toFixed(10), toFixed(10), 1, 200);
    draw.Clear(Draw::kBackBuffer);
    draw.Clear(0);
    const int presents = platform.screen().presents;
    draw.Present();
    draw.DrawText(0, 0, "still written");
    EXPECT_TRUE(std::all_of(draw.backBuffer().pixels.begin(), draw.backBuffer().pixels.end(),
                            [](std::uint32_t p) { return p == kMarker; }));
    EXPECT_EQ(s.pixels, std::vector<std::uint32_t>(4, 5u));
    EXPECT_EQ(platform.screen().presents, presents);
    EXPECT_EQ(platform.textRenderer().texts, std::vector<std::string>{"still written"});

    draw.SetSkip(false);
    draw.DrawSprite(toFixed(10), toFixed(10), 1);
    EXPECT_EQ(back(169, 9), 5u);
}
