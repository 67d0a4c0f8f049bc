// Renders a Standard MIDI File to a WAV file the way the game plays it (music service, playback
// thread, FluidSynth, mixer), faster than real time.
//   midi_render <song.mid> <out.wav> [seconds=20] [soundfont=the game's]
//   midi_render --loop <song.mid> <out.wav> [soundfont=the game's]
// Another soundfont renders the same song for comparison. --loop renders two passes of the song
// and a little more, and prints where a player of the file loops, in seconds: "loop START END"
// (the end of the first pass and of the second: looping there keeps the notes that ring past
// the song's end sounding into its start, as the game's synthesizer does).
#include "app/ToolHelp.h"
#include <cstdio>
#include <cstdlib>
#include <string>
#include "music/OfflineRender.h"

namespace {
int renderLoop(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s --loop song.mid out.wav [soundfont]\n", argv[0]);
        return 2;
    }
    const double passMs = midiplayer::songLengthMs(argv[2]);
    // Three seconds past the second pass: the release of its last notes, never heard in a loop
    // but harmless at the end of the file.
    const double seconds = 2 * passMs / 1000.0 + 3.0;
    if (!(passMs > 0) || seconds > midiplayer::kMaxRenderSeconds) {
        std::fprintf(stderr, "cannot read %s as a song\n", argv[2]);
        return 1;
    }
    const auto pcm = argc > 4 ? midiplayer::renderSong(argv[2], seconds, argv[4]) : midiplayer::renderSong(argv[2], seconds);
    if (pcm.empty() || !midiplayer::writeWav(argv[3], pcm)) {
        std::fprintf(stderr, "cannot render %s to %s\n", argv[2], argv[3]);
        return 1;
    }
    std::printf("loop %.6f %.6f\n", passMs / 1000.0, 2 * passMs / 1000.0);
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (answeredHelp(argc, argv, "usage: midi_render song.mid out.wav [seconds=20] [soundfont]\n       midi_render --loop song.mid out.wav [soundfont]\nRenders a Standard MIDI File to WAV the way the game plays it, faster than real time.\n")) return 0;
    if (argc > 1 && std::string(argv[1]) == "--loop") return renderLoop(argc, argv);
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
