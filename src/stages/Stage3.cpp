#include "stages/Stage3.h"
#include "app/Env.h"
#include "bosses/CharacterEnemyBoss3.h"
#include "music/BgmId.h"

namespace {
// delay, mark, kind, x, y (pixels); both versions play the same script.
constexpr ScriptRow kScript[] = {
    {60, 0, 3, 320, 170}, {20, 0, 3, 320, 170}, {20, 0, 3, 320, 170}, {20, 0, 3, 320, 170},
    {20, 0, 3, 320, 170}, {10, 0, 4, 50, 130}, {10, 0, 3, 320, 170}, {30, 0, 1, 180, 60},
    {0, 0, 1, 300, 60}, {10, 0, 1, 120, 60}, {0, 0, 1, 360, 60}, {10, 0, 4, 50, 130},
    {20, 0, 4, 50, 130}, {20, 0, 4, 50, 130}, {20, 0, 4, 50, 130}, {20, 0, 4, 50, 130},
    {30, 0, 2, 180, 60}, {0, 0, 2, 300, 60}, {10, 0, 2, 120, 60}, {0, 0, 2, 360, 60},
    {60, 0, 4, 10, 100}, {0, 0, 3, 470, 100}, {20, 0, 4, 10, 100}, {0, 0, 3, 470, 100},
    {20, 0, 4, 10, 100}, {0, 0, 3, 470, 100}, {20, 0, 4, 10, 100}, {0, 0, 3, 470, 100},
    {20, 0, 4, 10, 100}, {0, 0, 3, 470, 100}, {20, 0, 4, 10, 100}, {0, 0, 3, 470, 100},
    {20, 0, 4, 10, 100}, {0, 0, 3, 470, 100}, {20, 0, 4, 10, 100}, {0, 0, 3, 470, 100},
    {20, 0, 4, 10, 100}, {0, 0, 3, 470, 100}, {0, 0, 2, 180, 60}, {0, 0, 2, 300, 60},
    {10, 0, 2, 120, 60}, {0, 0, 2, 360, 60}, {60, 0, 2, 180, 160}, {0, 0, 2, 300, 160},
    {10, 0, 2, 120, 160}, {0, 0, 2, 360, 160}, {60, 0, 2, 180, 260}, {0, 0, 2, 300, 260},
    {10, 0, 2, 120, 260}, {0, 0, 2, 360, 260}, {60, 0, 2, 180, 360}, {0, 0, 2, 300, 360},
    {10, 0, 2, 120, 360}, {0, 0, 2, 360, 360}, {20, 0, 4, 200, 120}, {0, 0, 3, 280, 120},
    {20, 0, 4, 210, 120}, {0, 0, 3, 270, 120}, {20, 0, 4, 220, 120}, {0, 0, 3, 260, 120},
    {20, 0, 4, 230, 120}, {0, 0, 3, 250, 120}, {20, 0, 4, 240, 120}, {0, 0, 3, 240, 120},
    {20, 0, 4, 250, 120}, {0, 0, 3, 230, 120}, {20, 0, 4, 260, 120}, {0, 0, 3, 220, 120},
    {20, 0, 4, 270, 120}, {0, 0, 3, 210, 120}, {20, 0, 4, 280, 120}, {0, 0, 3, 200, 120},
    // Two bosses in the same frame at the same point, then their entrance of empty portals.
    {600, 1, 7, 240, 220}, {0, 1, 7, 240, 220}, {0, 0, 6, 240, 230}, {2, 0, 6, 200, 230},
    {0, 0, 6, 280, 230}, {0, 0, 6, 160, 230}, {0, 0, 6, 320, 230}, {0, 0, 6, 260, 264},
    {0, 0, 6, 220, 264}, {0, 0, 6, 300, 264}, {0, 0, 6, 180, 264}, {0, 0, 6, 260, 196},
    {0, 0, 6, 220, 196}, {0, 0, 6, 300, 196}, {0, 0, 6, 180, 196}, {0, 0, 6, 240, 162},
    {0, 0, 6, 200, 162}, {0, 0, 6, 280, 162},
};
static_assert(std::size(kScript) == 90);

// Sprites cut from bitmap 117 (id, left, top, right, bottom) and where each one's white flash is
// drawn on surface 6, which lays the copies out as the bitmap lays out the pictures.
constexpr int kCuts[][8] = {
    {0x500, 0, 0, 320, 160, 0x501, 160, 80},     // face
    {0x510, 0, 160, 80, 240, 0x511, 40, 200},    // cheek, mirrored
    {0x520, 80, 160, 160, 240, 0x521, 120, 200},  // cheek
};
}  // namespace

CharacterEnemy* Stage3::CreateBoss() { return new CharacterEnemyBoss3(env, log, gameInfo); }

void Stage3::LoadImages() {
    LoadBossBitmap(117);
    Draw& draw = env->draw;
    for (const auto& c : kCuts) draw.DefineSprite(SpriteDef::cell(5, c[1], c[2], c[3] - c[1], c[4] - c[2]), c[0]);
    draw.CreateSurface(320, 296, 6);
    // The copies are drawn once, at load: they must not fall into a skipped frame.
    draw.SetSkip(false);
    for (const auto& c : kCuts) {
        draw.DrawSpriteFlash(toFixed(c[6]), toFixed(c[7]), c[0], 6);
        draw.DefineSprite(SpriteDef::cell(6, c[1], c[2], c[3] - c[1], c[4] - c[2]), c[5]);
    }
}

std::span<const ScriptRow> Stage3::Entries() const { return kScript; }

int Stage3::Music() const { return Stage3Music; }

CharacterEnemy* Stage3b::CreateBoss() { return new CharacterEnemyBoss3b(env, log, gameInfo); }
