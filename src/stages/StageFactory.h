#pragma once
#include <cstdint>
#include <memory>
#include "stages/Stage.h"

// The stage script for a game mode and stage number: StageTutorial for mode 1, Stage1..Stage5
// for the old-version modes 2 and 3, Stage1b..Stage5b for the others. Null for a stage this
// build does not have yet.
std::unique_ptr<Stage> CreateStage(std::int32_t gameMode, std::int32_t stage, Env* env, Log* log, GameInfo* info);

// The last stage of the mode's version that this build has (0 when it has none). A play ends
// after this stage even when the mode runs further, so that clearing the last stage built ends
// the play with the scorer instead of leaving the player alone on an empty field.
std::int32_t LastBuiltStage(std::int32_t gameMode);
