#include "records/StageProgress.h"
#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>
#include "app/AtomicFile.h"
#include "app/Log.h"
#include "app/Paths.h"
#include "records/GameMode.h"
#include "records/Score.h"

namespace {
constexpr const char* kSource = "StageProgress";

bool knownMode(std::int32_t mode) { return mode >= ModeTutorial && mode <= ModeSecondLap; }
}  // namespace

StageProgress::StageProgress(std::string path, Log* log) : path_(std::move(path)), log_(log) {}

std::string StageProgress::defaultPath() { return gamePaths().saveFile("progress.txt"); }

void StageProgress::Read() {
    std::fill(std::begin(reached_), std::end(reached_), 0);
    std::ifstream in(path_);
    if (!in) return;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::int32_t mode = 0, stage = 0;
        if (!(fields >> mode >> stage) || !knownMode(mode) || stage < 1) {
            if (log_) LOG_WRITE(log_, kSource, "進行ファイルの読めない行を無視　" + path_);
            continue;
        }
        reached_[mode] = std::max(reached_[mode], std::min(stage, lastStageOf(mode)));
    }
}

bool StageProgress::Write() const {
    std::string text;
    for (std::int32_t mode = ModeTutorial; mode <= ModeSecondLap; ++mode)
        if (reached_[mode] > 0) text += std::to_string(mode) + " " + std::to_string(reached_[mode]) + "\n";
    const bool ok = writeFileAtomically(path_, std::vector<unsigned char>(text.begin(), text.end()));
    if (!ok && log_) LOG_WRITE(log_, kSource, "進行ファイルの書き込みに失敗　" + path_);
    return ok;
}

std::int32_t StageProgress::reached(std::int32_t mode) const {
    if (!knownMode(mode)) return 1;
    std::int32_t stage = std::max(reached_[mode], 1);
    // A replay file's stage count is the stages its play began.
    for (const std::string& file : {lastPlayFileOf(mode), bestPlayFileOf(mode)}) {
        std::ifstream probe(file);
        if (!probe) continue;
        Log quiet("");
        Score record(&quiet);
        if (record.load(file)) stage = std::max(stage, record.getHeader().stages);
    }
    return std::min(stage, lastStageOf(mode));
}

bool StageProgress::note(std::int32_t mode, std::int32_t stage) {
    if (!knownMode(mode)) return false;
    stage = std::min(stage, lastStageOf(mode));
    if (stage <= reached_[mode]) return false;
    reached_[mode] = stage;
    return true;
}
