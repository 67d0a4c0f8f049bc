#include <gtest/gtest.h>
#include <vector>
#include "records/GameTitle.h"
#include "support/TestEnv.h"

namespace {
std::vector<std::string> entryTexts(GameTitle& title) {
    std::vector<std::string> texts;
    for (Character* c : title.menu().GetChildren()) texts.push_back(static_cast<CharacterString*>(c)->text());
    return texts;
}
}  // namespace

TEST(TitleMenu, FirstStartShowsSixEntriesAndOptionsOnPlayFirstLap) {
    TempWorkDir dir;
    HeadlessEnv h;
    GameTitle title(&h.env, &h.log);
    EXPECT_EQ(entryTexts(title), (std::vector<std::string>{"play 1st lap", "score (1st lap)", "play 1st lap [old]",
                                                           "score (1st lap [old])", "tutorial", "exit", "options",
                                                           "practice"}));
    EXPECT_EQ(title.menu().GetCurrent(), 7);
}

TEST(TitleMenu, OptionsOpensThePageInPlaceAndButton2ComesBack) {
    TempWorkDir dir;
    HeadlessEnv h;
    GameTitle title(&h.env, &h.log);
    auto& keys = h.platform.inputDevices().keys;
    auto frameWith = [&](int key) {
        if (key >= 0) keys[key] = true;
        EXPECT_EQ(title.Run(), nullptr);
        if (key >= 0) keys[key] = false;
        EXPECT_EQ(title.Run(), nullptr);
    };
    frameWith(-1);  // loads
    frameWith(InputDevices::KeyUp);  // wraps from "play 1st lap" to "practice", the last
    EXPECT_EQ(title.menu().GetCurrent(), GameTitle::kPracticeEntry);
    frameWith(InputDevices::KeyUp);  // and up to "options"
    EXPECT_EQ(title.menu().GetCurrent(), 11);
    frameWith(InputDevices::KeyZ);
    frameWith(-1);
    ASSERT_TRUE(title.optionsOpen());
    frameWith(InputDevices::KeyDown);  // on the page, not the menu
    EXPECT_EQ(title.options().current(), OptionsPage::EffectVolume);
    EXPECT_EQ(title.menu().GetCurrent(), 11);
    frameWith(InputDevices::KeyX);
    frameWith(-1);
    EXPECT_FALSE(title.optionsOpen());
    // Back on the menu, with nothing pressed on the page left over for it.
    frameWith(-1);
    EXPECT_EQ(title.menu().GetCurrent(), 11);
    EXPECT_EQ(title.menu().GetDecided(), 0);
}

TEST(TitleMenu, ClearedFirstLapUnlocksSecondLapEntries) {
    TempWorkDir dir;
    HeadlessEnv h;
    h.env.save.shortCourseCleared = true;
    GameTitle title(&h.env, &h.log);
    EXPECT_EQ(title.menu().itemCount(), 12u);
    EXPECT_EQ(title.menu().GetCurrent(), 9);
    EXPECT_EQ(entryTexts(title).front(), "play 2nd lap");
}

TEST(TitleMenu, ExitQuitsAndHighScoreLineKeepsTheBest) {
    TempWorkDir dir;
    HeadlessEnv h;
    GameTitle title(&h.env, &h.log);
    title.setHighScore(42);
    EXPECT_EQ(title.highScoreText().text(), "your high score : 0042");
    title.setHighScore(7);  // lower: unchanged
    EXPECT_EQ(title.highScoreText().text(), "your high score : 0042");
    title.setCursor(1);
    EXPECT_EQ(title.Run(), nullptr);  // first frame loads and discards pending presses
    h.env.input.setButton(Button1, true);
    EXPECT_EQ(title.Run(), nullptr);
    EXPECT_TRUE(title.WantsQuit());
}
