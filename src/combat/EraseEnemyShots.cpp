#include "character/Character.h"
#include "combat/CharacterShotEnemy.h"
#include "play/GameInfo.h"

void GameInfo::EraseEnemyShots() {
    for (Character* tree : {GetUpperShotTree(), GetLowerShotTree()}) {
        if (tree == nullptr) continue;
        // Only bullets know how to vanish; anything else a layer holds is left alone.
        for (Character* child : tree->GetChildren()) {
            if (auto* shot = dynamic_cast<CharacterShotEnemy*>(child)) shot->Erase();
        }
    }
}
