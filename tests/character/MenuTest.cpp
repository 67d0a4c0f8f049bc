#include <gtest/gtest.h>
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
