#include "platform/headless/HeadlessPlatform.h"

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

void HeadlessInputDevices::readKeyboard(bool out[KeyCount]) {
    for (int k = 0; k < KeyCount; ++k) out[k] = keyboardAvailable && keys[k];
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
