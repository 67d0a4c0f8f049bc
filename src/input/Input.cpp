#include "input/Input.h"
#include "app/Log.h"
#include "platform/Platform.h"

namespace {
constexpr const char* kSource = "Input";

// Button1..Button3 answer to either of two keys: the (Z, X, C) row and the (Space, left Shift, C)
// row; C is in both.
constexpr InputDevices::Key kFirstKeys[3] = {InputDevices::KeyZ, InputDevices::KeyX, InputDevices::KeyC};
constexpr InputDevices::Key kSecondKeys[3] = {InputDevices::KeySpace, InputDevices::KeyLShift, InputDevices::KeyC};

// A quarter and three quarters into [lo, hi]. Unsigned 32-bit on purpose: a driver reporting
// lo > hi wraps the same way everywhere.
std::uint32_t quarter(std::uint32_t lo, std::uint32_t hi) { return lo + (hi - lo) / 4u; }
std::uint32_t threeQuarters(std::uint32_t lo, std::uint32_t hi) { return lo + (3u * hi - 3u * lo) / 4u; }
}  // namespace

Input::Input(InputDevices* devices, Log* log) : log_(log), devices_(devices) {
    LOG_WRITE(log_, kSource, "入力環境の初期化");
    tracing_ = false;
    replaying_ = false;
    clearPresses();

    searchJoystick();

    LOG_WRITE(log_, kSource, "キーボードのDirectInputを作成");
    keyboardOk_ = createKeyboard();
    if (!keyboardOk_) {
        LOG_WRITE(log_, kSource, "キーボードのDirectInput作成に失敗");
        LOG_WRITE(log_, kSource, "入力環境の初期化に失敗");
        return;
    }
    setAcquired(true);
    LOG_WRITE(log_, kSource, "入力環境の初期化に成功");
}

Input::~Input() = default;

void Input::searchJoystick() {
    const int ports = devices_ ? devices_->joystickPorts() : 0;
    LOG_VALUE(log_, kSource, "ジョイスティックのポート数", ports);
    joystickId_ = -1;
    for (int id = 0; id < ports; ++id) {
        InputDevices::JoyPosition position;
        if (!devices_->readJoystick(id, position)) {
            LOG_VALUE(log_, kSource, "ジョイスティックは無効 ID", id);
            continue;
        }
        LOG_VALUE(log_, kSource, "ジョイスティックは有効 ID", id);
        joystickId_ = id;
        InputDevices::JoyCaps caps;
        // A stick that answers but hides its range is taken to span the usual 0..65535; zero
        // caps would put every threshold at 0 and hold Right and Down for good.
        if (!devices_->joystickCaps(id, caps)) caps = InputDevices::JoyCaps{0, 65535, 0, 65535};
        xLeft_ = quarter(caps.xMin, caps.xMax);
        xRight_ = threeQuarters(caps.xMin, caps.xMax);
        yUp_ = quarter(caps.yMin, caps.yMax);
        yDown_ = threeQuarters(caps.yMin, caps.yMax);
        return;
    }
    LOG_WRITE(log_, kSource, "有効なジョイスティックは取得できなかった");
}

bool Input::createKeyboard() { return devices_ && devices_->createKeyboard(); }

void Input::setAcquired(bool acquired) { acquired_ = acquired; }

void Input::update() {
    if (acquired_) readDevices();

    // --- trace and replay ---------------------------------------------------------------------
    // After the devices have been fed: one recording step while tracing, else one replay step
    // while replaying.
    stepTrace();
}

void Input::stepTrace() {
    if (tracing_) {
        // Same state as the run being extended: one more poll for it. Otherwise the run is done
        // and a new one starts with this poll; nothing is allocated while the state holds.
        bool same = true;
        for (int b = 0; b < kButtonCount; ++b)
            if (playHeld_[b] != run_.state[b]) same = false;
        if (same) {
            ++run_.repeat;
            return;
        }
        trace_.append(run_);
        run_.repeat = 0;
        for (int b = 0; b < kButtonCount; ++b) run_.state[b] = playHeld_[b];
        return;
    }
    if (!replaying_) return;
    if (run_.repeat > 0) {
        --run_.repeat;
        return;
    }
    if (replayCursor_ >= trace_.size()) {
        endReplay();
        return;
    }
    const InputRun& next = trace_[replayCursor_];
    for (int b = 0; b < kButtonCount; ++b) setButton(b, next.state[b]);
    run_.repeat = next.repeat;
    ++replayCursor_;
}

void Input::startTrace() {
    LOG_WRITE(log_, kSource, "入力のトレースを開始");
    trace_.clear();
    run_ = InputRun{};
    for (bool& held : playHeld_) held = false;
    clearPresses();
    tracing_ = true;
    replaying_ = false;
}

InputTrace Input::endTrace() {
    trace_.append(run_);
    LOG_WRITE(log_, kSource, "入力のトレースを終了");
    tracing_ = false;
    clearPresses();
    return trace_;
}

void Input::startReplay(InputTrace trace) {
    LOG_WRITE(log_, kSource, "入力のリプレイを開始");
    run_ = InputRun{};
    for (bool& held : playHeld_) held = false;
    clearPresses();
    trace_ = std::move(trace);
    replaying_ = true;
    tracing_ = false;
    replayCursor_ = 0;
    if (trace_.empty()) return;  // the next poll ends the replay
    const InputRun& first = trace_[0];
    for (int b = 0; b < kButtonCount; ++b) playHeld_[b] = first.state[b];
    run_.repeat = first.repeat;
    replayCursor_ = 1;
}

void Input::endReplay() {
    LOG_WRITE(log_, kSource, "入力のリプレイを終了");
    replaying_ = false;
    clearPresses();
}

void Input::readDevices() {
    bool keys[InputDevices::KeyCount] = {};
    // Without a keyboard every key reads up; a joystick still counts.
    if (keyboardOk_) devices_->readKeyboard(keys);

    InputDevices::JoyPosition stick;
    bool haveStick = false;
    // A failed read leaves the stick centred with no button for this frame: its directions and
    // buttons read up, the keys still count.
    if (joystickId_ >= 0) haveStick = devices_->readJoystick(joystickId_, stick);

    const bool left = keys[InputDevices::KeyLeft] || (haveStick && stick.x < xLeft_);
    const bool right = keys[InputDevices::KeyRight] || (haveStick && stick.x > xRight_);
    const bool up = keys[InputDevices::KeyUp] || (haveStick && stick.y < yUp_);
    const bool down = keys[InputDevices::KeyDown] || (haveStick && stick.y > yDown_);
    feedDevice(Left, left);
    feedDevice(Right, right);
    feedDevice(Up, up);
    feedDevice(Down, down);
    for (int i = 0; i < 3; ++i) {
        const bool button = keys[kFirstKeys[i]] || keys[kSecondKeys[i]] || (haveStick && (stick.buttons & (1u << i)));
        feedDevice(Button1 + i, button);
    }
}

bool Input::isDown(int button) { return playHeld_[button] || takePress(button); }

bool Input::takePress(int button) {
    if (playPresses_[button] < 1) return false;
    --playPresses_[button];
    return true;
}

bool Input::isDownLive(int button) { return liveHeld_[button] || takePressLive(button); }

bool Input::takePressLive(int button) {
    if (livePresses_[button] < 1) return false;
    --livePresses_[button];
    return true;
}

void Input::clearPresses() {
    for (int i = 0; i < kButtonCount; ++i) playPresses_[i] = livePresses_[i] = 0;
}

void Input::feedDevice(int button, bool down) {
    if (!replaying_) setButton(button, down);
    if (down && !liveHeld_[button]) ++livePresses_[button];
    liveHeld_[button] = down;
}

void Input::setButton(int button, bool down) {
    if (down && !playHeld_[button]) ++playPresses_[button];
    playHeld_[button] = down;
}
