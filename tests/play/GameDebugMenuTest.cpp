#include <gtest/gtest.h>
#include "play/GameDebugMenu.h"
#include "support/TestEnv.h"

namespace {
// The menu reads presses that the service tick inside its own Run counted: a key held over one
// frame is seen by the next frame's walk.
struct PauseFixture {
    explicit PauseFixture(int gameMode) { menu.Open(gameMode); }

    void press(InputDevices::Key key) {
        h.platform.inputDevices().keys[key] = true;
        menu.Run();
        h.platform.inputDevices().keys[key] = false;
        menu.Run();
    }

    HeadlessEnv h;
    GameDebugMenu menu{&h.env, &h.log};
};
}  // namespace

TEST(GameDebugMenu, StageSelectOnlyInTheSecondLaps) {
    for (int mode : {1, 2, 3, 4, 5}) {
        PauseFixture f(mode);
        const bool secondLap = mode == 3 || mode == 5;
        EXPECT_EQ(f.menu.mainMenu().itemCount(), secondLap ? 3u : 2u) << mode;
        EXPECT_EQ(f.menu.stageMenu().itemCount(), secondLap ? 5u : 0u) << mode;
        EXPECT_EQ(f.menu.mainMenu().GetCurrent(), GameDebugMenu::kReturnToPlaying) << mode;
    }
}

TEST(GameDebugMenu, ReopeningDoesNotDuplicateEntries) {
    PauseFixture f(5);
    f.menu.Open(5);
    EXPECT_EQ(f.menu.mainMenu().itemCount(), 3u);
    EXPECT_EQ(f.menu.stageMenu().itemCount(), 5u);
}

TEST(GameDebugMenu, ReturnChoicesCloseTheMenu) {
    struct Case {
        int downs;
        std::int32_t decided;
    };
    for (const Case c : {Case{0, GameDebugMenu::kReturnToPlaying}, Case{1, GameDebugMenu::kReturnToTitle}}) {
        PauseFixture f(4);
        for (int i = 0; i < c.downs; ++i) f.press(InputDevices::KeyDown);
        EXPECT_FALSE(f.menu.IsDone());
        f.press(InputDevices::KeyZ);
        EXPECT_TRUE(f.menu.IsDone());
        EXPECT_EQ(f.menu.mainDecided(), c.decided);
    }
}

TEST(GameDebugMenu, ChoosingStage3EndsWithBothDecisions) {
    PauseFixture f(3);
    f.press(InputDevices::KeyDown);
    f.press(InputDevices::KeyDown);
    f.press(InputDevices::KeyZ);  // "stage select"
    EXPECT_FALSE(f.menu.IsDone());
    f.press(InputDevices::KeyDown);
    f.press(InputDevices::KeyDown);
    f.press(InputDevices::KeyZ);  // "stage3"
    EXPECT_TRUE(f.menu.IsDone());
    EXPECT_EQ(f.menu.mainDecided(), GameDebugMenu::kStageSelect);
    EXPECT_EQ(f.menu.stageDecided(), 3);
}

TEST(GameDebugMenu, CancellingTheStageMenuGoesBackWithStageSelectHighlighted) {
    PauseFixture f(5);
    f.press(InputDevices::KeyUp);  // wraps to "stage select"
    f.press(InputDevices::KeyZ);
    f.press(InputDevices::KeyX);  // Button2 in the stage menu
    EXPECT_FALSE(f.menu.IsDone());
    EXPECT_EQ(f.menu.mainDecided(), 0);
    EXPECT_EQ(f.menu.stageDecided(), 0);
    EXPECT_EQ(f.menu.mainMenu().GetCurrent(), GameDebugMenu::kStageSelect);
    // The main menu works again: deciding now opens the stage menu once more.
    f.press(InputDevices::KeyZ);
    f.press(InputDevices::KeyZ);
    EXPECT_TRUE(f.menu.IsDone());
    EXPECT_EQ(f.menu.stageDecided(), 1);
}

TEST(GameDebugMenu, Button2OnTheMainMenuKeepsItOpen) {
    PauseFixture f(2);
    f.press(InputDevices::KeyX);
    EXPECT_FALSE(f.menu.IsDone());
    f.press(InputDevices::KeyZ);
    EXPECT_TRUE(f.menu.IsDone());
    EXPECT_EQ(f.menu.mainDecided(), GameDebugMenu::kReturnToPlaying);
}

TEST(GameDebugMenu, TheNextOpeningStartsWithNoDecision) {
    PauseFixture f(4);
    f.press(InputDevices::KeyDown);
    f.press(InputDevices::KeyZ);
    ASSERT_TRUE(f.menu.IsDone());
    f.menu.Open(4);
    f.menu.Run();  // the first frame after opening clears the old decision
    EXPECT_FALSE(f.menu.IsDone());
    EXPECT_EQ(f.menu.mainDecided(), 0);
    EXPECT_EQ(f.menu.mainMenu().GetCurrent(), GameDebugMenu::kReturnToPlaying);
}
