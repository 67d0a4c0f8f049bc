#pragma once
#include "stages/DriftlessStage.h"
#include "stages/Stage.h"

// Stage 2 of the old version (game modes 2 and 3): four fighters, then Boss 2 on frame 90 with
// 52 empty portals along the edges, and fighters coming on during the long boss fight.
class Stage2 : public Stage {
public:
    using Stage::Stage;
    CharacterEnemy* CreateBoss() override;
    // Boss 2's pictures from bitmap 116 on surface 5; the miso's white flash on surface 6.
    void LoadImages() override;

protected:
    std::span<const ScriptRow> Entries() const override;
    int Music() const override;
};

// Stage 2 of the current version (game modes 4 and 5): the same opening, late fighters joined by
// divers, the boss of the current parts, and no drift.
class Stage2b : public DriftlessStage<Stage2> {
public:
    using DriftlessStage::DriftlessStage;
    CharacterEnemy* CreateBoss() override;

protected:
    std::span<const ScriptRow> Entries() const override;
};
