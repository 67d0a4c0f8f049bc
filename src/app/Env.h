#pragma once
#include "app/FrameTimer.h"
#include "app/SinCosTable.h"
#include "app/SystemSave.h"
#include "graphics/Draw.h"
#include "input/Input.h"
#include "music/BGM.h"
#include "sound/Mixer.h"
#include "sound/Sound.h"

class Log;
class Platform;
class Dialogs;
class MsClock;

struct EnvOptions {
    bool fullScreen = false;
    MsClock* clock = nullptr;     // frame timer clock; null = the system clock
    bool noSleep = false;         // the frame timer never sleeps (headless runs)
    bool openAudio = true;        // open the platform's audio device
};

// The service hub: built once, in this order, and torn down in reverse (system save, timer,
// music, effects, input, drawing). The mixer lives around them all.
class Env {
public:
    Env(Platform& platform, Log* log, const EnvOptions& options = {});
    virtual ~Env();
    Env(const Env&) = delete;
    Env& operator=(const Env&) = delete;

    // Once per frame, from each scene's Run: present the previous frame, poll the input, pace the
    // frame and decide whether the next frame's drawing is skipped.
    virtual void Tick();

    Dialogs& dialogs();
    Platform& platform() { return platform_; }

private:
    Platform& platform_;

public:
    Mixer mixer;
    Draw draw;
    Input input;
    Sound sound;
    BGM bgm;
    FrameTimer timer;
    SinCosTable sinCos;
    SystemSave save;
};
