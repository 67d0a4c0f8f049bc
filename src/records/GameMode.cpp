#include "records/GameMode.h"
#include "app/Paths.h"

namespace {
struct ModeInfo {
    std::int32_t version;
    std::int32_t lastStage;
    const char* suffix;
};

// Indexed by mode; entry 0 serves the tutorial and every unknown mode.
constexpr ModeInfo kModes[] = {
    {0, 1, ""},           // tutorial, unknown
    {0, 1, ""},           // 1 tutorial
    {104, 4, "_1lap"},    // 2 first lap [old]
    {105, 5, "_2lap"},    // 3 second lap [old]
    {106, 4, "_1lap_b"},  // 4 first lap
    {107, 5, "_2lap_b"},  // 5 second lap
};

const ModeInfo& infoOf(std::int32_t mode) {
    return (mode >= 1 && mode <= 5) ? kModes[mode] : kModes[0];
}
}  // namespace

std::int32_t replayVersionOf(std::int32_t mode) { return infoOf(mode).version; }
std::int32_t lastStageOf(std::int32_t mode) { return infoOf(mode).lastStage; }

std::string lastPlayFileOf(std::int32_t mode) { return gamePaths().saveFile(std::string("lastplay") + infoOf(mode).suffix + ".rep"); }
std::string bestPlayFileOf(std::int32_t mode) { return gamePaths().saveFile(std::string("bestplay") + infoOf(mode).suffix + ".rep"); }
std::string rankingFileOf(std::int32_t mode) { return gamePaths().saveFile(std::string("ranking") + infoOf(mode).suffix + ".dat"); }
