#pragma once
#include <cstdint>
#include <string>

// The five ways to play, as chosen on the title menu. Modes 2 and 3 run the old stage scripts and
// keep records of their own.
enum GameMode : std::int32_t {
    ModeTutorial = 1,
    ModeFirstLapOld = 2,
    ModeSecondLapOld = 3,
    ModeFirstLap = 4,
    ModeSecondLap = 5,
};

// The replay version a play of this mode is stamped with (104..107; 0 for the tutorial and any
// unknown mode). A replay whose version differs is refused.
std::int32_t replayVersionOf(std::int32_t mode);
// The number of the mode's last stage; a play whose stage number exceeds it cleared them all.
std::int32_t lastStageOf(std::int32_t mode);
// "./data/lastplay_1lap.rep" and its siblings; unknown modes share the tutorial's names.
std::string lastPlayFileOf(std::int32_t mode);
std::string bestPlayFileOf(std::int32_t mode);
std::string rankingFileOf(std::int32_t mode);
