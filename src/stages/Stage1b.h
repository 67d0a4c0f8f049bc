#pragma once
#include "stages/DriftlessStage.h"
#include "stages/Stage1.h"

// Stage 1 of the current version (game modes 4 and 5): a longer script with the diving fighters
// of kind 8, the same boss pictures and music, and no drift.
class Stage1b : public DriftlessStage<Stage1> {
public:
    using DriftlessStage::DriftlessStage;
    CharacterEnemy* CreateBoss() override;

protected:
    std::span<const ScriptRow> Entries() const override;
};
