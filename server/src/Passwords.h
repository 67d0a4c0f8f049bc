#pragma once
#include <string>
#include <string_view>

// The stored form of a player's password digest: a libsodium argon2id hash string (interactive
// limits) with its own random salt. The digest itself is never stored.
namespace passwords {
// Must run once before any hashing; false when libsodium cannot start.
bool init();
// The hash string of a digest; empty when hashing failed (out of memory).
std::string hash(std::string_view digest);
// True when digest is the one the hash was made from.
bool matches(const std::string& hash, std::string_view digest);
}  // namespace passwords
