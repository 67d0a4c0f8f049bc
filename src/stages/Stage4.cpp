#include "stages/Stage4.h"
#include "app/Env.h"
#include "bosses/CharacterEnemyBoss4.h"
#include "combat/Attach.h"
#include "combat/CharacterShima.h"
#include "music/BgmId.h"
#include "play/GameInfo.h"
#include "play/Random.h"

namespace {
constexpr std::int32_t kBodySprite = 0x500;
constexpr std::int32_t kBodyFlashSprite = 0x501;
constexpr std::int32_t kBubbleSprite = 0x510;
constexpr int kBodyWidth = 640;
constexpr int kBodyHeight = 200;
constexpr int kBubbleSize = 32;

// The three islands: two long ones hugging the left and the right edge, a small one anywhere.
constexpr std::int32_t kIslandLeft = 0x420;
constexpr std::int32_t kIslandRight = 0x421;
constexpr std::int32_t kIslandSmall = 0x422;

// delay, mark, kind, x, y (pixels). Everything enters above the top edge and sinks.
// Jellies and rows of pots, the same in both versions (entries 1 to 46).
constexpr ScriptRow kOpening[] = {
    {60, 0, 5, 240, -60}, {60, 0, 5, 320, -60}, {60, 0, 5, 160, -60}, {0, 0, 1, 100, -60},
    {10, 0, 1, 120, -70}, {10, 0, 1, 140, -60}, {30, 0, 1, 200, -60}, {10, 0, 1, 220, -70},
    {10, 0, 1, 240, -60}, {30, 0, 1, 300, -60}, {10, 0, 1, 320, -70}, {10, 0, 1, 340, -60},
    {30, 0, 1, 400, -60}, {10, 0, 1, 120, -70}, {10, 0, 1, 140, -60}, {10, 0, 1, 420, -70},
    {10, 0, 1, 440, -60}, {240, 0, 5, 320, -60}, {40, 0, 5, 240, -60}, {0, 0, 1, 80, -60},
    {20, 0, 1, 320, -70}, {20, 0, 1, 440, -60}, {20, 0, 1, 120, -70}, {20, 0, 1, 140, -60},
    {240, 0, 5, 160, -60}, {40, 0, 5, 240, -60}, {0, 0, 1, 80, -60}, {20, 0, 1, 320, -70},
    {20, 0, 1, 440, -60}, {20, 0, 1, 120, -70}, {20, 0, 1, 140, -60}, {0, 0, 1, 80, -60},
    {20, 0, 1, 320, -70}, {20, 0, 1, 440, -60}, {20, 0, 1, 120, -70}, {20, 0, 1, 140, -60},
    {120, 0, 5, 320, -60}, {20, 0, 5, 240, -60}, {20, 0, 5, 100, -60}, {240, 0, 1, 80, -60},
    {20, 0, 1, 320, -70}, {20, 0, 1, 440, -60}, {20, 0, 1, 120, -70}, {20, 0, 1, 140, -60},
    {0, 0, 1, 80, -60}, {20, 0, 1, 320, -70},
};
// The old version's last rows and its boss at frame 2670.
constexpr ScriptRow kOldClose[] = {
    {20, 0, 1, 440, -60}, {20, 0, 1, 120, -70}, {20, 0, 1, 140, -60}, {0, 0, 1, 80, -60},
    {0, 0, 5, 280, -60}, {0, 0, 5, 200, -60}, {20, 0, 1, 320, -70}, {20, 0, 1, 440, -60},
    {20, 0, 1, 120, -70}, {20, 0, 1, 140, -60}, {0, 0, 1, 80, -60}, {20, 0, 1, 320, -70},
    {20, 0, 1, 440, -60}, {20, 0, 1, 120, -70}, {20, 0, 1, 140, -60}, {780, 1, 7, 240, 200},
};
// The current version's denser last rows and its boss at frame 2610.
constexpr ScriptRow kCurrentClose[] = {
    {0, 0, 1, 440, -70}, {20, 0, 1, 410, -60}, {0, 0, 1, 380, -60}, {20, 0, 1, 120, -70},
    {0, 0, 1, 440, -70}, {20, 0, 1, 140, -60}, {0, 0, 1, 410, -60}, {0, 0, 1, 80, -60},
    {0, 0, 5, 280, -60}, {0, 0, 5, 200, -60}, {20, 0, 1, 320, -70}, {20, 0, 1, 440, -60},
    {20, 0, 1, 120, -70}, {20, 0, 1, 140, -60}, {0, 0, 1, 80, -60}, {20, 0, 1, 320, -70},
    {20, 0, 1, 440, -60}, {20, 0, 1, 120, -70}, {20, 0, 1, 140, -60}, {720, 1, 7, 240, 200},
};
// The boss's entrance in both versions: empty portals in five rows around it.
constexpr ScriptRow kEntrance[] = {
    {0, 0, 6, -20, 270}, {0, 0, 6, 20, 270}, {0, 0, 6, 60, 270}, {0, 0, 6, 100, 270},
    {0, 0, 6, 140, 270}, {0, 0, 6, 180, 270}, {0, 0, 6, 220, 270}, {0, 0, 6, 260, 270},
    {0, 0, 6, 300, 270}, {0, 0, 6, 340, 270}, {0, 0, 6, 380, 270}, {0, 0, 6, 420, 270},
    {0, 0, 6, 460, 270}, {0, 0, 6, 500, 270}, {0, 0, 6, 0, 224}, {0, 0, 6, 40, 224},
    {0, 0, 6, 80, 224}, {0, 0, 6, 120, 224}, {0, 0, 6, 160, 224}, {0, 0, 6, 200, 224},
    {0, 0, 6, 240, 224}, {0, 0, 6, 280, 224}, {0, 0, 6, 320, 224}, {0, 0, 6, 360, 224},
    {0, 0, 6, 400, 224}, {0, 0, 6, 440, 224}, {0, 0, 6, 480, 224}, {0, 0, 6, 20, 190},
    {0, 0, 6, 60, 190}, {0, 0, 6, 100, 190}, {0, 0, 6, 140, 190}, {0, 0, 6, 180, 190},
    {0, 0, 6, 220, 190}, {0, 0, 6, 260, 190}, {0, 0, 6, 300, 190}, {0, 0, 6, 340, 190},
    {0, 0, 6, 380, 190}, {0, 0, 6, 420, 190}, {0, 0, 6, 460, 190}, {0, 0, 6, 80, 156},
    {0, 0, 6, 120, 156}, {0, 0, 6, 160, 156}, {0, 0, 6, 200, 156}, {0, 0, 6, 240, 156},
    {0, 0, 6, 280, 156}, {0, 0, 6, 320, 156}, {0, 0, 6, 360, 156}, {0, 0, 6, 400, 156},
    {0, 0, 6, 140, 122}, {0, 0, 6, 180, 122}, {0, 0, 6, 220, 122}, {0, 0, 6, 260, 122},
    {0, 0, 6, 300, 122}, {0, 0, 6, 340, 122},
};

constexpr auto kScript = JoinRows(kOpening, kOldClose, kEntrance);
constexpr auto kScriptB = JoinRows(kOpening, kCurrentClose, kEntrance);
static_assert(kScript.size() == 116 && kScriptB.size() == 120);
}  // namespace

void Stage4::Begin(Script& script) {
    Stage::Begin(script);
    gameInfo->SetMarkPosition(0, kDriftY);
}

void Stage4::Step() {
    if (++islandTimer < 120) return;
    islandTimer -= 20 + playrand::rand() % 10;
    auto* island = new CharacterShima(env, log, gameInfo);
    int x = 0;
    switch (playrand::rand() % 3) {
    case 0:
        island->SetSprite(kIslandLeft);
        x = playrand::rand() % 160;
        break;
    case 1:
        island->SetSprite(kIslandRight);
        x = 480 - playrand::rand() % 160;
        break;
    default:
        island->SetSprite(kIslandSmall);
        x = playrand::rand() % 480;
        break;
    }
    AttachAt(gameInfo->GetBackTree(), island, toFixed(x), toFixed(-32));
}

CharacterEnemy* Stage4::CreateBoss() { return new CharacterEnemyBoss4(env, log, gameInfo); }

void Stage4::LoadImages() {
    LoadBossBitmap(119);
    Draw& draw = env->draw;
    draw.DefineSprite(SpriteDef::cell(5, 0, 0, kBodyWidth, kBodyHeight), kBodySprite);
    for (int i = 0; i < 4; ++i) {
        draw.DefineSprite(SpriteDef::cell(5, kBubbleSize * i, kBodyHeight, kBubbleSize, kBubbleSize),
                          kBubbleSprite + i);
    }
    DefineFlashCopy(kBodySprite, kBodyWidth, kBodyHeight, kBodyWidth / 2, kBodyHeight / 2, kBodyFlashSprite);
}

std::span<const ScriptRow> Stage4::Entries() const { return kScript; }

int Stage4::Music() const { return Stage4Music; }

CharacterEnemy* Stage4b::CreateBoss() { return new CharacterEnemyBoss4b(env, log, gameInfo); }

std::span<const ScriptRow> Stage4b::Entries() const { return kScriptB; }
