// Placeholder until the enemy bullets exist: the combat code replaces this file with the real
// erase (CharacterShotEnemy::Erase on every child of the upper, then the lower shot tree).
#include "play/GameInfo.h"

void GameInfo::EraseEnemyShots() {}
