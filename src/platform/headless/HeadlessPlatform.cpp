#include "platform/headless/HeadlessPlatform.h"
#include <strings.h>
#include <cctype>
#include <cstring>

void HeadlessScreen::presentStrip(const std::uint32_t* backBuffer, int pitchPixels) {
    ++presents;
    strip.resize(static_cast<std::size_t>(kStripWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kStripWidth; ++x)
            strip[static_cast<std::size_t>(y) * kStripWidth + x] =
                backBuffer[static_cast<std::size_t>(y) * pitchPixels + kPanelWidth + x];
}

bool HeadlessScreen::pollEvent(WindowEvent& event) {
    if (events.empty()) return false;
    event = events.front();
    events.pop_front();
    return true;
}

int HeadlessInputDevices::keyCode(const std::string& name) {
    // Any case, as SDL takes key names.
    const auto same = [&name](const char* known) { return strcasecmp(name.c_str(), known) == 0; };
    static const char* const kDefaults[KeyCount] = {"Right", "Down", "Left", "Up", "Z", "Space", "X", "Left Shift", "C"};
    for (int k = 0; k < KeyCount; ++k)
        if (same(kDefaults[k])) return k;
    if (name.size() == 1 && std::isalpha(static_cast<unsigned char>(name[0])))
        return 100 + (std::toupper(static_cast<unsigned char>(name[0])) - 'A');
    static const char* const kMore[] = {"Return",   "Left Ctrl", "Right Shift", "Keypad 8", "Keypad 2",
                                        "Keypad 4", "Keypad 6",  "Tab",         "Escape",   "F11"};
    for (int i = 0; i < static_cast<int>(sizeof kMore / sizeof kMore[0]); ++i)
        if (same(kMore[i])) return 200 + i;
    return -1;
}

std::string HeadlessInputDevices::keyName(int code) {
    static const char* const kDefaults[KeyCount] = {"Right", "Down", "Left", "Up", "Z", "Space", "X", "Left Shift", "C"};
    if (code >= 0 && code < KeyCount) return kDefaults[code];
    if (code >= 100 && code < 126) return std::string(1, static_cast<char>('A' + code - 100));
    for (const char* name : {"Return", "Left Ctrl", "Right Shift", "Keypad 8", "Keypad 2", "Keypad 4", "Keypad 6", "Tab", "Escape", "F11"})
        if (keyCode(name) == code) return name;
    return {};
}

void HeadlessInputDevices::readKeyboard(bool out[kKeyCodes]) {
    // Read every frame of every replay checked: one block copy, not a loop over the codes.
    if (keyboardAvailable) std::memcpy(out, keys, sizeof keys);
    else std::memset(out, 0, sizeof keys);
}

int HeadlessInputDevices::readPads(PadState* out, int max) {
    int n = 0;
    for (; n < max && n < static_cast<int>(pads.size()); ++n) out[n] = pads[static_cast<std::size_t>(n)];
    return n;
}

bool HeadlessInputDevices::readJoystick(int id, JoyPosition& position) {
    if (id != joystickId) return false;
    position = joystick;
    return true;
}

bool HeadlessInputDevices::joystickCaps(int id, JoyCaps& out) {
    if (id != joystickId) return false;
    out = caps;
    return true;
}

bool HeadlessAudioDevice::open(Mixer* mixer) {
    if (!available) return false;
    mixer_ = mixer;
    return true;
}

Dialogs::Answer HeadlessDialogs::messageBox(const std::string& text, const std::string& caption, Buttons buttons) {
    shown.push_back({text, caption, buttons});
    if (!answers.empty()) {
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons == YesNo ? AnswerYes : AnswerOk;
}

bool HeadlessFormInput::next(FormEvent& event, int) {
    ++reads;
    event = FormEvent{};
    if (events.empty()) {
        event.kind = FormEvent::Close;
        return true;
    }
    event = events.front();
    events.pop_front();
    return true;
}
