// Minimal first version (silent); the full effect service replaces it.
#include "sound/Sound.h"

Sound::Sound(Mixer*, Log*) {}
Sound::~Sound() = default;
void Sound::load(const std::string&, int) {}
void Sound::play(int, bool) {}
void Sound::stop(int) {}
void Sound::unload(int) {}
