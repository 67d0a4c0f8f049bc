#pragma once
#include <cstdint>
#include <memory>
#include "stages/Stage.h"

// The stage script for a game mode and stage number: StageTutorial for mode 1, Stage1..Stage5
// for the old-version modes 2 and 3, Stage1b..Stage5b for the others. Null for a stage this
// build does not have.
std::unique_ptr<Stage> CreateStage(std::int32_t gameMode, std::int32_t stage, Env* env, Log* log, GameInfo* info);

