#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include "http/RateLimiter.h"

// How often one address or one name may do what costs the server: an upload (a check process and
// an argon2 hash each), a new name (a row for good), a password guess. Counted in this server's
// memory (each server behind a balancer counts for itself), each table holding at most `keys`
// addresses or names (see RateLimiter). A limit of 0 is no limit.
// Wrong passwords are counted per name and address, and per address, never per name alone: a
// stranger's guesses then use up only the stranger's own allowance, and the owner, from any other
// address, is never locked out; one address guessing many names runs out of its own allowance.
class UploadLimits {
public:
    struct Settings {
        std::uint32_t uploadsPerAddressPerHour = 120;
        std::uint32_t uploadsPerNamePerHour = 30;
        std::uint32_t newNamesPerAddressPerDay = 100;
        std::uint32_t wrongPasswordsPerNamePerHour = 10;  // from one address
        std::uint32_t wrongPasswordsPerAddressPerHour = 30;  // whatever the names
        std::size_t keys = 20000;
    };

    // now: milliseconds on a clock that only moves forward (by default the steady clock).
    explicit UploadLimits(const Settings& s, std::function<std::int64_t()> now = {});

    // An upload arrives from address (counted): false past its hourly allowance.
    bool uploadFrom(const std::string& address) { return fromAddress_.take(address, now_()); }
    // Why uploads of the name from the address are now answered as a wrong password would be,
    // without looking at the password at all; null while the address may still guess.
    const char* passwordsExhausted(const std::string& name, const std::string& address);
    // A wrong password for the name came from the address.
    void wrongPassword(const std::string& name, const std::string& address);
    // An upload with the name's password (counted): false past the name's hourly allowance.
    bool uploadAs(const std::string& name) { return asName_.take(name, now_()); }
    // A name is about to be registered from address (counted): false past the daily allowance.
    bool newNameFrom(const std::string& address) { return newNames_.take(address, now_()); }
    // Seconds until address may upload again, for Retry-After.
    std::int64_t secondsUntilUpload(const std::string& address) {
        return (fromAddress_.waitMs(address, now_()) + 999) / 1000;
    }

private:
    std::function<std::int64_t()> now_;
    RateLimiter fromAddress_, asName_, newNames_, wrongPerName_, wrongPerAddress_;
};
