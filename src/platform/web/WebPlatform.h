#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "app/Clock.h"
#include "app/MusicService.h"
#include "platform/Platform.h"

// The browser's backends, built by emscripten with Asyncify: the game's blocking loops stay as
// they are, and every wait (the frame timer's sleep, a form or a message box waiting for the
// player) hands the browser its turn through webYield. The page's script (web/game/game.js,
// reached as Module.page) owns the canvas, the keys, the pads, Web Audio and the boxes; these
// classes only carry the game's side across.

class Mixer;
class HttpClient;

// Gives the browser its turn for ms milliseconds (0: just one turn). Before it goes, the sound
// the mixer owes is rendered and handed to Web Audio and the save folder is flushed when a file
// in it changed.
void webYield(std::uint32_t ms);

// The page's clock (performance.now); its sleep is webYield.
class WebClock : public MsClock {
public:
    std::uint32_t now() override;
    double nowPrecise() override;
    void sleep(std::uint32_t ms) override;
};

// The 800 x 600 picture composed in our memory and put on the page's canvas as RGBA; the page
// scales the canvas (letterboxed, whole multiples stay sharp) and handles full screen.
class WebScreen : public Screen {
public:
    bool open(bool fullScreen) override;
    bool isOpen() const override { return open_; }
    void setSidePanel(const std::uint32_t* pixels) override;
    void setIcon(const std::uint32_t*, int, int) override {}
    void presentStrip(const std::uint32_t* backBuffer, int pitchPixels) override;
    bool pollEvent(WindowEvent& event) override;

private:
    bool open_ = false;
    std::vector<std::uint8_t> rgba_ = std::vector<std::uint8_t>(std::size_t(kWidth) * kHeight * 4, 0);
};

// Keys by the DOM's KeyboardEvent.code, named as SDL names them (so the configuration's key
// section means the same keys in the browser); pads through the Gamepad API's standard layout.
class WebInputDevices : public InputDevices {
public:
    bool createKeyboard() override { return true; }
    int keyCode(const std::string& name) override;
    void readKeyboard(bool keys[kKeyCodes]) override;
    int joystickPorts() override { return 0; }
    bool readJoystick(int, JoyPosition&) override { return false; }
    bool joystickCaps(int, JoyCaps&) override { return false; }
    int readPads(PadState* pads, int max) override;
};

// Web Audio, fed from the game's mixer a little ahead of the audio clock at every yield.
class WebAudioDevice : public AudioDevice {
public:
    bool open(Mixer* mixer) override;
    void close() override;
    bool isOpen() const override { return mixer_ != nullptr; }
    AudioStats stats() const override { return stats_; }
    // Renders and queues what the page's audio clock will need before the next yield.
    void pump();

private:
    Mixer* mixer_ = nullptr;
    AudioStats stats_;
    std::vector<std::int16_t> block_;
};

// A box over the canvas with the game's words and buttons, waited for while the browser runs.
class WebDialogs : public Dialogs {
public:
    Answer messageBox(const std::string& text, const std::string& caption, Buttons buttons) override;
};

// The browser's fonts (they cover Japanese) through a 2D canvas, blended white onto the game's
// surfaces; boxes of words are wrapped and shaded as the SDL renderer does.
class WebTextRenderer : public TextRenderer {
public:
    void drawText(std::uint32_t* pixels, int w, int h, int pitch, int x, int y, const std::string& utf8) override;
    void drawTextBox(std::uint32_t* pixels, int w, int h, int pitch, int x1, int y1, int x2, int y2,
                     const std::string& utf8) override;
    int textWidth(const std::string& utf8) override;

private:
    // Has the page draw utf8 (wrapped at wrapWidth when above 0) and blends it in at (x, y),
    // clipped to clipRight / clipBottom; returns the size the words took, or false for none.
    bool blendText(std::uint32_t* pixels, int w, int h, int pitch, int x, int y, int clipRight, int clipBottom,
                   const std::string& utf8, int wrapWidth, int* textW, int* textH, bool shaded);
    std::vector<std::uint8_t> alpha_;
};

// Typed text through a hidden text field (so an input method works), editing keys and clicks on
// the canvas, queued by the page.
class WebFormInput : public FormInput {
public:
    void beginText() override;
    void setCaret(int x, int y, int w, int h) override;
    void endText() override;
    bool next(FormEvent& event, int waitMs) override;
};

// The songs rendered at build time by the game's own offline path, played by the page with
// their loop points; a slot holds the song its Standard MIDI File was rendered from.
class WebMusic : public MusicService {
public:
    void update() override {}
    bool load(const std::string& path, int id) override;
    void play(int id) override;
    void stop() override;
    int currentId() const override { return currentId_; }
    void setVolume(int percent) override;

private:
    int currentId_ = -1;
};

class WebPlatform : public Platform {
public:
    WebPlatform();
    ~WebPlatform() override;
    Screen& screen() override { return screen_; }
    InputDevices& inputDevices() override { return input_; }
    AudioDevice& audioDevice() override { return audio_; }
    Dialogs& dialogs() override { return dialogs_; }
    TextRenderer& textRenderer() override { return text_; }
    FormInput& formInput() override { return forms_; }
    // The game's own boxes, drawn in its picture, as in the native window; WebDialogs stays for
    // what is said before there is a picture.
    bool boxesInPicture() const override { return true; }
    WebClock& clock() { return clock_; }

private:
    WebScreen screen_;
    WebInputDevices input_;
    WebAudioDevice audio_;
    WebDialogs dialogs_;
    WebTextRenderer text_;
    WebFormInput forms_;
    WebClock clock_;
};

// Mounts the browser's storage (IndexedDB) at dir and loads what an earlier visit saved; every
// change under it is flushed back at the next yield.
void mountSaveFolder(const std::string& dir);
// The page's choices at start: the language its address asks for (?lang=en or ja; empty when
// none), the address of the server that served the page (host:port; empty when the page was
// opened as static files), and the browser's language ("ja-JP", "en-GB"...).
std::string pageLanguage();
std::string pageServer();
std::string browserLanguage();
// HTTP through the browser's fetch, to the server that served the page (same origin).
std::unique_ptr<HttpClient> makeFetchHttpClient();
