// The input service on SDL's own device layer, driven by SDL's virtual joysticks: pads with a
// known layout plugged in and pulled out while the game runs, and the raw joystick path for a
// device SDL has no layout for.
#include <gtest/gtest.h>
#include <SDL.h>
#include <string>
#include <vector>
#include "input/Input.h"
#include "platform/sdl/SdlPlatform.h"
#include "support/RecordingLog.h"

namespace {

struct VirtualDevices : ::testing::Test {
    void SetUp() override {
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
    }
    void TearDown() override {
        for (SDL_Joystick* j : handles) SDL_JoystickClose(j);
        while (SDL_NumJoysticks() > 0) SDL_JoystickDetachVirtual(0);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
    }
    // Plugs in a virtual device and returns the handle that moves its buttons and axes.
    SDL_Joystick* plug(SDL_JoystickType type, int axes, int buttons) {
        const int index = SDL_JoystickAttachVirtual(type, axes, buttons, 0);
        EXPECT_GE(index, 0) << SDL_GetError();
        SDL_Joystick* j = SDL_JoystickOpen(index);
        EXPECT_NE(j, nullptr) << SDL_GetError();
        handles.push_back(j);
        return j;
    }
    void unplug(SDL_Joystick* j) {
        const SDL_JoystickID id = SDL_JoystickInstanceID(j);
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == id) {
                SDL_JoystickClose(j);
                std::erase(handles, j);
                SDL_JoystickDetachVirtual(i);
                return;
            }
    }
    std::vector<int> held(Input& input) {
        input.update();
        std::vector<int> out;
        for (int b = 0; b <= Button3; ++b)
            if (input.playHeld(b)) out.push_back(b);
        return out;
    }

    SdlInputDevices devices;
    RecordingLog log;
    std::vector<SDL_Joystick*> handles;
};

TEST_F(VirtualDevices, APadPluggedInWhileRunningDrivesTheGameByButtonPlace) {
    Input input(&devices, &log);
    input.setAcquired(true);
    EXPECT_TRUE(held(input).empty());

    SDL_Joystick* pad = plug(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1);
    EXPECT_TRUE(held(input).empty());
    EXPECT_EQ(log.lines.back(), "Input: ゲームパッドの数 = 1");

    struct Case { SDL_GameControllerButton button; std::vector<int> held; };
    const Case buttons[] = {
        {SDL_CONTROLLER_BUTTON_A, {Button1}},        {SDL_CONTROLLER_BUTTON_B, {Button2}},
        {SDL_CONTROLLER_BUTTON_Y, {Button3}},        {SDL_CONTROLLER_BUTTON_START, {Button3}},
        {SDL_CONTROLLER_BUTTON_X, {}},               {SDL_CONTROLLER_BUTTON_BACK, {}},
        {SDL_CONTROLLER_BUTTON_DPAD_UP, {Up}},       {SDL_CONTROLLER_BUTTON_DPAD_DOWN, {Down}},
        {SDL_CONTROLLER_BUTTON_DPAD_LEFT, {Left}},   {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, {Right}},
    };
    for (const Case& c : buttons) {
        SDL_JoystickSetVirtualButton(pad, c.button, 1);
        EXPECT_EQ(held(input), c.held) << SDL_GameControllerGetStringForButton(c.button);
        SDL_JoystickSetVirtualButton(pad, c.button, 0);
        EXPECT_TRUE(held(input).empty()) << SDL_GameControllerGetStringForButton(c.button);
    }
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTX, -32768);
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, 32767);
    EXPECT_EQ(held(input), (std::vector<int>{Down, Left}));
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTX, 8000);  // inside the dead zone
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, -32768);
    EXPECT_EQ(held(input), (std::vector<int>{Up}));

    // Pulled out with the stick pushed: nothing stays held.
    unplug(pad);
    EXPECT_TRUE(held(input).empty());
    EXPECT_EQ(log.lines.back(), "Input: ゲームパッドの数 = 0");

    // And in again: counted at once.
    SDL_Joystick* again = plug(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1);
    SDL_JoystickSetVirtualButton(again, SDL_CONTROLLER_BUTTON_A, 1);
    EXPECT_EQ(held(input), (std::vector<int>{Button1}));
}

TEST_F(VirtualDevices, ADeviceWithoutALayoutGoesThroughTheRawJoystickPath) {
    SDL_Joystick* pad = plug(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1);
    SDL_Joystick* stick = plug(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 3);
    ASSERT_FALSE(SDL_IsGameController(1)) << "the virtual device of no type was given a layout";
    Input input(&devices, &log);
    // The pad is not a raw joystick; the device after it is.
    const std::vector<std::string> start(log.lines.begin() + 1, log.lines.begin() + 4);
    EXPECT_EQ(start, (std::vector<std::string>{"Input: ジョイスティックのポート数 = 2", "Input: ジョイスティックは無効 ID = 0",
                                               "Input: ジョイスティックは有効 ID = 1"}));
    SDL_JoystickSetVirtualButton(stick, 0, 1);
    SDL_JoystickSetVirtualButton(stick, 2, 1);
    SDL_JoystickSetVirtualAxis(stick, 0, 32767);
    EXPECT_EQ(held(input), (std::vector<int>{Right, Button1, Button3}));
    // Both count together.
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_B, 1);
    EXPECT_EQ(held(input), (std::vector<int>{Right, Button1, Button2, Button3}));
}

}  // namespace
