// Sound: the game's mixer rendered into Web Audio buffers, and the songs rendered at build time.
#include <emscripten/emscripten.h>
#include <string>
#include "platform/web/WebPlatform.h"
#include "sound/Mixer.h"

// How many frames the page's audio clock needs to stay a little ahead (0 while nothing is due).
EM_JS(int, web_audio_need, (), { return Module.page.audioNeed(); });
EM_JS(void, web_audio_queue, (const std::int16_t* pcm, int frames), {
    Module.page.audioQueue(HEAP16.subarray(pcm >> 1, (pcm >> 1) + frames * 2), frames);
});

void WebAudioDevice::pump() {
    if (!mixer_) return;
    const double start = emscripten_get_now();
    const int frames = web_audio_need();
    if (frames <= 0) return;
    block_.resize(static_cast<std::size_t>(frames) * Mixer::kChannels);
    mixer_->render(block_.data(), frames);
    web_audio_queue(block_.data(), frames);
    stats_.blocks++;
    const double took = emscripten_get_now() - start;
    if (took > stats_.worstRenderMs) stats_.worstRenderMs = took;
}

EM_JS(void, web_music_load, (int id, const char* name), { Module.page.musicLoad(id, UTF8ToString(name)); });
EM_JS(void, web_music_play, (int id), { Module.page.musicPlay(id); });
EM_JS(void, web_music_stop, (), { Module.page.musicStop(); });
EM_JS(void, web_music_volume, (int percent), { Module.page.musicVolume(percent); });

bool WebMusic::load(const std::string& path, int id) {
    if (id < 0 || id >= kSlots) return false;
    // "/data/stage1.mid" was rendered to the song "stage1".
    std::string name = path.substr(path.rfind('/') + 1);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".mid") == 0) name.resize(name.size() - 4);
    web_music_load(id, name.c_str());
    return true;
}

void WebMusic::play(int id) {
    if (id < 0 || id >= kSlots) return;
    currentId_ = id;
    web_music_play(id);
}

void WebMusic::stop() { web_music_stop(); }

void WebMusic::setVolume(int percent) { web_music_volume(percent); }
