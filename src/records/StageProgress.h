#pragma once
#include <cstdint>
#include <string>

class Log;

// The furthest stage each game mode's recorded plays have reached, for practice: a stage once
// reached can be practised from the title. Kept in a small text file beside the system save, one
// "MODE STAGE" line per mode; the replay files of the mode's last and best plays count too, so a
// player's earlier plays open their stages without the file.
class StageProgress {
public:
    // path: the progress file (gamePaths().saveFile("progress.txt") in the game).
    StageProgress(std::string path, Log* log);
    static std::string defaultPath();

    // A missing or damaged file reads as nothing reached; damage is logged.
    void Read();
    bool Write() const;

    // The furthest stage reached in a mode (1 at least; never past the mode's last stage),
    // counting the mode's last and best replay files.
    std::int32_t reached(std::int32_t mode) const;
    // A play of the mode got to this stage (a cleared lap's stage number is past its last:
    // counted as the last). True when that is further than known before.
    bool note(std::int32_t mode, std::int32_t stage);

private:
    static constexpr int kModes = 6;  // indexed by game mode 1..5
    std::string path_;
    Log* log_;
    std::int32_t reached_[kModes] = {};
};
