#include "music/BGM.h"
#include "app/Log.h"

BGM::BGM(Log* log, Mixer* mixer, std::string soundFont, MsClock* clock)
    : log_(log), player_(clock), output_(mixer, std::move(soundFont), clock) {
    try {
        output_.open();
    } catch (const midiplayer::Output::OutputException& e) {
        // No audio device or no soundfont: the game plays on without music.
        if (log_ != nullptr) LOG_WRITE(log_, "BGM", "MIDI出力オープン失敗 " + e.message());
    }
    player_.addObserver(&output_);
}

BGM::~BGM() {
    player_.stop();
    player_.join();
    // The player silences once more when it is destroyed, after the output: unhook it first.
    player_.removeObserver(&output_);
}

void BGM::update() {
    if (log_ == nullptr) return;
    const std::string failure = player_.takeFailure();
    if (!failure.empty()) LOG_WRITE(log_, "BGM", "MIDI再生停止 " + failure);
    const std::string loadFailure = output_.takeFailure();
    if (!loadFailure.empty()) LOG_WRITE(log_, "BGM", "音色ファイル読み込み失敗 " + loadFailure);
}

namespace {
// The instruments a song selects with its program changes (channel 9 plays drum kits), and the
// General MIDI default (program 0) of a channel that plays before its first program change.
std::vector<int> instrumentsOf(const midiplayer::Score& score) {
    int bank[16] = {};
    bool selected[16] = {};
    std::vector<int> keys;
    for (const auto& e : score.list()) {
        const auto* s = dynamic_cast<const midiplayer::EventShort*>(e.get());
        if (s == nullptr) continue;
        const int channel = s->status & 0x0F;
        const int kind = s->status & 0xF0;
        if (kind == 0xB0 && s->dataByte1 == 0) bank[channel] = s->dataByte2;
        const bool sounds = kind == 0x90 && s->dataByte2 > 0 && !selected[channel];
        if (kind == 0xC0 || sounds) {
            selected[channel] = true;
            keys.push_back(midiplayer::PresetWarmer::key(channel == 9 ? 128 : bank[channel], sounds ? 0 : s->dataByte1));
        }
    }
    return keys;
}
}  // namespace

void BGM::prepare(int id) {
    if (id >= 0 && id < kSlots) output_.warm(instrumentsOf(scores_[id]));
}

bool BGM::load(const std::string& path, int id) {
    if (id < 0 || id >= kSlots) return false;
    if (id == currentId_) {
        player_.stop();
        player_.join();  // the playback thread must be gone before its score is cleared
    }
    try {
        scores_[id].load(path);
    } catch (const midiplayer::Score::ScoreException&) {
        if (log_ != nullptr) LOG_WRITE(log_, "BGM", "MIDIロード失敗");
        return false;
    }
    return true;
}

void BGM::play(int id) {
    if (id < 0 || id >= kSlots) return;
    player_.stop();
    player_.rewind();
    player_.join();  // instead of a fixed wait: the old playback thread has left
    player_.stop();
    prepare(id);
    player_.setScore(&scores_[id]);
    try {
        player_.start();
    } catch (const midiplayer::Player::PlayerException&) {
        if (log_ != nullptr) LOG_WRITE(log_, "BGM", "MIDI再生開始失敗");
    }
    currentId_ = id;
}

void BGM::stop() { player_.stop(); }
