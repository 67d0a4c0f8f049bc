#pragma once
#include "stages/DriftlessStage.h"
#include "stages/Stage.h"

// Stage 3 of the old version (game modes 2 and 3): sea creatures, pots and fighters, then two
// Boss 3 at once; the stage ends when both are destroyed.
class Stage3 : public Stage {
public:
    using Stage::Stage;
    CharacterEnemy* CreateBoss() override;
    // Boss 3's face and cheeks from bitmap 117 on surface 5, their white flashes on surface 6.
    void LoadImages() override;

protected:
    std::span<const ScriptRow> Entries() const override;
    int Music() const override;
};

// Stage 3 of the current version (game modes 4 and 5): the same script with the current bosses,
// and no drift.
class Stage3b : public DriftlessStage<Stage3> {
public:
    using DriftlessStage::DriftlessStage;
    CharacterEnemy* CreateBoss() override;
};
