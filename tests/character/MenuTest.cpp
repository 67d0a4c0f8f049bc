#include <gtest/gtest.h>
#include <algorithm>
#include "character/CharacterMenu.h"
#include "character/CharacterString.h"
#include "support/TestEnv.h"

namespace {
struct MenuFixture : ::testing::Test {
    HeadlessEnv h;
    Env* env = &h.env;
    CharacterMenu menu{env, &h.log};

    void add(int id) {
        auto* s = new CharacterString(env, &h.log);
        s->SetText("item");
        s->SetPosition(toFixed(100), toFixed(100 + id * 20));
        menu.AddItem(s, id);
    }
    // One poll with these buttons held, then the menu's frame.
    void press(std::initializer_list<int> buttons) {
        for (int b : buttons) env->input.setButton(b, true);
        menu.UpdateTree();
        for (int b : buttons) env->input.setButton(b, false);
    }
};
}  // namespace

TEST_F(MenuFixture, FirstEntryHighlightedAndWrapsBothWays) {
    add(7);
    add(3);
    add(9);
    EXPECT_EQ(menu.GetCurrent(), 7);
    press({Up});
    EXPECT_EQ(menu.GetCurrent(), 9);
    press({Down});
    EXPECT_EQ(menu.GetCurrent(), 7);
    press({Down});
    press({Down});
    EXPECT_EQ(menu.GetCurrent(), 9);
    EXPECT_EQ(menu.GetDecided(), 0);
    press({Button1});
    EXPECT_EQ(menu.GetDecided(), 9);
}

TEST_F(MenuFixture, OneEntryMenuAndCancelWinsOverDecide) {
    add(4);
    press({Down});
    EXPECT_EQ(menu.GetCurrent(), 4);
    press({Up});
    EXPECT_EQ(menu.GetCurrent(), 4);
    press({Button1, Button2});
    EXPECT_EQ(menu.GetDecided(), -1);
}

TEST_F(MenuFixture, StepsChainWithinOneFrameAndInactiveMenuIgnoresInput) {
    add(1);
    add(2);
    add(3);
    press({Down, Button1});  // Down moves first, then Button1 decides the entry it reached
    EXPECT_EQ(menu.GetDecided(), 2);
    menu.ResetDecided();
    menu.SetActive(false);
    press({Down});
    EXPECT_EQ(menu.GetCurrent(), 2);
    menu.SetCurrent(42);  // no such entry: no cursor, no input
    menu.SetActive(true);
    press({Down});
    EXPECT_EQ(menu.GetCurrent(), 42);
}

TEST_F(MenuFixture, TextDrawsOneGlyphPerByteEightPixelsApart) {
    // Glyph 'A' is a 2x2 white block on surface 0 so that each drawn glyph leaves a mark.
    env->draw.CreateSurface(8, 8, 0);
    Surface* font = env->draw.GetSurface(0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) font->at(x, y) = 0xFFFFFF;
    env->draw.DefineSprite(SpriteDef::cell(0, 0, 0, 2, 2), 'A');
    CharacterString text(env, &h.log);
    text.SetText(std::string("A\xC1") + "A");  // byte 0xC1 is no glyph: a gap
    text.SetPosition(toFixed(10), toFixed(10));
    text.UpdateTree();
    Surface& back = env->draw.backBuffer();
    const int row = 10 - 1, col = 160 + 10 - 1;
    EXPECT_EQ(back.at(col, row), 0xFFFFFFu);
    EXPECT_EQ(back.at(col + 8, row), 0u);
    EXPECT_EQ(back.at(col + 16, row), 0xFFFFFFu);
}

TEST_F(MenuFixture, TheHighlightBarCoversTheWholeLabelAndNoMore) {
    // The bar (sprite 132) is 64 x 16 of white; the labels draw nothing (no glyphs defined).
    env->draw.CreateSurface(64, 16, 0);
    Surface* bar = env->draw.GetSurface(0);
    std::fill(bar->pixels.begin(), bar->pixels.end(), 0xFFFFFFu);
    env->draw.DefineSprite(SpriteDef::cell(0, 0, 0, 64, 16), 132);
    for (const char* label : {"exit", "play 1st lap", "score (2nd lap [old])", "return to playing"}) {
        SCOPED_TRACE(label);
        env->draw.Clear(Draw::kBackBuffer);
        CharacterMenu one{env, &h.log};
        auto* s = new CharacterString(env, &h.log);
        s->SetText(label);
        s->SetPosition(toFixed(100), toFixed(100));
        one.AddItem(s, 1);
        one.UpdateTree();
        // The label's glyphs, 8 pixels apart and centred on their places, span x - 4 to x + 8n - 4
        // on the playfield (160 further on the picture); the bar is under all of them.
        const int n = static_cast<int>(std::string(label).size());
        const int left = 160 + 100 - 4, right = 160 + 100 + 8 * n - 4;
        Surface& back = env->draw.backBuffer();
        for (int x = left; x < right; ++x) EXPECT_EQ(back.at(x, 100), 0xFFFFFFu) << "column " << x - left;
        // A long label's bar ends with its text; a short one keeps the bar as it was (64 pixels
        // from 8 left of the text).
        const int end = n > 8 ? right : 160 + 100 + 24 + 32;
        EXPECT_EQ(back.at(end, 100), 0u);
        EXPECT_EQ(back.at(end - 1, 100), 0xFFFFFFu);
    }
}
