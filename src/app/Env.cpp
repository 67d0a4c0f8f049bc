#include "app/Env.h"
#include <chrono>
#include <cstdio>
#include "app/Log.h"
#include "app/Paths.h"
#include "app/Translation.h"
#include "platform/Platform.h"

namespace {
std::unique_ptr<MusicService> makeMusic(const EnvOptions& options, Log* log, Mixer* mixer) {
    if (options.music) return options.music(log, mixer);
    return std::make_unique<SilentMusic>();
}
}  // namespace

Env::Env(Platform& platform, Log* log, const EnvOptions& options)
    : settings(options.settings),
      settingsFile(options.settingsFile),
      platform_(platform),
      ranking_(options.ranking),
      applyLanguage_(options.applyLanguage),
      log_(log),
      pictureDialogs_(this, log),
      draw(&platform.screen(), &platform.textRenderer(), &platform.dialogs(), log, options.fullScreen,
           options.discardDrawing),
      input(&platform.inputDevices(), log),
      // Without a window the program is about to end: the audio device is not even opened, so
      // its library's complaints cannot bury the one line that says why.
      sound(options.openAudio && platform.screen().isOpen() && platform.audioDevice().open(&mixer) ? &mixer : nullptr,
            log),
      music_(makeMusic(options, log, platform.audioDevice().isOpen() ? &mixer : nullptr)),
      bgm(*music_),
      timer(log, options.clock),
      save(gamePaths().saveFile("system.sav"), log) {
    timer.setNoSleep(options.noSleep);
    // The player's settings from the configuration file.
    input.bindKeys(options.keys);
    input.setPadSwapped(options.settings.padSwapped);
    // What the player wrote that the game cannot use, in the player's language.
    if (log_ != nullptr)
        for (const std::string& entry : settings.problems)
            LOG_WRITE(log_, "Env", tr(N_("設定ファイルのこの項目はそのままでは使えません（不明な名前は無視、数でない値は0）: ")) + entry);
    sound.setVolume(options.effectVolume);
    bgm.setVolume(options.musicVolume);
}

Env::~Env() {
    // Stop the audio thread before the effect and music sources it pulls from go away.
    const bool hadAudio = platform_.audioDevice().isOpen();
    platform_.audioDevice().close();
    const AudioStats a = platform_.audioDevice().stats();
    if (hadAudio && log_ != nullptr && a.blocks > 0) {
        char line[160];
        std::snprintf(line, sizeof line, "オーディオ: %llu ブロック, 途切れ %llu, 最長間隔 %.1f ms, 最長描画 %.2f ms",
                      static_cast<unsigned long long>(a.blocks), static_cast<unsigned long long>(a.late), a.worstGapMs,
                      a.worstRenderMs);
        LOG_WRITE(log_, "Env", line);
    }
}

void Env::Tick() {
    bgm.update();
    // A scene that draws before it ticks (the pause menu acts on the last poll's buttons) shows
    // its picture now, before the wait, rather than a frame later. Whatever it drew since the
    // last poll counts, even when the frame before was shown already: the play shows its last
    // picture after its frame, then opens the menu and draws it before its next tick.
    if (ticked_ && drawnSinceTick()) present();
    // Wait first, then poll: the buttons this frame acts on are read as late as possible, and
    // the picture drawn from them is shown as soon as it is drawn (Show, after the scene's
    // frame). Only the wait moves: every frame still polls once and at the same point of its
    // logic, so what a play records and replays is unchanged.
    timer.Wait();
    draw.SetSkip(timer.skipThisFrame());
    input.update();
    sound.update();
    frameOpen_ = true;
    ticked_ = true;
    drawsAtTick_ = draw.backDraws();
}

void Env::Show() {
    // Only a frame's own picture, drawn from the buttons of its poll: not what a new scene's
    // constructor drew before its first tick, and not a picture drawn before the tick (the tick
    // showed that one; presenting it again after the poll would put every later picture of a
    // scene that draws first one frame behind its buttons).
    if (frameOpen_ && drawnSinceTick()) present();
}

bool Env::drawnSinceTick() const { return draw.backDraws() != drawsAtTick_; }

void Env::present() {
    if (!draw.backDrawn()) return;
    frameOpen_ = false;
    draw.Present();
    if (!firstShown_ && log_ != nullptr && !draw.skip()) {
        firstShown_ = true;
        // The first scene's first picture is now on screen: the start-up benchmark compares this
        // reading of the monotonic clock with the moment the program was started.
        char line[96];
        std::snprintf(line, sizeof line, "最初のフレームを表示 monotonic %.3f ms",
                      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count());
        LOG_WRITE(log_, "Env", line);
    }
}

bool Env::saveSettings() {
    if (settingsFile.empty()) return false;
    const bool saved = settings.write(settingsFile);
    if (log_ != nullptr) LOG_WRITE(log_, "Env", (saved ? "設定を保存: " : "設定の保存に失敗: ") + settingsFile);
    return saved;
}

void Env::applyLanguage(const std::string& language) {
    if (applyLanguage_) applyLanguage_(language);
}

Dialogs& Env::dialogs() { return platform_.boxesInPicture() ? static_cast<Dialogs&>(pictureDialogs_) : platform_.dialogs(); }

std::unique_ptr<RankingClient> Env::makeRankingClient(Log* log) {
    return ranking_ ? ranking_(this, log) : nullptr;
}
