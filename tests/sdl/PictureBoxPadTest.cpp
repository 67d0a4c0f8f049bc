// A message box of the game, drawn in its picture on SDL's own window, answered by a pad's
// buttons that SDL's virtual joystick presses while the box waits: the whole way from the device
// through SDL's events to the answer the records scene gets.
#include <gtest/gtest.h>
#include <SDL.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>
#include "app/Env.h"
#include "platform/sdl/SdlPlatform.h"
#include "support/RecordingLog.h"
#include "support/TestEnv.h"

namespace {

struct PictureBoxPad : ::testing::Test {
    PictureBoxPad() {
        // A window nobody sees is enough: the picture is ours and the events are SDL's.
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        platform = std::make_unique<SdlPlatform>();
        env = std::make_unique<Env>(*platform, &log, EnvOptions{false, &clock, true, false});
    }
    ~PictureBoxPad() override {
        if (pad) SDL_JoystickClose(pad);
        while (SDL_NumJoysticks() > 0) SDL_JoystickDetachVirtual(0);
        env.reset();
        platform.reset();
        unsetenv("SDL_VIDEODRIVER");
    }

    // Presses each button in turn while the box is open, a few tenths of a second apart; if the
    // box has not closed after ten seconds, closes the window so the test cannot hang.
    Dialogs::Answer answerWith(Dialogs::Buttons buttons, std::vector<SDL_GameControllerButton> presses) {
        std::atomic<bool> done{false}, gaveUp{false};
        std::thread player([&] {
            for (SDL_GameControllerButton b : presses) {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                SDL_JoystickSetVirtualButton(pad, b, 1);
                std::this_thread::sleep_for(std::chrono::milliseconds(150));
                SDL_JoystickSetVirtualButton(pad, b, 0);
            }
            for (int i = 0; i < 100 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (done) return;
            gaveUp = true;
            SDL_Event quit{};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
        });
        const Dialogs::Answer answer = env->dialogs().messageBox("インターネットに接続します", "オンラインランキング", buttons);
        done = true;
        player.join();
        EXPECT_FALSE(gaveUp) << "the pad's buttons never reached the box";
        return answer;
    }

    RecordingLog log;
    StillClock clock;
    std::unique_ptr<SdlPlatform> platform;
    std::unique_ptr<Env> env;
    SDL_Joystick* pad = nullptr;
};

TEST_F(PictureBoxPad, APadsButtonsAnswerTheBoxDrawnInThePicture) {
    ASSERT_TRUE(platform->screen().isOpen()) << platform->screen().openError();
    ASSERT_TRUE(platform->boxesInPicture());
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                                SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1, 0);
    ASSERT_GE(index, 0) << SDL_GetError();
    pad = SDL_JoystickOpen(index);
    ASSERT_NE(pad, nullptr) << SDL_GetError();
    env->input.update();  // the game finds the pad as it does every frame

    EXPECT_EQ(answerWith(Dialogs::OkCancel, {SDL_CONTROLLER_BUTTON_B}), Dialogs::AnswerCancel);
    EXPECT_EQ(answerWith(Dialogs::YesNo, {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, SDL_CONTROLLER_BUTTON_A}), Dialogs::AnswerNo);
    EXPECT_EQ(answerWith(Dialogs::OkCancel, {SDL_CONTROLLER_BUTTON_A}), Dialogs::AnswerOk);
    ASSERT_GE(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[log.lines.size() - 2], "PictureDialogs: メッセージ表示 オンラインランキング: インターネットに接続します");
    EXPECT_EQ(log.lines.back(), "PictureDialogs: メッセージの答え オンラインランキング -> OK");
}
}  // namespace
