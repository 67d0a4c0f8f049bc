#include "app/Env.h"
#include "platform/Platform.h"

namespace {
std::unique_ptr<MusicService> makeMusic(const EnvOptions& options, Log* log, Mixer* mixer) {
    if (options.music) return options.music(log, mixer);
    return std::make_unique<SilentMusic>();
}
}  // namespace

Env::Env(Platform& platform, Log* log, const EnvOptions& options)
    : platform_(platform),
      ranking_(options.ranking),
      draw(&platform.screen(), &platform.textRenderer(), &platform.dialogs(), log, options.fullScreen),
      input(&platform.inputDevices(), log),
      sound(options.openAudio && platform.audioDevice().open(&mixer) ? &mixer : nullptr, log),
      music_(makeMusic(options, log, platform.audioDevice().isOpen() ? &mixer : nullptr)),
      bgm(*music_),
      timer(log, options.clock) {
    timer.setNoSleep(options.noSleep);
}

Env::~Env() {
    // Stop the audio thread before the effect and music sources it pulls from go away.
    platform_.audioDevice().close();
}

void Env::Tick() {
    bgm.update();
    draw.Present();
    input.update();
    sound.update();
    timer.Wait();
    draw.SetSkip(timer.skipThisFrame());
}

Dialogs& Env::dialogs() { return platform_.dialogs(); }

std::unique_ptr<RankingClient> Env::makeRankingClient(Log* log) {
    return ranking_ ? ranking_(this, log) : nullptr;
}
