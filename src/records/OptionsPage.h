#pragma once
#include <cstdint>
#include <string>

class Env;
class Log;

// The options page, from the title and from the pause menu: volumes (heard as they change),
// window or full screen and the window's size, the language, the keys of every button (press
// the new key; a key another button has is refused), the pad's buttons, the online question and
// the frame-rate line. Every change applies at once and is saved to the settings file; a line
// under the entries says what the one under the cursor does.
//
// It reads the live buttons only, so a paused play's trace never sees it (the play scene holds
// the trace while it is open): Up and Down move, Left and Right change, Button1 chooses, Button2
// leaves.
class OptionsPage {
public:
    enum Entry {
        MusicVolume, EffectVolume, ScreenMode, WindowSize, LanguageEntry,
        KeyUp, KeyDown, KeyLeft, KeyRight, KeyButton1, KeyButton2, KeyButton3, ResetKeys,
        PadButtons, OnlineQuestion, FrameRateLine, Return, kEntryCount
    };

    OptionsPage(Env* env, Log* log);

    // Cursor on the first entry; presses left over from the choice that opened it are dropped.
    void open();
    // One frame: input, then the page drawn on the playfield. False once the player has left.
    bool step();

    int current() const { return current_; }
    bool binding() const { return binding_; }
    // What an entry shows beside its name, and the line shown under the entries.
    std::string valueText(int entry) const;
    const std::string& notice() const { return notice_; }

private:
    void change(int direction);
    void choose();
    void bindKey(int code);
    void keysChanged();
    void draw() const;

    Env* env_;
    Log* log_;
    int current_ = 0;
    bool binding_ = false;
    int bindingFrames_ = 0;
    std::string notice_;  // the refusal of a key, until the cursor moves on
    int frame_ = 0;
};
