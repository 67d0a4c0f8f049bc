// The service around the pixels: building the display, presenting, the surface and sprite
// tables, and text placement.
#include <algorithm>
#include "DrawFixture.h"
#include "graphics/ImageLoader.h"

namespace {

class ClosedScreen : public HeadlessScreen {
public:
    bool open(bool) override { ++attempts; return false; }
    int attempts = 0;
};

// Remembers where text was asked to go.
class PlacedText : public TextRenderer {
public:
    void drawText(std::uint32_t*, int w, int h, int, int x, int y, const std::string& s) override {
        calls.push_back({s, x, y, -1, -1, w, h});
    }
    void drawTextBox(std::uint32_t*, int w, int h, int, int x1, int y1, int x2, int y2, const std::string& s) override {
        calls.push_back({s, x1, y1, x2, y2, w, h});
    }
    struct Call {
        std::string text;
        int x1, y1, x2, y2, w, h;
        bool operator==(const Call&) const = default;
    };
    std::vector<Call> calls;
};

}  // namespace

using DrawService = DrawFixture;

TEST_F(DrawService, WindowedStartOpensTheScreenAndLogsSuccess) {
    EXPECT_TRUE(platform.screen().opened);
    EXPECT_FALSE(platform.screen().fullScreen);
    EXPECT_EQ(logMessagesOf(logText(), "Draw"), (std::vector<std::string>{"画像環境の初期化", "画像環境の初期化に成功"}));
    EXPECT_TRUE(platform.dialogs().shown.empty());
}

TEST_F(DrawService, FullScreenWithoutADisplayModeTellsThePlayerOnceAndRunsOnUnseen) {
    ClosedScreen screen;
    Draw full(&screen, nullptr, &platform.dialogs(), &log, true);
    ASSERT_EQ(platform.dialogs().shown.size(), 1u);
    EXPECT_EQ(platform.dialogs().shown[0].text, "DisplayMode\n800x600x16 and 800x600x32\nis not available.\n");
    EXPECT_EQ(platform.dialogs().shown[0].caption, "error");
    EXPECT_EQ(platform.dialogs().shown[0].buttons, Dialogs::Ok);
    EXPECT_EQ(logMessagesOf(logText(), "Draw"), (std::vector<std::string>{"画像環境の初期化", "画像環境の初期化に成功",
                                                                 "画像環境の初期化", "画像環境の初期化に失敗"}));
    EXPECT_EQ(full.Present(), Draw::kFailed);
    EXPECT_EQ(screen.presents, 0);
    // Drawing still works on the buffers; only nothing is shown.
    full.CreateSurface(2, 2, 0);
    full.DefineSprite(SpriteDef::cell(0, 0, 0, 2, 2, false), 1);
    full.DrawSprite(toFixed(10), toFixed(10), 1);
}

TEST_F(DrawService, WindowedFailureLogsWithoutAMessageBox) {
    ClosedScreen screen;
    Draw windowed(&screen, nullptr, &platform.dialogs(), &log, false);
    EXPECT_EQ(screen.attempts, 1);
    EXPECT_TRUE(platform.dialogs().shown.empty());
    EXPECT_EQ(logMessagesOf(logText(), "Draw").back(), "画像環境の初期化に失敗");
}

TEST_F(DrawService, WithoutAScreenNothingIsInitialisedOrShown) {
    const std::size_t linesBefore = logMessagesOf(logText(), "Draw").size();
    Draw none(nullptr, nullptr, &platform.dialogs(), &log, true);
    EXPECT_TRUE(platform.dialogs().shown.empty());  // no display-mode complaint
    EXPECT_EQ(logMessagesOf(logText(), "Draw").size(), linesBefore);
    EXPECT_EQ(none.Present(), Draw::kFailed);
    none.CreateSurface(2, 2, 0);
    none.GetSurface(0)->pixels = {7, 7, 7, 7};
    none.DefineSprite(SpriteDef::cell(0, 0, 0, 2, 2), 1);
    none.DrawSprite(toFixed(10), toFixed(10), 1);
    EXPECT_EQ(none.backBuffer().at(169, 9), 7u);
}

TEST_F(DrawService, RebuildingTheDisplayKeepsSurfacesAndSprites) {
    paint(3, 2, 2, {1, 2, 3, 4});
    draw.DefineSprite(SpriteDef::cell(3, 0, 0, 2, 2), 9);
    draw.Init(true);
    EXPECT_TRUE(platform.screen().fullScreen);
    EXPECT_TRUE(draw.fullScreen());
    ASSERT_NE(draw.GetSurface(3), nullptr);
    EXPECT_EQ(draw.GetSurface(3)->pixels, (std::vector<std::uint32_t>{1, 2, 3, 4}));
    EXPECT_NE(draw.sprite(9), nullptr);
}

TEST_F(DrawService, PresentHandsOverTheMiddleStrip) {
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) draw.backBuffer().at(x, y) = static_cast<std::uint32_t>(y * 1000 + x);
    EXPECT_EQ(draw.Present(), 0);
    const std::vector<std::uint32_t>& strip = platform.screen().strip;
    ASSERT_EQ(strip.size(), 480u * 600u);
    EXPECT_EQ(strip[0], 160u);
    EXPECT_EQ(strip[479], 639u);
    EXPECT_EQ(strip[599 * 480 + 479], 599u * 1000 + 639);
}

TEST_F(DrawService, CreateSurfaceMakesABlankSurfaceKeyedOnBlackAndReplacesAnOccupiedIndex) {
    paint(3, 2, 2, {1, 2, 3, 4});
    draw.GetSurface(3)->keyHigh = 1;
    ASSERT_EQ(draw.CreateSurface(5, 7, 3), 0);
    const Surface* s = draw.GetSurface(3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->width, 5);
    EXPECT_EQ(s->height, 7);
    EXPECT_EQ(s->pixels, std::vector<std::uint32_t>(35, 0u));
    EXPECT_EQ(s->keyLow, 0u);
    EXPECT_EQ(s->keyHigh, 0u);
    EXPECT_EQ(draw.GetSurface(2), nullptr);  // the table grew with empty entries
    EXPECT_EQ(draw.GetSurface(4), nullptr);
    EXPECT_EQ(draw.GetSurface(-1), nullptr);

    draw.ReleaseSurface(3);
    EXPECT_EQ(draw.GetSurface(3), nullptr);
    draw.ReleaseSurface(99);
}

TEST_F(DrawService, CreateSurfaceRefusesImpossibleSizesAndIndices) {
    paint(1, 2, 2, {1, 2, 3, 4});
    struct Case {
        int w, h, index;
    } cases[] = {{0, 4, 2}, {4, -1, 2}, {Draw::kMaxSurfaceSide + 1, 1, 2}, {4, 4, -1}, {4, 4, Draw::kMaxSurfaces},
                 {0, 0, 1}};  // the last one also drops what index 1 held, as a replacement would
    for (const Case& c : cases) {
        EXPECT_NE(draw.CreateSurface(c.w, c.h, c.index), 0) << c.w << "x" << c.h << " at " << c.index;
        EXPECT_EQ(draw.GetSurface(c.index), nullptr);
    }
    const std::vector<std::string> messages = logMessagesOf(logText(), "Draw");
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "オフスクリーンサーフェスの作成に失敗"), 6);
}

TEST_F(DrawService, DefineSpriteGrowsTheTableWithInvalidEntriesAndOverwrites) {
    draw.DefineSprite(SpriteDef::cell(2, 8, 16, 8, 16), 10);
    EXPECT_EQ(draw.sprite(9), nullptr);
    ASSERT_NE(draw.sprite(10), nullptr);
    EXPECT_EQ(draw.sprite(10)->srcLeft, 8);
    EXPECT_EQ(draw.sprite(10)->srcBottom, 32);
    EXPECT_EQ(draw.sprite(10)->surface, 2);
    draw.DefineSprite(1, 2, 3, 4, 1, 0, 1, 0, 7, SpriteDef::kValid, 10);
    EXPECT_EQ(draw.sprite(10)->surface, 7);
    EXPECT_EQ(draw.sprite(11), nullptr);
    // Ids no caller could mean are ignored rather than growing the table without bound.
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 2, 2), -5);
    draw.DefineSprite(SpriteDef::cell(0, 0, 0, 2, 2), 0x7FFFFFFF);
    EXPECT_EQ(draw.sprite(0x7FFFFFFF), nullptr);
}

TEST_F(DrawService, TextGoesToThePlayfieldPositionOfTheBackBuffer) {
    PlacedText text;
    Draw d(&platform.screen(), &text, nullptr, &log, false);
    d.DrawText(toFixed(100), toFixed(520), "comment");
    d.DrawTextBox(toFixed(30), toFixed(100), toFixed(450), toFixed(200), "テキスト");
    d.DrawText(0, 0, nullptr);
    EXPECT_EQ(text.calls, (std::vector<PlacedText::Call>{{"comment", 260, 520, -1, -1, 800, 600},
                                                         {"テキスト", 190, 100, 610, 200, 800, 600}}));
}

TEST_F(DrawService, ADiscardingServiceDrawsShowsAndMakesNothingEvenWithTheSkipLifted) {
    PlacedText text;
    Draw d(&platform.screen(), &text, nullptr, &log, false);
    d.DefineSprite(SpriteDef::cell(3, 0, 0, 2, 2), 9);
    d.SetDiscard(true);
    // Loading code lifts the skip to paint its flash copies; a discarding service stays blank.
    d.SetSkip(false);
    ASSERT_EQ(d.CreateSurface(2, 2, 3), 0);
    EXPECT_EQ(d.GetSurface(3), nullptr);
    ImageLoader loader(&log);
    EXPECT_TRUE(loader.Load(107, &d, 4));
    EXPECT_EQ(d.GetSurface(4), nullptr);
    std::fill(d.backBuffer().pixels.begin(), d.backBuffer().pixels.end(), kMarker);
    const int presents = platform.screen().presents;
    d.DrawSprite(toFixed(100), toFixed(100), 9);
    d.DrawSpriteFlash(toFixed(100), toFixed(100), 9);
    d.DrawSpriteShaded(toFixed(100), toFixed(100), 9, 50);
    d.DrawText(toFixed(100), toFixed(520), "comment");
    d.DrawTextBox(toFixed(30), toFixed(100), toFixed(450), toFixed(200), "box");
    d.Clear(Draw::kBackBuffer);
    d.Present();
    EXPECT_TRUE(std::all_of(d.backBuffer().pixels.begin(), d.backBuffer().pixels.end(),
                            [](std::uint32_t p) { return p == kMarker; }));
    EXPECT_TRUE(text.calls.empty());
    EXPECT_EQ(platform.screen().presents, presents);

    // Once it no longer discards, the same calls draw again; also for a service that discarded
    // from the start, whose back buffer only then gets its pixels.
    Draw fromStart(&platform.screen(), &text, nullptr, &log, false, /*discard*/ true);
    fromStart.DefineSprite(SpriteDef::cell(3, 0, 0, 2, 2), 9);
    for (Draw* each : {&d, &fromStart}) {
        each->SetDiscard(false);
        each->SetSkip(false);
        ASSERT_EQ(each->CreateSurface(2, 2, 3), 0);
        each->GetSurface(3)->pixels.assign(4, 7);
        each->DrawSprite(toFixed(100), toFixed(100), 9);
        each->DrawText(toFixed(100), toFixed(520), "comment");
        ASSERT_EQ(each->backBuffer().pixels.size(), 800u * 600u);
        EXPECT_EQ(each->backBuffer().at(260, 100), 7u);
    }
    EXPECT_EQ(text.calls.size(), 2u);
}
