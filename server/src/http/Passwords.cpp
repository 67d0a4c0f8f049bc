#include "http/Passwords.h"
#include <sodium.h>

namespace passwords {
bool init() { return sodium_init() >= 0; }

std::string hash(std::string_view digest) {
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, digest.data(), digest.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return {};
    return out;
}

bool matches(const std::string& hash, std::string_view digest) {
    return crypto_pwhash_str_verify(hash.c_str(), digest.data(), digest.size()) == 0;
}
std::string VerifiedCache::fingerprint(std::string_view digest) {
    unsigned char out[crypto_generichash_BYTES];
    crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char*>(digest.data()), digest.size(),
                       reinterpret_cast<const unsigned char*>(key_.data()), key_.size());
    return std::string(reinterpret_cast<const char*>(out), sizeof out);
}

bool VerifiedCache::matches(const std::string& name, const std::string& hash, std::string_view digest) {
    std::string print;
    {
        std::lock_guard lock(mutex_);
        if (key_.empty()) {
            key_.resize(crypto_generichash_KEYBYTES);
            randombytes_buf(key_.data(), key_.size());
        }
        print = fingerprint(digest);
        const auto it = proven_.find(name);
        if (it != proven_.end() && it->second.first == hash && sodium_memcmp(it->second.second.data(), print.data(), print.size()) == 0)
            return true;
    }
    if (!passwords::matches(hash, digest)) return false;
    std::lock_guard lock(mutex_);
    if (proven_.size() >= 4096) proven_.clear();  // a bound, not a policy: the next checks rebuild it
    proven_[name] = {hash, print};
    return true;
}
}  // namespace passwords
