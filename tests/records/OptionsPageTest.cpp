#include <gtest/gtest.h>
#include <algorithm>
#include "app/Env.h"
#include "platform/headless/HeadlessPlatform.h"
#include "records/OptionsPage.h"
#include "support/TestEnv.h"

namespace {

// The options page on a headless game whose settings file lies in a scratch folder; each press
// is one poll with the key down and one with it up, then a frame of the page.
class OptionsPageTest : public ::testing::Test {
protected:
    OptionsPageTest() {
        EnvOptions options{false, &clock, true, false};
        options.settingsFile = "nimbulon.ini";
        env = std::make_unique<Env>(platform, &log, options);
        page = std::make_unique<OptionsPage>(env.get(), &log);
        page->open();
    }
    bool poll(int code, bool down) {
        platform.inputDevices().keys[code] = down;
        env->input.update();
        return page->step();
    }
    // False when the page was left on either poll.
    bool press(int code) {
        const bool stayed = poll(code, true);
        return poll(code, false) && stayed;
    }
    bool pressKey(InputDevices::Key k) { return press(k); }
    void moveTo(int entry) {
        while (page->current() != entry) pressKey(InputDevices::KeyDown);
    }
    int code(const char* name) { return platform.inputDevices().keyCode(name); }

    TempWorkDir dir;
    HeadlessPlatform platform;
    Log log{""};
    StillClock clock;
    std::unique_ptr<Env> env;
    std::unique_ptr<OptionsPage> page;
};

TEST_F(OptionsPageTest, ChangesApplyAtOnceAndAreSaved) {
    pressKey(InputDevices::KeyLeft);  // music volume
    pressKey(InputDevices::KeyLeft);
    EXPECT_EQ(env->settings.musicVolume, 80);
    EXPECT_EQ(page->valueText(OptionsPage::MusicVolume), "<  80 >");
    EXPECT_EQ(Settings::read("nimbulon.ini").musicVolume, 80);
    for (int i = 0; i < 12; ++i) pressKey(InputDevices::KeyRight);
    EXPECT_EQ(env->settings.musicVolume, 100);  // stops at the top

    moveTo(OptionsPage::WindowSize);
    pressKey(InputDevices::KeyRight);
    pressKey(InputDevices::KeyRight);
    EXPECT_EQ(page->valueText(OptionsPage::WindowSize), "1.5x");
    pressKey(InputDevices::KeyLeft);
    pressKey(InputDevices::KeyLeft);
    pressKey(InputDevices::KeyLeft);  // wraps round from "fit" to the largest
    EXPECT_EQ(env->settings.windowScale, 300);

    moveTo(OptionsPage::FrameRateLine);
    pressKey(InputDevices::KeyZ);
    EXPECT_FALSE(env->settings.showFrameRate);
    EXPECT_FALSE(Settings::read("nimbulon.ini").showFrameRate);
    // Up from the first entry wraps to "return"; Button1 there leaves.
    moveTo(OptionsPage::MusicVolume);
    pressKey(InputDevices::KeyUp);
    EXPECT_EQ(page->current(), OptionsPage::Return);
    EXPECT_FALSE(pressKey(InputDevices::KeyZ));
}

TEST_F(OptionsPageTest, AKeyIsBoundByPressingItAndAClashIsRefused) {
    moveTo(OptionsPage::KeyButton1);
    pressKey(InputDevices::KeyZ);  // the key that chose is held at first: not the answer
    EXPECT_TRUE(page->binding());
    press(InputDevices::KeyX);  // Button2's key
    EXPECT_FALSE(page->binding());
    EXPECT_NE(page->notice().find("BUTTON2"), std::string::npos) << page->notice();
    EXPECT_EQ(env->input.keysOf(Button1), (std::vector<int>{InputDevices::KeyZ, InputDevices::KeySpace}));

    // A key that went down after the last poll is seen by the page first; the poll after it must
    // not take it for a press of its button (X would close the page as Button2).
    pressKey(InputDevices::KeyZ);
    platform.inputDevices().keys[InputDevices::KeyX] = true;
    EXPECT_TRUE(page->step());
    env->input.update();
    EXPECT_TRUE(page->step());
    poll(InputDevices::KeyX, false);

    // Keys the program keeps for itself are refused too.
    pressKey(InputDevices::KeyZ);
    press(code("Escape"));
    EXPECT_FALSE(page->binding());
    EXPECT_EQ(env->settings.keysOf("BUTTON1"), "");

    pressKey(InputDevices::KeyZ);
    poll(code("A"), true);
    poll(code("A"), true);  // still held once it drives Button1: not a press that binds again
    EXPECT_FALSE(page->binding());
    poll(code("A"), false);
    EXPECT_EQ(env->input.keysOf(Button1), (std::vector<int>{code("A")}));
    EXPECT_EQ(page->valueText(OptionsPage::KeyButton1), "A");
    EXPECT_EQ(Settings::read("nimbulon.ini").keysOf("BUTTON1"), "A");
    // Z is free now; Button1 is A on the page as well.
    pressKey(InputDevices::KeyZ);
    EXPECT_FALSE(page->binding());
    press(code("A"));
    EXPECT_TRUE(page->binding());
    press(InputDevices::KeyZ);  // rebinding back to Z: free again, so taken
    EXPECT_EQ(env->input.keysOf(Button1), (std::vector<int>{InputDevices::KeyZ}));

    moveTo(OptionsPage::ResetKeys);
    pressKey(InputDevices::KeyZ);
    EXPECT_EQ(env->input.keysOf(Button1), (std::vector<int>{InputDevices::KeyZ, InputDevices::KeySpace}));
    EXPECT_TRUE(Settings::read("nimbulon.ini").keys.empty());
}

TEST_F(OptionsPageTest, PadButtonsSwapFireAndBulletSize) {
    InputDevices::PadState east;
    east.east = true;
    auto heldWithEast = [&] {
        platform.inputDevices().pads = {east};
        env->input.update();
        const bool fire = env->input.playHeld(Button1), size = env->input.playHeld(Button2);
        platform.inputDevices().pads.clear();
        env->input.update();
        return std::make_pair(fire, size);
    };
    EXPECT_EQ(heldWithEast(), std::make_pair(false, true));
    moveTo(OptionsPage::PadButtons);
    pressKey(InputDevices::KeyRight);
    EXPECT_EQ(page->valueText(OptionsPage::PadButtons), "< B fire  A size >");
    EXPECT_EQ(heldWithEast(), std::make_pair(true, false));
    EXPECT_TRUE(Settings::read("nimbulon.ini").padSwapped);
}

TEST_F(OptionsPageTest, ThePageReadsTheLiveButtonsOnly) {
    // While a replay drives the play set, the devices still move the page.
    InputTrace still;
    still.append(InputRun{1000, {}});
    env->input.startReplay(still);
    pressKey(InputDevices::KeyDown);
    EXPECT_EQ(page->current(), OptionsPage::EffectVolume);
    EXPECT_TRUE(env->input.replaying());
    // Button2 leaves, saving.
    EXPECT_FALSE(pressKey(InputDevices::KeyX));
    EXPECT_TRUE(std::ifstream("nimbulon.ini").good());
}
}  // namespace
