#include "app/Env.h"
#include "platform/Platform.h"

Env::Env(Platform& platform, Log* log, const EnvOptions& options)
    : platform_(platform),
      draw(&platform.screen(), &platform.textRenderer(), &platform.dialogs(), log, options.fullScreen),
      input(&platform.inputDevices(), log),
      sound(options.openAudio && platform.audioDevice().open(&mixer) ? &mixer : nullptr, log),
      bgm(log, platform.audioDevice().isOpen() ? &mixer : nullptr),
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
