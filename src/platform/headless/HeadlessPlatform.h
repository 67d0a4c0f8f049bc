#pragma once
#include <deque>
#include <string>
#include <vector>
#include "platform/Platform.h"

// No window: keeps the last presented strip so tests can look at it.
class HeadlessScreen : public Screen {
public:
    bool open(bool fullScreen) override { opened = true; this->fullScreen = fullScreen; return true; }
    bool isOpen() const override { return opened; }
    void setSidePanel(const std::uint32_t* pixels) override { panelSet = pixels != nullptr; }
    void setIcon(const std::uint32_t*, int, int) override {}
    void presentStrip(const std::uint32_t* backBuffer, int pitchPixels) override;
    bool pollEvent(WindowEvent& event) override;

    bool opened = false;
    bool fullScreen = false;
    bool panelSet = false;
    int presents = 0;
    std::vector<std::uint32_t> strip;  // 480 x 600 of the last present
    std::deque<WindowEvent> events;    // queued by tests
};

// Keys, joystick and pads set by the caller. Key codes: the default keys are their Key values;
// a few more names (letters, Return, Left Ctrl...) have codes from 100 up.
class HeadlessInputDevices : public InputDevices {
public:
    bool createKeyboard() override { return keyboardAvailable; }
    int keyCode(const std::string& name) override;
    std::string keyName(int code) override;
    void readKeyboard(bool out[kKeyCodes]) override;
    int joystickPorts() override { return joystickPortCount; }
    bool readJoystick(int id, JoyPosition& position) override;
    bool joystickCaps(int id, JoyCaps& caps) override;
    int readPads(PadState* out, int max) override;

    bool keyboardAvailable = true;
    bool keys[kKeyCodes] = {};
    int joystickPortCount = 0;
    int joystickId = -1;  // the id that answers, -1 none
    JoyPosition joystick;
    JoyCaps caps{0, 65535, 0, 65535};
    std::vector<PadState> pads;  // connected pads, in order
};

// No device unless a test asks for one; the test then pulls from the mixer itself.
class HeadlessAudioDevice : public AudioDevice {
public:
    bool open(Mixer* mixer) override;
    void close() override { mixer_ = nullptr; }
    bool isOpen() const override { return mixer_ != nullptr; }
    Mixer* mixer() const { return mixer_; }

    bool available = false;

private:
    Mixer* mixer_ = nullptr;
};

// Records every message box and answers from a queue (default: Ok / Yes).
class HeadlessDialogs : public Dialogs {
public:
    Answer messageBox(const std::string& text, const std::string& caption, Buttons buttons) override;

    struct Shown { std::string text, caption; Buttons buttons; };
    std::vector<Shown> shown;
    std::deque<Answer> answers;
};

// Draws nothing; remembers what it was asked to write.
class HeadlessTextRenderer : public TextRenderer {
public:
    void drawText(std::uint32_t*, int, int, int, int, int, const std::string& utf8) override { texts.push_back(utf8); }
    void drawTextBox(std::uint32_t*, int, int, int, int, int, int, int, const std::string& utf8) override {
        texts.push_back(utf8);
    }
    std::vector<std::string> texts;
};

// Form events queued by a test; once they run out the form is closed, so a test never hangs.
class HeadlessFormInput : public FormInput {
public:
    void beginText() override { textOn = true; }
    void endText() override { textOn = false; }
    bool next(FormEvent& event, int waitMs) override;

    std::deque<FormEvent> events;
    bool textOn = false;
    int reads = 0;
};

class HeadlessPlatform : public Platform {
public:
    HeadlessScreen& screen() override { return screen_; }
    HeadlessInputDevices& inputDevices() override { return input_; }
    HeadlessAudioDevice& audioDevice() override { return audio_; }
    HeadlessDialogs& dialogs() override { return dialogs_; }
    HeadlessTextRenderer& textRenderer() override { return text_; }
    HeadlessFormInput& formInput() override { return forms_; }

private:
    HeadlessScreen screen_;
    HeadlessInputDevices input_;
    HeadlessAudioDevice audio_;
    HeadlessDialogs dialogs_;
    HeadlessTextRenderer text_;
    HeadlessFormInput forms_;
};
