#include "stages/Stage2.h"
#include "app/Env.h"
#include "bosses/CharacterEnemyBoss2.h"
#include "music/BgmId.h"

namespace {
// delay, mark, kind, x, y (pixels). Entries 1 to 63, the same in both versions.
constexpr ScriptRow kOpening[] = {
    {60, 0, 2, 30, 30}, {10, 0, 2, 450, 30}, {10, 0, 2, 450, 570}, {10, 0, 2, 30, 570},
    // The boss comes at once, with 52 empty portals along the top and bottom edges.
    {0, 1, 7, 240, 200},
    {0, 0, 6, 0, 20}, {0, 0, 6, 20, 54}, {0, 0, 6, 0, 580}, {0, 0, 6, 20, 546},
    {0, 0, 6, 40, 20}, {0, 0, 6, 60, 54}, {0, 0, 6, 40, 580}, {0, 0, 6, 60, 546},
    {0, 0, 6, 80, 20}, {0, 0, 6, 100, 54}, {0, 0, 6, 80, 580}, {0, 0, 6, 100, 546},
    {0, 0, 6, 120, 20}, {0, 0, 6, 140, 54}, {0, 0, 6, 120, 580}, {0, 0, 6, 140, 546},
    {0, 0, 6, 160, 20}, {0, 0, 6, 180, 54}, {0, 0, 6, 160, 580}, {0, 0, 6, 180, 546},
    {0, 0, 6, 200, 20}, {0, 0, 6, 220, 54}, {0, 0, 6, 200, 580}, {0, 0, 6, 220, 546},
    {0, 0, 6, 240, 20}, {0, 0, 6, 260, 54}, {0, 0, 6, 240, 580}, {0, 0, 6, 260, 546},
    {0, 0, 6, 280, 20}, {0, 0, 6, 300, 54}, {0, 0, 6, 280, 580}, {0, 0, 6, 300, 546},
    {0, 0, 6, 320, 20}, {0, 0, 6, 340, 54}, {0, 0, 6, 320, 580}, {0, 0, 6, 340, 546},
    {0, 0, 6, 360, 20}, {0, 0, 6, 380, 54}, {0, 0, 6, 360, 580}, {0, 0, 6, 380, 546},
    {0, 0, 6, 400, 20}, {0, 0, 6, 420, 54}, {0, 0, 6, 400, 580}, {0, 0, 6, 420, 546},
    {0, 0, 6, 440, 20}, {0, 0, 6, 460, 54}, {0, 0, 6, 440, 580}, {0, 0, 6, 460, 546},
    {0, 0, 6, 480, 20}, {0, 0, 6, 500, 54}, {0, 0, 6, 480, 580}, {0, 0, 6, 500, 546},
    // Fighters keep coming while the boss is alive.
    {600, 0, 2, 240, 50}, {30, 0, 2, 100, 100}, {30, 0, 2, 380, 100}, {600, 0, 2, 450, 500},
    {10, 0, 2, 240, 570}, {10, 0, 2, 30, 500},
};
static_assert(std::size(kOpening) == 63);

constexpr ScriptRow kEnding[] = {
    {300, 0, 2, 240, 50}, {30, 0, 2, 100, 100}, {30, 0, 2, 380, 100},
};
// The current version: each of the last fighters is joined by a diver at the same point.
constexpr ScriptRow kEndingB[] = {
    {300, 0, 8, 240, 50}, {0, 0, 2, 240, 50}, {30, 0, 8, 100, 100}, {0, 0, 2, 100, 100},
    {30, 0, 8, 380, 100}, {0, 0, 2, 380, 100},
};

constexpr auto kScript = JoinRows(kOpening, kEnding);
constexpr auto kScriptB = JoinRows(kOpening, kEndingB);
static_assert(kScript.size() == 66 && kScriptB.size() == 69);

// Sprites cut from bitmap 116: id, left, top, right, bottom.
constexpr int kCuts[][5] = {
    {0x500, 0, 0, 480, 96},       // hull section
    {0x501, 0, 192, 64, 224},     // pot
    {0x502, 64, 192, 128, 256},   // core
    {0x503, 0, 96, 480, 192},     // lower hull
    {0x504, 0, 224, 64, 256},     // pot, upside down
    {0x505, 128, 192, 192, 256},  // core of the lower hull
    {0x506, 0, 256, 480, 480},    // the wreck, drawn once every section has passed
    {0x507, 0, 480, 240, 655},    // miso
    {0x509, 380, 0, 480, 96},     // the hull's right end alone
};
constexpr std::int32_t kMiso = 0x507;
constexpr std::int32_t kMisoFlash = 0x508;
}  // namespace

CharacterEnemy* Stage2::CreateBoss() { return new CharacterEnemyBoss2(env, log, gameInfo); }

void Stage2::LoadImages() {
    LoadBossBitmap(116);
    for (const auto& c : kCuts) env->draw.DefineSprite(SpriteDef::cell(5, c[1], c[2], c[3] - c[1], c[4] - c[2]), c[0]);
    DefineFlashCopy(kMiso, 240, 175, 120, 87, kMisoFlash);
}

std::span<const ScriptRow> Stage2::Entries() const { return kScript; }

int Stage2::Music() const { return Stage2Music; }

CharacterEnemy* Stage2b::CreateBoss() { return new CharacterEnemyBoss2b(env, log, gameInfo); }

std::span<const ScriptRow> Stage2b::Entries() const { return kScriptB; }
