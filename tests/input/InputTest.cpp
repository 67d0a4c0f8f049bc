#include <gtest/gtest.h>
#include "support/RecordingLog.h"
#include <string>
#include <vector>
#include "app/Log.h"
#include "input/Input.h"
#include "platform/headless/HeadlessPlatform.h"

namespace {

// Keeps every message instead of writing a file.
using K = InputDevices;

struct InputFixture : ::testing::Test {
    HeadlessInputDevices devices;
    RecordingLog log;

    void hold(K::Key key, bool down = true) { devices.keys[key] = down; }
};

TEST_F(InputFixture, StartUpWithKeyboardAndNoJoystickLogsInOrderAndIsAcquired) {
    Input input(&devices, &log);
    const std::vector<std::string> expected = {
        "Input: 入力環境の初期化",
        "Input: ジョイスティックのポート数 = 0",
        "Input: 有効なジョイスティックは取得できなかった",
        "Input: キーボードのDirectInputを作成",
        "Input: 入力環境の初期化に成功",
    };
    EXPECT_EQ(log.lines, expected);
    EXPECT_TRUE(input.acquired());
}

TEST_F(InputFixture, StartUpSkipsSilentPortsAndTakesTheFirstAnsweringJoystick) {
    devices.joystickPortCount = 3;
    devices.joystickId = 1;
    Input input(&devices, &log);
    const std::vector<std::string> expected = {
        "Input: 入力環境の初期化",
        "Input: ジョイスティックのポート数 = 3",
        "Input: ジョイスティックは無効 ID = 0",
        "Input: ジョイスティックは有効 ID = 1",
        "Input: キーボードのDirectInputを作成",
        "Input: 入力環境の初期化に成功",
    };
    EXPECT_EQ(log.lines, expected);
}

TEST_F(InputFixture, WithoutAKeyboardTheServiceFailsSoftlyAndStillReadsTheJoystickOnceAcquired) {
    devices.keyboardAvailable = false;
    devices.joystickPortCount = 1;
    devices.joystickId = 0;
    devices.joystick = {32768, 32768, 0};
    Input input(&devices, &log);
    ASSERT_GE(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[log.lines.size() - 2], "Input: キーボードのDirectInput作成に失敗");
    EXPECT_EQ(log.lines.back(), "Input: 入力環境の初期化に失敗");
    EXPECT_FALSE(input.acquired());

    devices.joystick.buttons = 1;
    input.update();  // not acquired: nothing is read
    EXPECT_FALSE(input.isDown(Button1));

    input.setAcquired(true);
    input.update();
    EXPECT_TRUE(input.isDown(Button1));
}

TEST_F(InputFixture, APressHeldOverOnePollIsTakenOnceAndIsDownWhileHeld) {
    Input input(&devices, &log);
    hold(K::KeyZ);
    input.update();
    EXPECT_TRUE(input.isDown(Button1));
    EXPECT_TRUE(input.takePress(Button1));
    EXPECT_FALSE(input.takePress(Button1));
    input.update();  // still held: no new press
    EXPECT_FALSE(input.takePress(Button1));
    EXPECT_TRUE(input.isDown(Button1));

    hold(K::KeyZ, false);
    input.update();
    EXPECT_FALSE(input.isDown(Button1));
}

TEST_F(InputFixture, APressReleasedBeforeAnyoneAskedIsSeenOnceByIsDown) {
    Input input(&devices, &log);
    hold(K::KeyX);
    input.update();
    hold(K::KeyX, false);
    input.update();
    EXPECT_TRUE(input.isDown(Button2));   // consumes the pending press
    EXPECT_FALSE(input.isDown(Button2));
}

TEST_F(InputFixture, APressAndReleaseBetweenTwoPollsIsNotSeen) {
    Input input(&devices, &log);
    input.update();
    hold(K::KeyC);
    hold(K::KeyC, false);
    input.update();
    EXPECT_FALSE(input.isDown(Button3));
}

TEST_F(InputFixture, ClearPressesForgetsPendingPressesOfBothSetsButNotHeldStates) {
    Input input(&devices, &log);
    hold(K::KeyUp);
    input.update();
    input.clearPresses();
    EXPECT_FALSE(input.takePress(Up));
    EXPECT_FALSE(input.takePressLive(Up));
    EXPECT_TRUE(input.isDown(Up));
    EXPECT_TRUE(input.isDownLive(Up));
}

TEST_F(InputFixture, EitherKeyOfAButtonCountsAndBothTogetherGiveOnePress) {
    struct Case { K::Key first, second; int button; };
    const Case cases[] = {{K::KeyZ, K::KeySpace, Button1}, {K::KeyX, K::KeyLShift, Button2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        for (K::Key only : {c.first, c.second}) {
            HeadlessInputDevices d;
            Input input(&d, &log);
            d.keys[only] = true;
            input.update();
            EXPECT_TRUE(input.playHeld(c.button));
        }
        HeadlessInputDevices d;
        Input input(&d, &log);
        d.keys[c.first] = true;
        input.update();
        d.keys[c.second] = true;
        input.update();
        d.keys[c.first] = false;
        input.update();
        EXPECT_TRUE(input.takePress(c.button));
        EXPECT_FALSE(input.takePress(c.button));
    }
}

TEST_F(InputFixture, EachKeyDrivesItsOwnButtonOnlyAndButtonSevenStaysUp) {
    struct Case { K::Key key; int button; };
    const Case cases[] = {{K::KeyRight, Right}, {K::KeyDown, Down}, {K::KeyLeft, Left}, {K::KeyUp, Up},
                          {K::KeyZ, Button1},   {K::KeyX, Button2}, {K::KeyC, Button3}};
    for (const Case& c : cases) {
        HeadlessInputDevices d;
        Input input(&d, &log);
        d.keys[c.key] = true;
        input.update();
        for (int b = 0; b < kButtonCount; ++b) {
            EXPECT_EQ(input.playHeld(b), b == c.button) << "key " << c.key << " button " << b;
            EXPECT_EQ(input.liveHeld(b), b == c.button) << "key " << c.key << " button " << b;
        }
    }
}

TEST_F(InputFixture, LosingFocusKeepsEveryButtonAsItWasUntilFocusReturns) {
    Input input(&devices, &log);
    hold(K::KeyRight);
    input.update();
    input.setAcquired(false);
    hold(K::KeyRight, false);  // the key goes up while the window is away
    hold(K::KeyZ);
    input.update();
    input.update();
    EXPECT_TRUE(input.playHeld(Right));
    EXPECT_TRUE(input.liveHeld(Right));
    EXPECT_FALSE(input.playHeld(Button1));

    input.setAcquired(true);
    input.update();
    EXPECT_FALSE(input.playHeld(Right));
    EXPECT_TRUE(input.playHeld(Button1));
}

// A joystick with the usual 0..65535 range: the quarter marks are 16383 and 49151, and a
// direction needs to pass its mark strictly.
TEST_F(InputFixture, JoystickAxesPassTheirQuarterThresholdsStrictly) {
    struct Case { std::uint32_t x, y; int button; bool down; };
    const Case cases[] = {
        {16383, 32768, Left, false}, {16382, 32768, Left, true},
        {49151, 32768, Right, false}, {49152, 32768, Right, true},
        {32768, 16383, Up, false},   {32768, 16382, Up, true},
        {32768, 49151, Down, false}, {32768, 49152, Down, true},
        {0, 65535, Left, true},      {0, 65535, Down, true},
    };
    for (const Case& c : cases) {
        HeadlessInputDevices d;
        d.joystickPortCount = 1;
        d.joystickId = 0;
        d.joystick = {c.x, c.y, 0};
        Input input(&d, &log);
        input.update();
        EXPECT_EQ(input.playHeld(c.button), c.down) << "x " << c.x << " y " << c.y << " button " << c.button;
    }
}

TEST_F(InputFixture, ThresholdsFollowTheReportedRange) {
    // 100..1100: quarter marks 350 and 850.
    devices.joystickPortCount = 1;
    devices.joystickId = 0;
    devices.caps = {100, 1100, 100, 1100};
    devices.joystick = {349, 851, 0};
    Input input(&devices, &log);
    input.update();
    EXPECT_TRUE(input.playHeld(Left));
    EXPECT_TRUE(input.playHeld(Down));
    devices.joystick = {350, 850, 0};
    input.update();
    EXPECT_FALSE(input.playHeld(Left));
    EXPECT_FALSE(input.playHeld(Down));
}

TEST_F(InputFixture, JoystickButtonBitsOneTwoFourAreButtonsOneToThree) {
    devices.joystickPortCount = 1;
    devices.joystickId = 0;
    devices.joystick = {32768, 32768, 0};
    Input input(&devices, &log);
    const std::uint32_t masks[] = {1, 2, 4};
    for (int i = 0; i < 3; ++i) {
        devices.joystick.buttons = masks[i];
        input.update();
        for (int b = Button1; b <= NoButton; ++b) EXPECT_EQ(input.playHeld(b), b == Button1 + i) << i << " " << b;
    }
    devices.joystick.buttons = 8;  // a fourth button means nothing
    input.update();
    for (int b = 0; b < kButtonCount; ++b) EXPECT_FALSE(input.playHeld(b));
}

TEST_F(InputFixture, AJoystickThatStopsAnsweringReadsCentredWhileKeysStillCount) {
    devices.joystickPortCount = 1;
    devices.joystickId = 0;
    devices.joystick = {0, 32768, 1};
    Input input(&devices, &log);
    input.update();
    EXPECT_TRUE(input.playHeld(Left));
    devices.joystickId = -1;  // unplugged
    hold(K::KeyUp);
    input.update();
    EXPECT_FALSE(input.playHeld(Left));
    EXPECT_FALSE(input.playHeld(Button1));
    EXPECT_TRUE(input.playHeld(Up));
}

// Stands in for a replay until traces exist: the play set belongs to the trace.
class ReplayingInput : public Input {
public:
    using Input::Input;
    void forceReplaying(bool on) { replaying_ = on; }
};

TEST_F(InputFixture, DuringAReplayTheDevicesDriveOnlyTheLiveSet) {
    ReplayingInput input(&devices, &log);
    input.forceReplaying(true);
    input.setButton(Right, true);  // what the recording says
    hold(K::KeyC);
    input.update();
    EXPECT_TRUE(input.isDownLive(Button3));
    EXPECT_FALSE(input.isDown(Button3));
    EXPECT_TRUE(input.isDown(Right));    // the device says Right is up; the play set keeps the record
    EXPECT_FALSE(input.isDownLive(Right));

    input.forceReplaying(false);
    input.update();
    EXPECT_TRUE(input.isDown(Button3));
    EXPECT_FALSE(input.playHeld(Right));
}

TEST(InputWithoutDevices, NoDevicesMeansNothingIsEverDown) {
    RecordingLog log;
    Input input(nullptr, &log);
    input.setAcquired(true);
    input.update();
    for (int b = 0; b < kButtonCount; ++b) EXPECT_FALSE(input.isDown(b));
    EXPECT_EQ(log.lines.back(), "Input: 入力環境の初期化に失敗");
}

// --- keys from the configuration -----------------------------------------------------------

// Which of the seven directions and buttons are held after one poll with these keys down.
std::vector<int> heldAfter(HeadlessInputDevices& devices, Input& input, const std::vector<std::string>& names) {
    for (bool& k : devices.keys) k = false;
    for (const std::string& n : names) devices.keys[devices.keyCode(n)] = true;
    input.update();
    std::vector<int> held;
    for (int b = 0; b <= Button3; ++b)
        if (input.playHeld(b)) held.push_back(b);
    return held;
}

TEST_F(InputFixture, TheKeysSectionReplacesAButtonsKeysAndLogsWhatItCannotUse) {
    Input input(&devices, &log);
    log.lines.clear();
    input.bindKeys({{"BUTTON1", "A, Return"},
                    {"up", " Keypad 8 "},
                    {"JUMP", "Z"},          // no such entry
                    {"BUTTON2", "Nope"},    // no usable key: keeps X and left Shift
                    {"LEFT", "Foo,,Keypad 4"}});
    const std::vector<std::string> expected = {
        "Input: キー設定の不明な項目を無視: JUMP",
        "Input: 不明なキー名を無視: BUTTON2=Nope",
        "Input: 使えるキーがないので既定のキーのまま: BUTTON2",
        "Input: 不明なキー名を無視: LEFT=Foo",
    };
    EXPECT_EQ(log.lines, expected);
    struct Case { std::vector<std::string> keys; std::vector<int> held; };
    const Case cases[] = {
        {{"A"}, {Button1}},
        {{"Return"}, {Button1}},
        {{"Z"}, {}},                   // Z no longer fires
        {{"Space"}, {}},
        {{"Keypad 8"}, {Up}},
        {{"Up"}, {}},
        {{"X"}, {Button2}},            // default kept
        {{"Left Shift"}, {Button2}},
        {{"Keypad 4"}, {Left}},
        {{"C", "Right"}, {Right, Button3}},  // untouched entries keep their defaults
    };
    for (const Case& c : cases) EXPECT_EQ(heldAfter(devices, input, c.keys), c.held) << c.keys.front();
}

TEST_F(InputFixture, TheSameKeyMayServeTwoButtons) {
    Input input(&devices, &log);
    input.bindKeys({{"BUTTON3", "C, Space"}});
    EXPECT_EQ(heldAfter(devices, input, {"Space"}), (std::vector<int>{Button1, Button3}));
}

// The name texts give for a button (the English tutorial's "button 2 (X)"): the first key the
// settings give that the devices know, spelt as on the key caps, else the default key's.
TEST_F(InputFixture, TheKeyNameOfAButtonIsItsFirstUsableKey) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> keys;
        int button;
        std::string name;
    };
    const Case cases[] = {
        {"default Button2", {}, Button2, "X"},
        {"default Button1", {}, Button1, "Z"},
        {"default direction", {}, Up, "Up"},
        {"remapped", {{"BUTTON2", "V"}}, Button2, "V"},
        {"first of several", {{"BUTTON2", "Return, X"}}, Button2, "Return"},
        {"unknown names skipped", {{"BUTTON2", "Nope, Keypad 8"}}, Button2, "Keypad 8"},
        {"any case in the settings", {{"button2", "left shift"}}, Button2, "Left Shift"},
        {"single letter in lower case", {{"BUTTON2", "v"}}, Button2, "V"},
        {"nothing usable keeps the default", {{"BUTTON2", "Nope"}}, Button2, "X"},
        {"another button's remap leaves it", {{"BUTTON1", "X"}}, Button2, "X"},
    };
    for (const Case& c : cases) {
        Input input(&devices, &log);
        input.bindKeys(c.keys);
        EXPECT_EQ(input.keyNameOf(c.button), c.name) << c.what;
    }
    // A remap back to the defaults after another one.
    Input input(&devices, &log);
    input.bindKeys({{"BUTTON2", "V"}});
    input.bindKeys({{"BUTTON2", "Nope"}});
    EXPECT_EQ(input.keyNameOf(Button2), "X");

    Input withoutDevices(nullptr, &log);
    EXPECT_EQ(withoutDevices.keyNameOf(Button2), "") << "no keyboard: the texts say \"button 2\" alone";
}

// --- game pads ------------------------------------------------------------------------------

TEST_F(InputFixture, PadButtonsAndStickByPlace) {
    Input input(&devices, &log);
    using P = InputDevices::PadState;
    struct Case { const char* name; P pad; std::vector<int> held; };
    auto with = [](auto set) { P p; set(p); return p; };
    const Case cases[] = {
        {"south", with([](P& p) { p.south = true; }), {Button1}},
        {"east", with([](P& p) { p.east = true; }), {Button2}},
        {"north", with([](P& p) { p.north = true; }), {Button3}},
        {"start", with([](P& p) { p.start = true; }), {Button3}},
        {"west does nothing", with([](P& p) { p.west = true; }), {}},
        {"d-pad", with([](P& p) { p.up = p.left = true; }), {Left, Up}},
        {"d-pad", with([](P& p) { p.down = p.right = true; }), {Right, Down}},
        // The stick has the joystick's dead zone: the middle half of each axis.
        {"stick just inside", with([](P& p) { p.leftX = -16385; p.leftY = 16383; }), {}},
        {"stick left and down", with([](P& p) { p.leftX = -16386; p.leftY = 16384; }), {Down, Left}},
        {"stick right and up", with([](P& p) { p.leftX = 32767; p.leftY = -32768; }), {Right, Up}},
    };
    for (const Case& c : cases) {
        devices.pads = {c.pad};
        EXPECT_EQ(heldAfter(devices, input, {}), c.held) << c.name;
    }
}

TEST_F(InputFixture, PadsPluggedInOrPulledOutWhilePlayingCountAtOnce) {
    Input input(&devices, &log);
    input.update();
    EXPECT_FALSE(input.playHeld(Button1));
    log.lines.clear();

    InputDevices::PadState fire;
    fire.south = true;
    devices.pads = {InputDevices::PadState{}, fire};  // two pads: either one counts
    input.update();
    EXPECT_TRUE(input.takePress(Button1));
    devices.pads.clear();
    input.update();
    EXPECT_FALSE(input.playHeld(Button1));
    const std::vector<std::string> expected = {"Input: ゲームパッドの数 = 2", "Input: ゲームパッドの数 = 0"};
    EXPECT_EQ(log.lines, expected);
}

}  // namespace
