#pragma once
#include <cstdint>
#include "stages/Stage.h"

// The stage of the tutorial (game mode 1): no script and no boss fight. A first page teaches the
// basics, a line at a time, each staying until the player has done what it asks or presses
// Button1: moving, firing, pausing, the lives and stock in the corner, what the items are worth
// and when to shrink. Then the mentor's own lessons: it talks in a text box, sprays slow bullets
// and makes the player practise the bullet size: hold Button2 until the bullets grow and a stock
// is earned, then tap Button2 to shrink them (best when the wall of large bullets closes in),
// then survive the wall. A lost life or a lesson left undone brings "once more" and the lesson
// still needed; a lost life is given back, so an idle player is never put out. Once passed, the
// mentor clears the field and announces the real fight, then "tutorial complete" stays until
// Button1 and the play ends.
//
// Everything it waits on is the play's own input and state (the play set's buttons, the ship),
// so a recorded tutorial replays exactly.
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
    // The first page: the line shown (kPageLines once it is done) and its frames so far.
    std::int32_t page = 0;
    std::int32_t pageClock = 0;
    // After passing: the closing words are done and "tutorial complete" shows (its frames).
    std::int32_t complete = 0;

    static constexpr std::int32_t kPageLines = 6;
    // The lines of the first page and the last one, untranslated.
    static const char* PageLine(std::int32_t line);
    static const char* CompleteLine();
    static const char* WaitForWallLine();

protected:
    std::span<const ScriptRow> Entries() const override { return {}; }
    int Music() const override;

private:
    // The play set's buttons newly down at this frame's poll (Button1, Button3), read without
    // taking a press from the ship or the pause.
    void ReadPresses();
    // One frame of the first page.
    void RunPage();
    // The ship's lives back to full: the tutorial never runs a player out of ships.
    void KeepLives();
    void DrawMentor();
    void Say(const char* text);
    // A second, smaller box under the first: a hint beside a lesson.
    void Hint(const char* text);
    void FireRandomBullet();
    void FireWall();
    // Back to the lesson still needed after a failure (or nothing more, once the ship is lost).
    void Retry();

    bool held1_ = false, held3_ = false;
    bool pressed1_ = false, pressed3_ = false;
    Fixed16 lineX_ = 0, lineY_ = 0;  // where the ship was when the moving line began
};
