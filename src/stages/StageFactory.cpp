#include "stages/StageFactory.h"
#include "stages/SpawnFactory.h"
#include "stages/Stage1.h"
#include "stages/Stage1b.h"
#include "stages/Stage2.h"
#include "stages/Stage3.h"
#include "stages/Stage4.h"
#include "stages/Stage5.h"
#include "stages/StageTutorial.h"

namespace {
using Builder = std::unique_ptr<Stage> (*)(Env*, Log*, GameInfo*);

template <class T>
std::unique_ptr<Stage> build(Env* env, Log* log, GameInfo* info) {
    return std::make_unique<T>(env, log, info);
}

// Stage n of each version is entry n - 1.
constexpr Builder kOldStages[] = {build<Stage1>, build<Stage2>, build<Stage3>, build<Stage4>, build<Stage5>};
constexpr Builder kCurrentStages[] = {build<Stage1b>, build<Stage2b>, build<Stage3b>, build<Stage4b>, build<Stage5b>};

template <std::size_t N>
std::unique_ptr<Stage> pick(const Builder (&stages)[N], std::int32_t stage, Env* env, Log* log, GameInfo* info) {
    if (stage < 1 || stage > static_cast<std::int32_t>(N)) return nullptr;
    return stages[stage - 1](env, log, info);
}
}  // namespace

std::unique_ptr<Stage> CreateStage(std::int32_t gameMode, std::int32_t stage, Env* env, Log* log, GameInfo* info) {
    if (IsOldVersion(gameMode)) return pick(kOldStages, stage, env, log, info);
    if (gameMode == 4 || gameMode == 5) return pick(kCurrentStages, stage, env, log, info);
    if (gameMode == 1 && stage == 1) return build<StageTutorial>(env, log, info);
    // Other modes have no stages.
    return nullptr;
}
