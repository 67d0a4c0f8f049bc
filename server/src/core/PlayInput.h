#pragma once
#include <cstdint>
#include <string>

class Score;

// What makes two uploads the same play: the game mode and every stage's input as the simulation
// reads it, whatever else the files say (the header's elapsed time, comment, the way long runs
// are split into several). Equal runs next to each other count as one; input past the play's
// last frame (which the simulation never reads) is left out, so padding a file does not make it
// a new play. Hex of a SHA-256, for a unique index.
std::string playInputKey(const Score& record, std::int64_t frames);
