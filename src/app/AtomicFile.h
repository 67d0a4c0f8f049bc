#pragma once
#include <string>
#include <vector>

// Writes the bytes to path through a temporary file beside it that is renamed over the old one,
// so a crash or a full disk never leaves a truncated file behind. False when nothing was written.
bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes);
