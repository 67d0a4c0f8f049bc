#pragma once
#include "stages/DriftlessStage.h"
#include "stages/Stage.h"

// Stage 5 of the old version (game mode 3): the final boss alone at frame 60. It leaves the drift
// that stage 4 set, so a second lap keeps sinking.
class Stage5 : public Stage {
public:
    using Stage::Stage;
    CharacterEnemy* CreateBoss() override;
    // The final boss (bitmap 121) as sprite 0x500, its three faces 0x501..0x503 and its flash
    // 0x510.
    void LoadImages() override;

protected:
    std::span<const ScriptRow> Entries() const override;
    int Music() const override;
};

// Stage 5 of the current version (game mode 5): the final boss alone at frame 180, no drift.
class Stage5b : public DriftlessStage<Stage5> {
public:
    using DriftlessStage::DriftlessStage;
    CharacterEnemy* CreateBoss() override;

protected:
    std::span<const ScriptRow> Entries() const override;
};
