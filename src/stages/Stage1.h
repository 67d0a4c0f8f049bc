#pragma once
#include "stages/Stage.h"

// Stage 1 of the old version (game modes 2 and 3): pots at the corners, portal fighters, then
// Boss 1 at frame 1100 with eight empty portals as its entrance.
class Stage1 : public Stage {
public:
    using Stage::Stage;
    CharacterEnemy* CreateBoss() override;
    // Boss 1's picture (bitmap 114) as sprite 0x500 on surface 5, its white flash as 0x501.
    void LoadImages() override;

protected:
    std::span<const ScriptRow> Entries() const override;
    int Music() const override;
};
