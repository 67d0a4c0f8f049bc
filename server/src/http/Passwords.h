#pragma once
#include <map>
#include <mutex>
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

// Remembers the last digest each name proved against its stored hash (as a keyed hash of it, in
// memory only), so that a player sending again - a retry, a resend - does not pay a second argon2
// check. A wrong digest, or a hash changed since, always goes through matches.
class VerifiedCache {
public:
    bool matches(const std::string& name, const std::string& hash, std::string_view digest);

private:
    std::string fingerprint(std::string_view digest);
    std::mutex mutex_;
    std::string key_;
    std::map<std::string, std::pair<std::string, std::string>> proven_;  // name: hash, fingerprint
};
}  // namespace passwords
