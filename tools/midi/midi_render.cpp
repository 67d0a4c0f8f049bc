// Renders a Standard MIDI File to a WAV file the way the game plays it (music service, playback
// thread, FluidSynth, mixer), faster than real time.
//   midi_render <song.mid> <out.wav> [seconds=20] [soundfont=the game's]
// Another soundfont renders the same song for comparison.
#include <cstdio>
#include <cstdlib>
#include "music/OfflineRender.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s song.mid out.wav [seconds] [soundfont]\n", argv[0]);
        return 2;
    }
    double seconds = 20.0;
    if (argc > 3) {
        char* end = nullptr;
        seconds = std::strtod(argv[3], &end);
        if (end == argv[3] || *end != '\0' || !(seconds > 0.0 && seconds <= midiplayer::kMaxRenderSeconds)) {
            std::fprintf(stderr, "%s: seconds must be a number above 0 and at most %.0f\n", argv[0],
                         midiplayer::kMaxRenderSeconds);
            return 2;
        }
    }
    const auto pcm = argc > 4 ? midiplayer::renderSong(argv[1], seconds, argv[4]) : midiplayer::renderSong(argv[1], seconds);
    if (pcm.empty()) {
        std::fprintf(stderr, "cannot render %s (song or soundfont missing)\n", argv[1]);
        return 1;
    }
    if (!midiplayer::writeWav(argv[2], pcm)) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s: %.1f s written to %s\n", argv[1], pcm.size() / 2 / 44100.0, argv[2]);
    return 0;
}
