#pragma once
#include <string>

namespace midiplayer {

// The file name of the soundfont the build cuts down to the instruments and keys the game's songs
// play; it lies beside the program in the working tree, with the data when installed.
inline constexpr const char* kGameSoundFontName = "nimbulon-gm.sf2";

// The soundfont the game plays its songs with: $NIMBULON_SOUNDFONT when set, else the cut-down
// soundfont beside the program (the songs sound exactly as with the full one, in a fraction of
// the memory), else the system's General MIDI soundfont.
std::string gameSoundFont();

}  // namespace midiplayer
