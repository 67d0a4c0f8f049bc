#pragma once
#include <cstdint>
#include <span>
#include "stages/ScriptEntry.h"

class CharacterEnemy;
class Env;
class GameInfo;
class Log;

// A stage: a timed spawn script plus three hooks. The play scene builds the stage for the stage
// number and version, calls Begin once, Step every frame, and CreateBoss when the script's boss
// entry comes due. The stage ends when its boss sets the stage-cleared flag.
class Stage {
public:
    Stage(Env* env, Log* log, GameInfo* gameInfo) : env(env), log(log), gameInfo(gameInfo) {}
    virtual ~Stage() = default;
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

    // Replaces the script list with this stage's entries, loads its pictures and starts its music.
    virtual void Begin(Script& script);
    virtual void Step() {}
    // A new boss, not yet in any tree.
    virtual CharacterEnemy* CreateBoss() = 0;
    virtual void LoadImages() = 0;

protected:
    // The stage's entries, in order.
    virtual std::span<const ScriptRow> Entries() const = 0;
    // The BgmId of the stage's music.
    virtual int Music() const = 0;

    // Loads a boss bitmap into surface 5 (ImageLoader).
    void LoadBossBitmap(int resourceId);
    // A white-flashed copy of sprite source: a new surface 6 of w x h receives the flash drawn at
    // (drawX, drawY), and copy is defined as the whole of it.
    void DefineFlashCopy(std::int32_t source, int w, int h, int drawX, int drawY, std::int32_t copy);

    Env* env;
    Log* log;
    GameInfo* gameInfo;
};
