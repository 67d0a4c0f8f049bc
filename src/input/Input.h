#pragma once
#include <cstdint>
#include "input/InputButton.h"

class Log;
class InputDevices;

// Keyboard and the first joystick reduced to the game's buttons, in two sets: the play set (what
// the characters react to; fed from the trace during a replay) and the live set (always the
// devices). Each button has a held state and a count of presses not yet consumed.
class Input {
public:
    // devices: not owned; null means no devices at all.
    Input(InputDevices* devices, Log* log);
    virtual ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    virtual void update();
    virtual bool isDown(int button);
    virtual bool takePress(int button);
    virtual bool isDownLive(int button);
    virtual bool takePressLive(int button);
    virtual void clearPresses();
    virtual void feedDevice(int button, bool down);
    virtual void setButton(int button, bool down);

    void setAcquired(bool acquired);
    bool acquired() const { return acquired_; }

    // Plain reads for the replay tool and tests.
    bool playHeld(int button) const { return playHeld_[button]; }
    bool liveHeld(int button) const { return liveHeld_[button]; }

private:
    bool createKeyboard();
    void readDevices();

    bool playHeld_[kButtonCount] = {};
    std::int32_t playPresses_[kButtonCount] = {};
    bool liveHeld_[kButtonCount] = {};
    std::int32_t livePresses_[kButtonCount] = {};
    Log* log_;
    InputDevices* devices_;
    bool keyboardOk_ = false;
    std::int32_t joystickId_ = -1;
    std::uint32_t xLeft_ = 0, yUp_ = 0, xRight_ = 0, yDown_ = 0;
    bool acquired_ = false;
};
