#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>
#include "input/InputButton.h"
#include "input/InputTrace.h"

class Log;
class InputDevices;

// Keyboard, game pads and the first raw joystick reduced to the game's buttons, in two sets: the play set (what
// the characters react to; fed from the trace during a replay) and the live set (always the
// devices, so a replay can still be left or fast-forwarded). Each button has a held state and a
// count of presses not yet consumed, so a press that one poll saw still counts once even if the
// key is up again by the time anybody asks.
class Input {
public:
    // devices: not owned; null means no keyboard and no joystick. log: not owned, never null.
    Input(InputDevices* devices, Log* log);
    virtual ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // Once per frame: read the devices into both sets (only while acquired), then advance the
    // trace recording or replay.
    virtual void update();
    // Play set: held, or else one pending press consumed.
    virtual bool isDown(int button);
    virtual bool takePress(int button);
    // The same on the live set.
    virtual bool isDownLive(int button);
    virtual bool takePressLive(int button);
    // Forgets every pending press of both sets; held states stay.
    virtual void clearPresses();
    // Forgets the live set's pending presses only: the play set's are part of a play.
    void clearLivePresses();
    // While held, polls feed the live set only and the trace neither records nor replays: the
    // options page opened from a paused play is no part of it.
    void holdTrace(bool held) { traceHeld_ = held; }
    bool traceHeld() const { return traceHeld_; }
    // The keys each button had before any binding.
    void resetKeys();
    // A pad's south and east buttons exchanged: east fires (Button1), south sizes (Button2).
    void setPadSwapped(bool swapped) { padSwapped_ = swapped; }
    bool padSwapped() const { return padSwapped_; }
    // The key code of a key that went down since the last call, or -1: for binding keys. A call
    // when binding begins notes what is held already (its answer is dropped).
    int newlyPressedKey();
    // The name of a key code as the devices give it.
    std::string keyNameOfCode(int code) const;
    // The button (Right..Button3) a key code is bound to, or -1.
    int buttonOfKey(int code) const;
    // After the game stood still (a message box): the devices are read into both held sets and
    // every press is forgotten, so a key still down from answering the box is held, not pressed.
    // The trace does not advance.
    void settle();
    // The same for the live set alone, after the keys changed meaning (a key just bound is held,
    // not pressed); the play set is fed only as a poll would feed it.
    void settleLive();
    // A device reading: the play set takes it unless a replay drives it; the live set always does.
    virtual void feedDevice(int button, bool down);
    // Play set: counts a press when the button goes down, then stores the state.
    virtual void setButton(int button, bool down);

    // Entries of the configuration's key section, in file order: UP, DOWN, LEFT, RIGHT, BUTTON1,
    // BUTTON2, BUTTON3, each a comma-separated list of key names, replacing that button's keys.
    // Unknown entries and key names are logged and ignored; an entry left with no known key
    // keeps the button's default keys.
    using KeyEntries = std::vector<std::pair<std::string, std::string>>;
    void bindKeys(const KeyEntries& entries);
    // The key codes of a direction or button (Right..Button3), for tests.
    const std::vector<int>& keysOf(int button) const { return keys_[button]; }
    // The name of the first key of a direction or button, as the settings (or the defaults)
    // give it, for texts that tell the player which key to press; empty without a keyboard.
    const std::string& keyNameOf(int button) const { return keyNames_[button]; }

    // Window activation: the devices are read only while acquired; otherwise every button keeps
    // the state it had.
    void setAcquired(bool acquired);
    bool acquired() const { return acquired_; }

    // Plain reads for the replay tool and tests (no press is consumed).
    bool playHeld(int button) const { return playHeld_[button]; }
    bool liveHeld(int button) const { return liveHeld_[button]; }
    bool tracing() const { return tracing_; }
    bool replaying() const { return replaying_; }

    // --- trace and replay ---------------------------------------------------------------------
    // Recording: every poll after startTrace adds the play set's held flags to the trace, as runs
    // of equal states. The moment of startTrace is the first poll of the first run, all up.
    virtual void startTrace();
    // Closes the current run into the trace and returns a copy (also when not tracing).
    virtual InputTrace endTrace();
    // The play set follows the trace from now on; the live set still follows the devices. The
    // first run's state applies at once (no presses counted for it); each later run's state is
    // set through setButton at the poll it begins, so presses count as they did when recorded.
    virtual void startReplay(InputTrace trace);
    // Back to the devices; also called by update itself when the trace runs out.
    virtual void endReplay();

protected:
    // Never both true. Set only by the trace and replay operations (and by test doubles that need
    // a replay without a trace).
    bool tracing_ = false;
    bool replaying_ = false;

private:
    bool createKeyboard();
    void searchJoystick();
    void readDevices();
    void readPads(bool down[kButtonCount]);
    std::vector<int> defaultKeys(int button) const;
    std::string defaultKeyName(int button) const;
    // One recording or replay step at the end of update(); nothing to do until traces exist.
    void stepTrace();

    bool playHeld_[kButtonCount] = {};
    std::int32_t playPresses_[kButtonCount] = {};
    bool liveHeld_[kButtonCount] = {};
    std::int32_t livePresses_[kButtonCount] = {};
    Log* log_;
    InputDevices* devices_;
    bool keyboardOk_ = false;
    std::int32_t joystickId_ = -1;  // -1: no joystick in use
    std::uint32_t xLeft_ = 0, yUp_ = 0, xRight_ = 0, yDown_ = 0;
    bool acquired_ = false;
    std::vector<int> keys_[Button3 + 1];  // key codes of each direction and button
    std::string keyNames_[Button3 + 1];   // the name of the first of them
    int padCount_ = 0;                    // pads connected at the last poll
    bool traceHeld_ = false;
    bool padBack_ = false;                // some pad's Back button at the last poll
    bool padSwapped_ = false;
    std::vector<int> optionsKeys_;        // the live-only options key
    bool lastKeys_[512] = {};             // the keyboard at the last newlyPressedKey

    InputTrace trace_;
    std::size_t replayCursor_ = 0;  // index in trace_ of the next run to apply
    // Recording: the run being extended. Replaying: only its repeat, the polls still to wait.
    InputRun run_;
};
