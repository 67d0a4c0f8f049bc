#include "Passwords.h"
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
}  // namespace passwords
