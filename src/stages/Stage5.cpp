#include "stages/Stage5.h"
#include "app/Env.h"
#include "bosses/CharacterEnemyMaster.h"
#include "music/BgmId.h"

namespace {
constexpr std::int32_t kBodySprite = 0x500;
constexpr std::int32_t kFirstFaceSprite = 0x501;
constexpr std::int32_t kBodyFlashSprite = 0x510;
constexpr int kBodyWidth = 320;
constexpr int kBodyHeight = 310;
constexpr int kFaceSize = 64;

// delay, mark, kind, x, y (pixels): the final boss arrives alone.
constexpr ScriptRow kScript[] = {{60, 1, 7, 240, 200}};
constexpr ScriptRow kScriptB[] = {{180, 1, 7, 240, 200}};
}  // namespace

CharacterEnemy* Stage5::CreateBoss() { return new CharacterEnemyMaster(env, log, gameInfo); }

void Stage5::LoadImages() {
    LoadBossBitmap(121);
    Draw& draw = env->draw;
    draw.DefineSprite(SpriteDef::cell(5, 0, 0, kBodyWidth, kBodyHeight), kBodySprite);
    // The faces for bullet-size modes 0, 2 and 1, stacked beside the body.
    for (int i = 0; i < 3; ++i) {
        draw.DefineSprite(SpriteDef::cell(5, kBodyWidth, kFaceSize * i, kFaceSize, kFaceSize), kFirstFaceSprite + i);
    }
    DefineFlashCopy(kBodySprite, kBodyWidth, kBodyHeight, kBodyWidth / 2, kBodyHeight / 2, kBodyFlashSprite);
}

std::span<const ScriptRow> Stage5::Entries() const { return kScript; }

int Stage5::Music() const { return Stage5Music; }

CharacterEnemy* Stage5b::CreateBoss() { return new CharacterEnemyMasterb(env, log, gameInfo); }

std::span<const ScriptRow> Stage5b::Entries() const { return kScriptB; }
