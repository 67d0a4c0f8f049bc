#include "stages/Stage5.h"
#include "app/Env.h"
#include "bosses/CharacterEnemyMaster.h"
#include "music/BgmId.h"
#include "stages/FinalBossSprites.h"

namespace {
constexpr std::int32_t kBodyFlashSprite = 0x510;

// delay, mark, kind, x, y (pixels): the final boss arrives alone.
constexpr ScriptRow kScript[] = {{60, 1, 7, 240, 200}};
constexpr ScriptRow kScriptB[] = {{180, 1, 7, 240, 200}};
}  // namespace

CharacterEnemy* Stage5::CreateBoss() { return new CharacterEnemyMaster(env, log, gameInfo); }

void Stage5::LoadImages() {
    LoadBossBitmap(121);
    DefineFinalBossSprites(env->draw);
    DefineFlashCopy(kFinalBossSprite, kFinalBossWidth, kFinalBossHeight, kFinalBossWidth / 2, kFinalBossHeight / 2,
                    kBodyFlashSprite);
}

std::span<const ScriptRow> Stage5::Entries() const { return kScript; }

int Stage5::Music() const { return Stage5Music; }

CharacterEnemy* Stage5b::CreateBoss() { return new CharacterEnemyMasterb(env, log, gameInfo); }

std::span<const ScriptRow> Stage5b::Entries() const { return kScriptB; }
