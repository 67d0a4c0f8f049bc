#pragma once
#include <cstdint>
#include "stages/Stage.h"

// Stage 4 of the old version (game modes 2 and 3): the field sinks at 3.33 pixels a frame, so
// pots, jellies and islands enter above the top edge and drift down; Boss 4 comes at frame 2670.
// Each frame from the 120th an island may appear in the back layer, 20 to 29 frames apart.
class Stage4 : public Stage {
public:
    using Stage::Stage;
    void Begin(Script& script) override;
    // The drifting islands.
    void Step() override;
    CharacterEnemy* CreateBoss() override;
    // Boss 4's body (bitmap 119) as sprite 0x500, its bubbles 0x510..0x513, its flash 0x501.
    void LoadImages() override;

    // Counts up every frame; each island takes 20 to 29 off it once it has reached 120.
    std::int32_t islandTimer = 0;

    // The drift of the stage: 3.3333 pixels a frame downward.
    static constexpr Fixed16 kDriftY = 0x35555;

protected:
    std::span<const ScriptRow> Entries() const override;
    int Music() const override;
};

// Stage 4 of the current version (game modes 4 and 5): the same field with a denser middle
// section and Boss 4b 60 frames earlier.
class Stage4b : public Stage4 {
public:
    using Stage4::Stage4;
    CharacterEnemy* CreateBoss() override;

protected:
    std::span<const ScriptRow> Entries() const override;
};
