#include "stages/SpawnFactory.h"
#include "combat/CharacterEnemy1.h"
#include "combat/CharacterEnemyBorn.h"
#include "combat/CharacterEnemyJelly.h"
#include "combat/CharacterEnemyPot.h"
#include "combat/CharacterEnemyUmi.h"
#include "play/GameInfo.h"
#include "stages/ScriptEntry.h"
#include "stages/Stage.h"

namespace {
using Builder = Character* (*)(Env*, Log*, GameInfo*);

// Placed at once.
template <class T>
Character* placed(Env* env, Log* log, GameInfo* info) {
    return new T(env, log, info);
}

// Out of a portal, which releases the enemy 96 frames later.
template <class T>
Character* portal(Env* env, Log* log, GameInfo* info) {
    return new CharacterEnemyBorn(env, log, info, new T(env, log, info));
}

template <class T>
Character* reversedPortal(Env* env, Log* log, GameInfo* info) {
    auto* enemy = new T(env, log, info);
    enemy->SetDirection(-1);
    return new CharacterEnemyBorn(env, log, info, enemy);
}

// Only the appearance animation.
Character* emptyPortal(Env* env, Log* log, GameInfo* info) { return new CharacterEnemyBorn(env, log, info, nullptr); }

struct KindRow {
    std::int32_t kind;
    Builder old;      // game modes 2 and 3
    Builder current;  // every other game mode
};

constexpr KindRow kKinds[] = {
    {SpawnPot, placed<CharacterEnemyPot>, placed<CharacterEnemyPotb>},
    {SpawnEnemy1, portal<CharacterEnemy1>, portal<CharacterEnemy1b>},
    {SpawnUmi, portal<CharacterEnemyUmi>, portal<CharacterEnemyUmib>},
    {SpawnUmiReversed, reversedPortal<CharacterEnemyUmi>, reversedPortal<CharacterEnemyUmib>},
    {SpawnJelly, placed<CharacterEnemyJelly>, placed<CharacterEnemyJellyb>},
    {SpawnEmptyPortal, emptyPortal, emptyPortal},
    {SpawnEnemy2, nullptr, portal<CharacterEnemy2b>},
};
}  // namespace

Character* CreateSpawn(std::int32_t kind, std::int32_t gameMode, Env* env, Log* log, GameInfo* info, Stage* stage) {
    if (kind == SpawnBoss) {
        info->EraseEnemyShots();
        if (!stage) return nullptr;
        return stage->CreateBoss();
    }
    for (const KindRow& row : kKinds) {
        if (row.kind != kind) continue;
        const Builder build = IsOldVersion(gameMode) ? row.old : row.current;
        return build ? build(env, log, info) : nullptr;
    }
    return nullptr;
}
