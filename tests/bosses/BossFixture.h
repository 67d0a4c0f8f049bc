#pragma once
// A boss on its own in the combat fixture: placed at (240, 200) with an untouchable ship far
// below, shot at points around it, and run phase by phase.
#include "combat/CharacterShot.h"
#include "combat/CharacterShotEnemy.h"
#include "combat/CombatFixture.h"

class BossFixture : public CombatFixture {
protected:
    template <class Boss>
    Boss* Make(int gameMode) {
        info.SetGameMode(gameMode);
        auto* boss = Spawn(new Boss(&env, &log, &info), 240, 200);
        PlaceShip(240, 560);
        player->invulnerable = 1 << 20;
        return boss;
    }
    // A player shot at (dx, dy) pixels from the boss's position.
    std::int32_t ShootAt(CharacterEnemy* boss, int dx, int dy) {
        CharacterShotPlayer shot(&env, &log, &info, 0x118, 8, 1);
        shot.SetPosition(boss->x + toFixed(dx), boss->y + toFixed(dy));
        return boss->HitByShot(shot);
    }
    // Enemy bullets of one family (bullet::kSmallA ...) in the two bullet layers.
    int Bullets(std::int32_t spriteBase) {
        int n = 0;
        for (Character* tree : {static_cast<Character*>(&upper), static_cast<Character*>(&lower)}) {
            for (Character* c : tree->GetChildren()) {
                auto* shot = dynamic_cast<CharacterShotEnemy*>(c);
                n += shot != nullptr && shot->spriteBase == spriteBase;
            }
        }
        return n;
    }
    void ClearShots() {
        upper.ClearChildren();
        lower.ClearChildren();
        top.ClearChildren();
    }
    // Acts (clearing the field after each) until the phase changes; the number of acts.
    template <class Boss>
    int ActsInPhase(Boss* boss) {
        const int phase = boss->phase;
        int acts = 0;
        while (boss->phase == phase && acts < 100000) {
            boss->Act();
            ClearShots();
            ++acts;
        }
        return acts;
    }
};
