#include "stages/Stage1.h"
#include "app/Env.h"
#include "bosses/CharacterEnemyBoss1.h"
#include "music/BgmId.h"

namespace {
constexpr std::int32_t kBossSprite = 0x500;
constexpr std::int32_t kBossFlashSprite = 0x501;
constexpr int kBossWidth = 128;
constexpr int kBossHeight = 192;

// delay, mark, kind, x, y (pixels)
constexpr ScriptRow kScript[] = {
    {60, 0, 1, 30, 30},    {10, 0, 1, 450, 30},   {10, 0, 1, 450, 570},  {10, 0, 1, 30, 570},
    {180, 0, 2, 240, 50},  {30, 0, 2, 100, 100},  {30, 0, 2, 380, 100},  {180, 0, 1, 240, 30},
    {10, 0, 1, 450, 100},  {10, 0, 1, 450, 500},  {10, 0, 1, 240, 570},  {10, 0, 1, 30, 500},
    {10, 0, 1, 30, 100},   {180, 0, 2, 240, 50},  {30, 0, 2, 100, 100},  {30, 0, 2, 380, 100},
    // The boss, then its entrance: empty portals around it, one of them two frames late.
    {300, 1, 7, 240, 200}, {0, 0, 6, 240, 230},   {2, 0, 6, 200, 230},   {0, 0, 6, 280, 230},
    {0, 0, 6, 257, 264},   {0, 0, 6, 223, 264},   {0, 0, 6, 257, 196},   {0, 0, 6, 223, 196},
    {0, 0, 6, 240, 150},
};
static_assert(std::size(kScript) == 25);
}  // namespace

CharacterEnemy* Stage1::CreateBoss() { return new CharacterEnemyBoss1(env, log, gameInfo); }

void Stage1::LoadImages() {
    LoadBossBitmap(114);
    env->draw.DefineSprite(SpriteDef::cell(5, 0, 0, kBossWidth, kBossHeight), kBossSprite);
    DefineFlashCopy(kBossSprite, kBossWidth, kBossHeight, kBossWidth / 2, kBossHeight / 2, kBossFlashSprite);
}

std::span<const ScriptRow> Stage1::Entries() const { return kScript; }

int Stage1::Music() const { return Stage1Music; }
