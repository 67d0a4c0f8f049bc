#pragma once
#include <cstdint>

class Character;
class Env;
class GameInfo;
class Log;
class Stage;

// The play's enemy factory: builds the object of a script entry's kind, in the old-version
// classes for game modes 2 and 3 and in the current-version "b" classes for every other mode.
// The boss (kind 7) first clears the field of bullets and is built by the running stage.
// Null when the kind builds nothing in that version (or the boss is due without a stage).
Character* CreateSpawn(std::int32_t kind, std::int32_t gameMode, Env* env, Log* log, GameInfo* info, Stage* stage);

// Modes 2 and 3 play the old stage scripts, enemies and bosses.
constexpr bool IsOldVersion(std::int32_t gameMode) { return gameMode == 2 || gameMode == 3; }
