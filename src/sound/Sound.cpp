#include "sound/Sound.h"
#include <memory>
#include <utility>
#include "app/Log.h"
#include "app/Translation.h"
#include "sound/Mixer.h"
#include "sound/WaveFile.h"

namespace {
constexpr const char* kSource = "Sound";

const char* malformedMessage(WaveStatus status) {
    switch (status) {
        case WaveStatus::NotRiffWave: return "サウンドロードエラー:WAVEファイルが不正(RIFF/WAVEではない)";
        case WaveStatus::NoFormat: return "サウンドロードエラー:WAVEファイルが不正(フォーマットが読めない)";
        case WaveStatus::NotPcm: return "サウンドロードエラー:WAVEファイルが不正(PCMではない)";
        case WaveStatus::NoData: return "サウンドロードエラー:WAVEファイルが不正(dataチャンクがない)";
        case WaveStatus::DataTruncated: return "サウンドロードエラー:WAVEファイルが不正(dataチャンクが短い)";
        default: return "サウンドロードエラー:WAVEファイルが不正";
    }
}
}  // namespace

Sound::Sound(Mixer* mixer, Log* log) : mixer_(mixer), log_(log) {
    LOG_WRITE(log_, kSource, "効果音環境の初期化");
    if (!mixer_) {
        // A machine without a sound device still plays, silently.
        LOG_WRITE(log_, kSource, tr(N_("効果音環境の初期化に失敗:オーディオデバイスがないので効果音なしで続行")));
        return;
    }
    mixer_->addSource(&voices_);
    LOG_WRITE(log_, kSource, "効果音環境の初期化に成功");
}

Sound::~Sound() {
    // Returns once the audio thread has stopped mixing the voices.
    if (mixer_) mixer_->removeSource(&voices_);
}

void Sound::load(const std::string& path, int id) {
    LOG_VALUE(log_, kSource, "サウンドロード:" + path, id);
    if (id < 0 || id >= kSoundSlots) {
        LOG_WRITE(log_, kSource, "サウンドロードエラー:IDが大きすぎる");
        return;
    }
    unload(id);

    WaveFile wave = readWaveFile(path);
    if (wave.status == WaveStatus::NotFound) {
        LOG_WRITE(log_, kSource, tr(N_("サウンドロードエラー:ファイルが見つからない")));
        return;
    }
    if (wave.status != WaveStatus::Ok) {
        LOG_WRITE(log_, kSource, malformedMessage(wave.status));
        return;
    }
    voices_.set(id, std::make_shared<const EffectVoices::Samples>(std::move(wave.samples)));
}

void Sound::play(int id, bool loop) { voices_.play(id, loop); }

void Sound::stop(int id) { voices_.stop(id); }

void Sound::unload(int id) { voices_.set(id, nullptr); }
