#pragma once
#include <cstdint>
#include "stages/Stage.h"

// The stage of the tutorial (game mode 1): no script and no boss fight. The mentor at the top of
// the field talks in a text box, sprays slow bullets and makes the player practise the bullet
// size: hold Button2 until the bullets grow and a stock is earned, then tap Button2 to shrink
// them, then survive the wall of large bullets. A lost life or a lesson left undone brings
// "once more" and the lesson still needed; once passed, the mentor clears the field, announces
// the real fight and the play ends.
class StageTutorial : public Stage {
public:
    using Stage::Stage;
    // Empties the script and loads the mentor; the music the play came with keeps playing.
    void Begin(Script& script) override;
    void Step() override;
    // The final boss of the old version; the tutorial's empty script never asks for it.
    CharacterEnemy* CreateBoss() override;
    // The final boss's picture (bitmap 121) as the mentor 0x500 and its three faces 0x501..0x503.
    void LoadImages() override;

    // The lesson clock: +1 a frame, set back to repeat a lesson.
    std::int32_t t = 0;
    // Frames since a failure was noticed.
    std::int32_t retry = 0;
    // Frames survived since the shrink lesson began.
    std::int32_t survived = 0;

protected:
    std::span<const ScriptRow> Entries() const override { return {}; }
    int Music() const override;

private:
    void DrawMentor();
    void Say(const char* text);
    void FireRandomBullet();
    void FireWall();
    // Back to the lesson still needed after a failure (or nothing more, once the ship is lost).
    void Retry();
};
