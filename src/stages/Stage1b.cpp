#include "stages/Stage1b.h"
#include "bosses/CharacterEnemyBoss1.h"
#include "play/GameInfo.h"

namespace {
// delay, mark, kind, x, y (pixels)
constexpr ScriptRow kScript[] = {
    {60, 0, 8, 240, 30},   {10, 0, 8, 200, 30},   {10, 0, 8, 280, 30},   {60, 0, 1, 450, 570},
    {10, 0, 1, 430, 560},  {10, 0, 1, 440, 550},  {60, 0, 8, 50, 130},   {20, 0, 8, 90, 130},
    {30, 0, 8, 200, 80},   {0, 0, 1, 30, 550},    {10, 0, 8, 240, 80},   {0, 0, 1, 40, 570},
    {10, 0, 1, 50, 540},   {30, 0, 8, 350, 130},  {20, 0, 8, 390, 130},  {120, 0, 2, 380, 100},
    {30, 0, 2, 400, 10},   {10, 0, 2, 290, 300},  {60, 0, 2, 100, 200},  {20, 0, 2, 160, 180},
    // A cluster of pots, one a frame.
    {1, 0, 1, 300, 400},   {1, 0, 1, 360, 300},   {1, 0, 1, 400, 420},   {1, 0, 1, 310, 350},
    {1, 0, 1, 320, 330},   {1, 0, 1, 290, 310},   {1, 0, 1, 370, 390},   {1, 0, 1, 310, 410},
    {1, 0, 1, 360, 380},   {1, 0, 1, 350, 370},
    {120, 0, 8, 430, 130}, {10, 0, 8, 390, 130},  {10, 0, 8, 350, 80},   {30, 0, 8, 280, 80},
    {10, 0, 8, 240, 50},   {10, 0, 8, 200, 80},   {30, 0, 8, 130, 80},   {10, 0, 8, 90, 130},
    {10, 0, 8, 50, 130},
    // The boss and its entrance, as in the old version.
    {300, 1, 7, 240, 200}, {0, 0, 6, 240, 230},   {2, 0, 6, 200, 230},   {0, 0, 6, 280, 230},
    {0, 0, 6, 257, 264},   {0, 0, 6, 223, 264},   {0, 0, 6, 257, 196},   {0, 0, 6, 223, 196},
    {0, 0, 6, 240, 150},
};
static_assert(std::size(kScript) == 48);
}  // namespace

void Stage1b::Begin(Script& script) {
    Stage1::Begin(script);
    // The current version's stages start without drift, whatever a stage before left.
    gameInfo->SetMarkPosition(0, 0);
}

CharacterEnemy* Stage1b::CreateBoss() { return new CharacterEnemyBoss1b(env, log, gameInfo); }

std::span<const ScriptRow> Stage1b::Entries() const { return kScript; }
