#pragma once
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include "app/FrameTimer.h"
#include "app/MusicService.h"
#include "app/PictureDialogs.h"
#include "app/Settings.h"
#include "app/SinCosTable.h"
#include "app/SystemSave.h"
#include "graphics/Draw.h"
#include "input/Input.h"
#include "records/RankingClient.h"
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
    MusicFactory music = nullptr;            // null = silent music (headless runs)
    RankingClientFactory ranking = nullptr; // null = no ranking server can be reached
    int musicVolume = 100;        // percent of full level
    int effectVolume = 100;       // percent of full level
    std::vector<std::pair<std::string, std::string>> keys{};  // the configuration's key section
    bool discardDrawing = false;  // nothing drawn is ever looked at (Draw::SetDiscard)
    Settings settings{};          // the player's settings as read (the options page changes them)
    std::string settingsFile{};   // where the options page writes them; empty: nowhere
    std::function<void(const std::string& language)> applyLanguage{};  // "ja", "en" or "" (locale)
};

// The service hub: built once, in this order, and torn down in reverse (system save, timer,
// music, effects, input, drawing). The mixer lives around them all.
class Env {
public:
    Env(Platform& platform, Log* log, const EnvOptions& options = {});
    virtual ~Env();
    Env(const Env&) = delete;
    Env& operator=(const Env&) = delete;

    // Once per frame, from each scene's Run: show what the scene drew before it (if anything),
    // wait until the frame is due and decide whether its drawing is skipped, then poll the input.
    virtual void Tick();
    // Presents what has been drawn since the last present, if anything; the scene loop calls it
    // after every frame, so a picture is shown as soon as it is drawn.
    void Show();

    // Message boxes: drawn in the game's picture where a window shows it, the platform's own
    // otherwise (headless runs answer them from the caller).
    Dialogs& dialogs();
    Platform& platform() { return platform_; }

    // The player's settings; the options page changes them, applies each at once, and saves.
    Settings settings;
    const std::string settingsFile;
    bool saveSettings();
    void applyLanguage(const std::string& language);
    // A client of the ranking server for one action; null when this program has none.
    std::unique_ptr<RankingClient> makeRankingClient(Log* log);

private:
    Platform& platform_;
    RankingClientFactory ranking_;
    std::function<void(const std::string&)> applyLanguage_;
    Log* log_;
    PictureDialogs pictureDialogs_;
    bool firstShown_ = false;
    bool frameOpen_ = false;  // a tick has begun a frame that has not been shown yet
    bool ticked_ = false;     // a frame has been polled at all (before, only start-up drew)
    std::uint64_t drawsAtTick_ = 0;  // the back buffer's drawing count when the last tick polled

    bool drawnSinceTick() const;
    void present();

public:
    Mixer mixer;
    Draw draw;
    Input input;
    Sound sound;

private:
    std::unique_ptr<MusicService> music_;

public:
    MusicService& bgm;
    FrameTimer timer;
    SinCosTable sinCos;
    SystemSave save;
};
