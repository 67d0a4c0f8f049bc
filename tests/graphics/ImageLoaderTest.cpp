// Loading a compiled-in picture into a Draw surface: the surface, its key, and the log lines.
#include "DrawFixture.h"
#include "graphics/Bitmap.h"
#include "graphics/ImageLoader.h"

using ImageLoaderTest = DrawFixture;

TEST_F(ImageLoaderTest, LoadsThePictureWithBlackAndDarkestBlueTransparent) {
    ImageLoader loader(&log);
    ASSERT_TRUE(loader.Load(107, &draw, 0));
    const Surface* s = draw.GetSurface(0);
    ASSERT_NE(s, nullptr);
    std::size_t size = 0;
    const unsigned char* data = findBitmapResource(107, size);
    Bitmap expected;
    ASSERT_TRUE(decodeBmp(data, size, expected));
    EXPECT_EQ(s->width, 128);
    EXPECT_EQ(s->height, 144);
    EXPECT_TRUE(s->pixels == expected.pixels);
    EXPECT_EQ(s->keyLow, 0u);
    EXPECT_EQ(s->keyHigh, 1u);
    EXPECT_EQ(logMessagesOf(logText(), "ImageLoader"), std::vector<std::string>{"ビットマップリソースのローディング　ID= = 6b"});
}

TEST_F(ImageLoaderTest, ReplacesTheSurfaceAlreadyAtTheIndex) {
    paint(5, 2, 2, {1, 2, 3, 4});
    ImageLoader loader(&log);
    ASSERT_TRUE(loader.Load(111, &draw, 5));
    EXPECT_EQ(draw.GetSurface(5)->width, 200);
    EXPECT_EQ(draw.GetSurface(5)->height, 74);
}

TEST_F(ImageLoaderTest, MissingPictureIsLoggedAndLeavesTheSurfacesAsTheyWere) {
    Surface& held = paint(5, 2, 2, {1, 2, 3, 4});
    ImageLoader loader(&log);
    EXPECT_FALSE(loader.Load(113, &draw, 5));
    EXPECT_EQ(draw.GetSurface(5), &held);
    EXPECT_EQ(held.pixels, (std::vector<std::uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(draw.GetSurface(6), nullptr);
    EXPECT_EQ(logMessagesOf(logText(), "ImageLoader"), (std::vector<std::string>{"ビットマップリソースのローディング　ID= = 71",
                                                                   "ビットマップリソースが見つからなかった"}));
}

TEST_F(ImageLoaderTest, NoSurfaceToLoadIntoIsLogged) {
    ImageLoader loader(&log);
    EXPECT_FALSE(loader.Load(107, &draw, -1));
    EXPECT_FALSE(loader.Load(107, nullptr, 0));
    const std::vector<std::string> messages = logMessagesOf(logText(), "ImageLoader");
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "バッファの作成に失敗"), 2);
}

TEST_F(ImageLoaderTest, LoadedSpriteDrawsWithItsKey) {
    // A loaded surface's key covers 0 and 1: both stay out of the picture, 2 is drawn.
    ImageLoader loader(&log);
    ASSERT_TRUE(loader.Load(107, &draw, 0));
    Surface& s = *draw.GetSurface(0);
    s.at(0, 0) = 0;
    s.at(1, 0) = 1;
    s.at(2, 0) = 2;
    s.at(3, 0) = 0x00FFFFFF;
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 4, 2), 1);
    fillBack(kMarker);
    draw.DrawSprite(toFixed(10), toFixed(10), 1);
    EXPECT_EQ(block(168, 9, 4, 1), (std::vector<std::uint32_t>{kMarker, kMarker, 2, 0x00FFFFFF}));
}
