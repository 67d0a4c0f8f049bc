#pragma once
#include <SDL.h>
#include <SDL_ttf.h>
#include <atomic>
#include <memory>
#include <vector>
#include "graphics/FrameScaler.h"
#include "platform/Platform.h"

// The window: the 800 x 600 picture (both side panels and the playfield strip) is composed in
// our own memory and scaled by our own code into the window's surface, whole and letterboxed at
// any window size: sharp when enlarging, averaged when shrinking. Desktop full screen on request,
// with F11 or Alt+Enter.
class SdlScreen : public Screen {
public:
    ~SdlScreen() override;
    bool open(bool fullScreen) override;
    bool isOpen() const override { return window_ != nullptr; }
    std::string openError() const override { return openError_; }
    void setSidePanel(const std::uint32_t* pixels) override;
    void setIcon(const std::uint32_t* pixels, int w, int h) override;
    void presentStrip(const std::uint32_t* backBuffer, int pitchPixels) override;
    bool pollEvent(WindowEvent& event) override;
    // Where a point of the 800 x 600 picture lies in the window, for the input method.
    SDL_Rect toWindow(int x, int y, int w, int h) const;
    // The point of the 800 x 600 picture under a point of the window (the mouse).
    SDL_Point toPicture(int x, int y) const;
    SDL_Window* window() const { return window_; }
    void setWindowScale(int percent) override;
    void setFullScreen(bool on) override;
    bool fullScreen() const override { return fullScreen_; }

private:
    int windowPercent() const;
    void show();
    void toggleFullScreen();
    bool startVideo();  // SDL's video subsystem on a display that can be seen
    bool fail(const std::string& step);  // notes the step and SDL's error; false
    void note(const std::string& line);  // added to openError unless it repeats the last one
    static constexpr int kVideoTries = 20;  // about 7.5 s of asking in all

    SDL_Window* window_ = nullptr;
    std::vector<std::uint32_t> frame_ = std::vector<std::uint32_t>(kWidth * kHeight, 0u);
    std::vector<std::uint32_t> scaled_;  // for window surfaces that are not 32-bit XRGB
    FrameScaler scaler_;
    bool fullScreen_ = false;
    int scalePercent_ = 0;  // the window's size in percent of the picture; 0: the largest that fits
    std::string openError_;
    std::string lastNote_;
};

// Keys by SDL scancode; pads through SDL's game controller layer and its mapping database
// (plugged in at start or later); the raw joystick path for devices without a mapping.
class SdlInputDevices : public InputDevices {
public:
    ~SdlInputDevices() override;
    bool createKeyboard() override { return true; }
    int keyCode(const std::string& name) override;
    std::string keyName(int code) override;
    void readKeyboard(bool keys[kKeyCodes]) override;
    int joystickPorts() override;
    bool readJoystick(int id, JoyPosition& position) override;
    bool joystickCaps(int id, JoyCaps& caps) override;
    int readPads(PadState* pads, int max) override;

private:
    bool startJoysticks();
    SDL_Joystick* open(int id);
    SDL_Joystick* joystick_ = nullptr;
    int joystickId_ = -1;
    bool started_ = false;
    std::vector<SDL_GameController*> pads_;
    std::vector<SDL_JoystickID> seen_;  // devices already looked at for a pad mapping
};

class SdlAudioDevice : public AudioDevice {
public:
    ~SdlAudioDevice() override { close(); }
    bool open(Mixer* mixer) override;
    void close() override;
    bool isOpen() const override { return device_ != 0; }
    AudioStats stats() const override;

private:
    static void callback(void* user, Uint8* stream, int len);
    SDL_AudioDeviceID device_ = 0;
    Mixer* mixer_ = nullptr;
    // Written by the audio thread, read by the main thread.
    std::atomic<std::uint64_t> blocks_{0}, late_{0};
    std::atomic<double> worstGapMs_{0}, worstRenderMs_{0};
    double lastStart_ = -1;  // audio thread only
};

class SdlDialogs : public Dialogs {
public:
    explicit SdlDialogs(SdlScreen* screen) : screen_(screen) {}
    Answer messageBox(const std::string& text, const std::string& caption, Buttons buttons) override;

private:
    SdlScreen* screen_;
};

// Text input, editing keys and the mouse for a form drawn in the game window.
class SdlFormInput : public FormInput {
public:
    explicit SdlFormInput(SdlScreen* screen) : screen_(screen) {}
    void beginText() override;
    void setCaret(int x, int y, int w, int h) override;
    void endText() override;
    bool next(FormEvent& event, int waitMs) override;

private:
    bool translate(const SDL_Event& e, FormEvent& event);
    void at(int windowX, int windowY, FormEvent& event) const;
    SdlScreen* screen_;
    bool quitPending_ = false;
};

class SdlTextRenderer : public TextRenderer {
public:
    ~SdlTextRenderer() override;
    void drawText(std::uint32_t* pixels, int w, int h, int pitch, int x, int y, const std::string& utf8) override;
    void drawTextBox(std::uint32_t* pixels, int w, int h, int pitch, int x1, int y1, int x2, int y2,
                     const std::string& utf8) override;
    int textWidth(const std::string& utf8) override;

private:
    TTF_Font* font();
    void blend(SDL_Surface* text, std::uint32_t* pixels, int w, int h, int pitch, int x, int y, int clipRight,
               int clipBottom);
    TTF_Font* font_ = nullptr;
    bool tried_ = false;
};

class SdlPlatform : public Platform {
public:
    SdlPlatform();
    ~SdlPlatform() override;
    Screen& screen() override { return screen_; }
    InputDevices& inputDevices() override { return input_; }
    AudioDevice& audioDevice() override { return audio_; }
    Dialogs& dialogs() override { return dialogs_; }
    TextRenderer& textRenderer() override { return text_; }
    FormInput& formInput() override { return forms_; }
    bool boxesInPicture() const override { return screen_.isOpen(); }

private:
    SdlScreen screen_;
    SdlInputDevices input_;
    SdlAudioDevice audio_;
    SdlDialogs dialogs_{&screen_};
    SdlTextRenderer text_;
    SdlFormInput forms_{&screen_};
};
