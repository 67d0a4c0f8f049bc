#pragma once
#include <cstdint>
#include <memory>
#include <string>

// The services the game needs from the machine, each with two backends: SDL (the game) and
// headless (tests, tools, the ranking server). Only src/platform/ includes SDL headers.

class Mixer;

// A window event the shell handles between frames.
struct WindowEvent {
    enum Kind { None, Close, Escape, FocusGained, FocusLost, Expose };
    Kind kind = None;
};

// The 800 x 600 window: two 160-pixel side panels around the 480 x 600 playfield strip.
class Screen {
public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 600;
    static constexpr int kPanelWidth = 160;
    static constexpr int kStripWidth = 480;

    virtual ~Screen() = default;
    // Builds the display, windowed or desktop full screen. False when no display could be made.
    virtual bool open(bool fullScreen) = 0;
    virtual bool isOpen() const = 0;
    // What went wrong in the last open, step by step in the display library's own words; empty
    // when nothing did. Kept when a later attempt succeeded.
    virtual std::string openError() const { return {}; }
    // The left side panel, 160 x 600 XRGB pixels; the right panel is its mirror image.
    virtual void setSidePanel(const std::uint32_t* pixels) = 0;
    // The window icon, w x h XRGB pixels; black is transparent.
    virtual void setIcon(const std::uint32_t* pixels, int w, int h) = 0;
    // Shows columns 160..639 of an 800 x 600 XRGB back buffer between the panels.
    virtual void presentStrip(const std::uint32_t* backBuffer, int pitchPixels) = 0;
    // Takes the next pending window event; false when none waits.
    virtual bool pollEvent(WindowEvent& event) = 0;
    // The window's size in percent of the 800 x 600 picture (100, 150, 200...), 0 for the largest
    // that fits the desktop; applied at once to a window, kept for the next one otherwise.
    virtual void setWindowScale(int percent) {}
    // Full screen or a window, as F11 switches them.
    virtual void setFullScreen(bool on) {}
    virtual bool fullScreen() const { return false; }
};

// Keyboard, joystick and game pads as the input service reads them.
class InputDevices {
public:
    // The keys the game answers to unless the configuration says otherwise. Each has a key code
    // of the device (keyCode of its name); keyboard readings are indexed by key code.
    enum Key { KeyRight, KeyDown, KeyLeft, KeyUp, KeyZ, KeySpace, KeyX, KeyLShift, KeyC, KeyCount };
    static constexpr int kKeyCodes = 512;
    struct JoyPosition { std::uint32_t x = 0, y = 0, buttons = 0; };  // buttons: bit 0 = button 1
    struct JoyCaps { std::uint32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0; };
    // A pad whose layout is known (a mapping database names its buttons by place): the face
    // buttons by compass point, the d-pad, Start, and the left stick (-32768..32767, y down).
    struct PadState {
        bool south = false, east = false, west = false, north = false, start = false, back = false;
        bool up = false, down = false, left = false, right = false;
        int leftX = 0, leftY = 0;
    };
    static constexpr int kMaxPads = 8;

    virtual ~InputDevices() = default;
    virtual bool createKeyboard() = 0;
    // The device's code for a key name ("Z", "Space", "Left Shift", "Return", "Keypad 8"...);
    // -1 for a name it does not know.
    virtual int keyCode(const std::string& name) = 0;
    // The name of a key code as keyCode takes it back; empty for a code without one.
    virtual std::string keyName(int code) { return {}; }
    // keys[code] true while that key is down.
    virtual void readKeyboard(bool keys[kKeyCodes]) = 0;
    // The raw joystick path, for devices without a known layout.
    virtual int joystickPorts() = 0;
    virtual bool readJoystick(int id, JoyPosition& position) = 0;
    virtual bool joystickCaps(int id, JoyCaps& caps) = 0;
    // Every pad with a known layout connected now (plugged in at start or later), at most max;
    // returns how many were written.
    virtual int readPads(PadState* pads, int max) = 0;
};

// How the audio thread kept up: a block that took longer to render than it lasts, or that was
// asked for so late that a device holding two blocks would have run dry, is a gap in the sound.
struct AudioStats {
    std::uint64_t blocks = 0;
    std::uint64_t late = 0;
    double worstGapMs = 0;     // longest time between two requests
    double worstRenderMs = 0;  // longest render of one block
};

// The one audio device; it pulls the game's sound from a Mixer on its own thread.
class AudioDevice {
public:
    virtual ~AudioDevice() = default;
    // Starts pulling from mixer (not owned) at mixer's rate. False when there is no device.
    virtual bool open(Mixer* mixer) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual AudioStats stats() const { return {}; }
};

// Modal message boxes.
class Dialogs {
public:
    enum Buttons { Ok, OkCancel, YesNo };
    enum Answer { AnswerOk = 1, AnswerCancel = 2, AnswerYes = 6, AnswerNo = 7 };
    virtual ~Dialogs() = default;
    virtual Answer messageBox(const std::string& text, const std::string& caption, Buttons buttons) = 0;
};

// Text on 32-bit surfaces in a font that covers Japanese; white, transparent background.
class TextRenderer {
public:
    virtual ~TextRenderer() = default;
    // One line at (x, y) of the pixel buffer (w x h, pitch in pixels); clipped to the buffer.
    virtual void drawText(std::uint32_t* pixels, int w, int h, int pitch, int x, int y, const std::string& utf8) = 0;
    // Word-wrapped inside the rectangle (x1, y1)-(x2, y2); clipped to it.
    virtual void drawTextBox(std::uint32_t* pixels, int w, int h, int pitch, int x1, int y1, int x2, int y2,
                             const std::string& utf8) = 0;
    // Width in pixels of one line of text as drawText would draw it.
    virtual int textWidth(const std::string& utf8);
};

// What a form drawn in the game window (the ranking entry dialog, a message box) reads while it
// is open: typed text (through the system's text input, so an input method works), keys, a pad's
// buttons and clicks.
struct FormEvent {
    enum Kind { None, Text, Composition, Key, Press, Release, Motion, Close, Pad };
    enum KeyCode { Tab, Enter, Escape, Backspace, Delete, Left, Right, Home, End, Up, Down, Space, OtherKey };
    // Pad buttons by place, as the game reads them (south fires, east cancels).
    enum PadButton { PadSouth, PadEast, PadWest, PadNorth, PadStart, PadUp, PadDown, PadLeft, PadRight };
    Kind kind = None;
    std::string text;  // Text: typed text; Composition: the input method's unfinished text
    int key = 0;       // Key: a KeyCode; Pad: a PadButton
    int code = -1;     // Key: the device's key code (InputDevices::keyCode), -1 when unknown
    bool shift = false;
    int x = 0, y = 0;  // Press, Release, Motion: position in the 800 x 600 picture
};

class FormInput {
public:
    virtual ~FormInput() = default;
    // While a form is open the keyboard types text; the caret's rectangle (800 x 600 picture)
    // tells an input method where to put its candidates.
    virtual void beginText() {}
    virtual void setCaret(int x, int y, int w, int h) {}
    virtual void endText() {}
    // The next event, waiting up to waitMs for one; false when none came. A request to close the
    // program comes as Close and is still seen by the scene loop afterwards.
    virtual bool next(FormEvent& event, int waitMs) = 0;
};

// All backends of one kind together.
class Platform {
public:
    virtual ~Platform() = default;
    virtual Screen& screen() = 0;
    virtual InputDevices& inputDevices() = 0;
    virtual AudioDevice& audioDevice() = 0;
    virtual Dialogs& dialogs() = 0;
    virtual TextRenderer& textRenderer() = 0;
    // Forms in the game window; without one every form is closed at once.
    virtual FormInput& formInput();
    // Message boxes drawn by the game inside its own picture, answered through formInput, instead
    // of the machine's (dialogs): only where a window shows the picture and a player answers.
    virtual bool boxesInPicture() const { return false; }
};

// The SDL backends (window, keyboard and joystick, audio device, message boxes, SDL_ttf).
std::unique_ptr<Platform> makeSdlPlatform();
