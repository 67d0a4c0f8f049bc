#pragma once
#include <cstddef>
#include "character/Character.h"
#include "combat/CharacterScorer.h"

// End-of-play scorers among the children of a layer (the top layer holds them).
inline std::size_t ScorersIn(Character& layer) {
    std::size_t n = 0;
    for (Character* c : layer.GetChildren()) n += dynamic_cast<CharacterScorer*>(c) != nullptr;
    return n;
}
