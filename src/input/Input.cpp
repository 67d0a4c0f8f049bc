#include "input/Input.h"
#include <algorithm>
#include "app/Log.h"
#include "app/Translation.h"
#include "platform/Platform.h"

namespace {
constexpr const char* kSource = "Input";

// The keys of each direction and button unless the configuration says otherwise, by the
// devices' key names: Button1..Button3 answer to the (Z, X, C) row and to (Space, left Shift, C).
const std::vector<std::string> kDefaultKeyNames[Button3 + 1] = {
    {"Right"}, {"Down"}, {"Left"}, {"Up"}, {"Z", "Space"}, {"X", "Left Shift"}, {"C"},
};
// Entry names of the configuration's key section, by button.
constexpr const char* kEntryNames[Button3 + 1] = {"RIGHT", "DOWN", "LEFT", "UP", "BUTTON1", "BUTTON2", "BUTTON3"};

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// A key name as texts show it: the settings may spell it in any case ("x", "left shift"), the
// devices take it either way, and the player reads it as the key caps say ("X", "Left Shift").
std::string shownKeyName(std::string s) {
    bool wordStart = true;
    for (char& c : s) {
        if (wordStart && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        wordStart = c == ' ';
    }
    return s;
}

// A stick axis (-32768..32767) on the 0..65535 scale of the raw joystick path, so pads and
// joysticks share one dead zone: the middle half.
std::uint32_t axisPosition(int value) { return static_cast<std::uint32_t>(std::clamp(value, -32768, 32767) + 32768); }

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

    for (int b = 0; b <= Button3; ++b) keys_[b] = defaultKeys(b);
    for (int b = 0; b <= Button3; ++b) keyNames_[b] = defaultKeyName(b);
    if (devices_ != nullptr && devices_->keyCode("Tab") >= 0) optionsKeys_.push_back(devices_->keyCode("Tab"));
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

std::string Input::defaultKeyName(int button) const {
    for (const std::string& name : kDefaultKeyNames[button]) {
        const int code = devices_ ? devices_->keyCode(name) : -1;
        if (code >= 0 && code < InputDevices::kKeyCodes) return name;
    }
    return "";
}

std::vector<int> Input::defaultKeys(int button) const {
    std::vector<int> codes;
    if (!devices_) return codes;
    for (const std::string& name : kDefaultKeyNames[button]) {
        const int code = devices_->keyCode(name);
        if (code >= 0 && code < InputDevices::kKeyCodes) codes.push_back(code);
    }
    return codes;
}

void Input::bindKeys(const KeyEntries& entries) {
    for (const auto& [rawEntry, value] : entries) {
        const std::string entry = upper(trim(rawEntry));
        int button = -1;
        for (int b = 0; b <= Button3; ++b)
            if (entry == kEntryNames[b]) button = b;
        if (button < 0) {
            // The lines a player needs to read are written in their language.
            LOG_WRITE(log_, kSource, tr(N_("キー設定の不明な項目を無視: ")) + trim(rawEntry));
            continue;
        }
        std::vector<int> codes;
        std::string firstName;
        std::size_t from = 0;
        while (from <= value.size()) {
            const std::size_t comma = std::min(value.find(',', from), value.size());
            const std::string name = trim(value.substr(from, comma - from));
            from = comma + 1;
            if (name.empty()) continue;
            const int code = devices_ ? devices_->keyCode(name) : -1;
            if (code < 0 || code >= InputDevices::kKeyCodes) {
                LOG_WRITE(log_, kSource, tr(N_("不明なキー名を無視: ")) + entry + "=" + name);
                continue;
            }
            if (codes.empty()) firstName = shownKeyName(name);
            if (std::find(codes.begin(), codes.end(), code) == codes.end()) codes.push_back(code);
        }
        if (codes.empty()) {
            // A button nobody can press would make the game unplayable: keep what it had.
            LOG_WRITE(log_, kSource, tr(N_("使えるキーがないので既定のキーのまま: ")) + entry);
            keys_[button] = defaultKeys(button);
            keyNames_[button] = defaultKeyName(button);
            continue;
        }
        keys_[button] = std::move(codes);
        keyNames_[button] = firstName;
    }
}

void Input::setAcquired(bool acquired) { acquired_ = acquired; }

void Input::update() {
    if (acquired_) readDevices();

    // --- trace and replay ---------------------------------------------------------------------
    // After the devices have been fed: one recording step while tracing, else one replay step
    // while replaying; neither while the trace is held.
    if (!traceHeld_) stepTrace();
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
    bool keys[InputDevices::kKeyCodes] = {};
    // Without a keyboard every key reads up; pads and a joystick still count.
    if (keyboardOk_) devices_->readKeyboard(keys);
    bool down[kButtonCount] = {};
    for (int b = 0; b <= Button3; ++b)
        for (int code : keys_[b]) down[b] = down[b] || keys[code];

    InputDevices::JoyPosition stick;
    bool haveStick = false;
    // A failed read leaves the stick centred with no button for this frame: its directions and
    // buttons read up, the keys still count.
    if (joystickId_ >= 0) haveStick = devices_->readJoystick(joystickId_, stick);
    if (haveStick) {
        down[Left] = down[Left] || stick.x < xLeft_;
        down[Right] = down[Right] || stick.x > xRight_;
        down[Up] = down[Up] || stick.y < yUp_;
        down[Down] = down[Down] || stick.y > yDown_;
        for (int i = 0; i < 3; ++i) down[Button1 + i] = down[Button1 + i] || (stick.buttons & (1u << i)) != 0;
    }
    readPads(down);
    // The options key reaches the live set alone: no trace ever holds it.
    bool options = false;
    for (int code : optionsKeys_) options = options || keys[code];
    options = options || padBack_;
    if (options && !liveHeld_[kOptionsButton]) ++livePresses_[kOptionsButton];
    liveHeld_[kOptionsButton] = options;

    feedDevice(Left, down[Left]);
    feedDevice(Right, down[Right]);
    feedDevice(Up, down[Up]);
    feedDevice(Down, down[Down]);
    for (int i = 0; i < 3; ++i) feedDevice(Button1 + i, down[Button1 + i]);
}

void Input::readPads(bool down[kButtonCount]) {
    if (!devices_) return;
    InputDevices::PadState pads[InputDevices::kMaxPads];
    const int n = std::clamp(devices_->readPads(pads, InputDevices::kMaxPads), 0, InputDevices::kMaxPads);
    if (n != padCount_) {
        LOG_VALUE(log_, kSource, "ゲームパッドの数", n);
        padCount_ = n;
    }
    // Every pad counts: south fires, east is the bullet-size button, Start or north the third;
    // the d-pad and the left stick move, with the joystick's dead zone.
    const std::uint32_t lo = quarter(0, 65535), hi = threeQuarters(0, 65535);
    padBack_ = false;
    for (int i = 0; i < n; ++i) {
        padBack_ = padBack_ || pads[i].back;
        const InputDevices::PadState& p = pads[i];
        down[Left] = down[Left] || p.left || axisPosition(p.leftX) < lo;
        down[Right] = down[Right] || p.right || axisPosition(p.leftX) > hi;
        down[Up] = down[Up] || p.up || axisPosition(p.leftY) < lo;
        down[Down] = down[Down] || p.down || axisPosition(p.leftY) > hi;
        down[Button1] = down[Button1] || (padSwapped_ ? p.east : p.south);
        down[Button2] = down[Button2] || (padSwapped_ ? p.south : p.east);
        down[Button3] = down[Button3] || p.start || p.north;
    }
}

void Input::clearLivePresses() {
    for (std::int32_t& presses : livePresses_) presses = 0;
}

void Input::resetKeys() {
    for (int b = 0; b <= Button3; ++b) {
        keys_[b] = defaultKeys(b);
        keyNames_[b] = defaultKeyName(b);
    }
}

int Input::newlyPressedKey() {
    bool keys[InputDevices::kKeyCodes] = {};
    if (keyboardOk_ && acquired_) devices_->readKeyboard(keys);
    int pressed = -1;
    for (int code = 0; code < InputDevices::kKeyCodes; ++code) {
        if (pressed < 0 && keys[code] && !lastKeys_[code]) pressed = code;
        lastKeys_[code] = keys[code];
    }
    return pressed;
}

std::string Input::keyNameOfCode(int code) const { return devices_ ? devices_->keyName(code) : std::string(); }

int Input::buttonOfKey(int code) const {
    for (int b = 0; b <= Button3; ++b)
        if (std::find(keys_[b].begin(), keys_[b].end(), code) != keys_[b].end()) return b;
    return -1;
}

void Input::settleLive() {
    if (acquired_) readDevices();
    clearLivePresses();
}

void Input::settle() {
    if (acquired_) readDevices();
    clearPresses();
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
    if (!replaying_ && !traceHeld_) setButton(button, down);
    if (down && !liveHeld_[button]) ++livePresses_[button];
    liveHeld_[button] = down;
}

void Input::setButton(int button, bool down) {
    if (down && !playHeld_[button]) ++playPresses_[button];
    playHeld_[button] = down;
}
