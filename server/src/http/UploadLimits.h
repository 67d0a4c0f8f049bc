#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include "http/RateLimiter.h"

// How often one address or one name may do what costs the server: an upload (a check process and
// an argon2 hash each), a new name (a row for good), a password guess. Counted in this server's
// memory (each server behind a balancer counts for itself), each table holding at most `keys`
// addresses or names (see RateLimiter). A limit of 0 is no limit.
class UploadLimits {
public:
    struct Settings {
        std::uint32_t uploadsPerAddressPerHour = 120;
        std::uint32_t uploadsPerNamePerHour = 30;
        std::uint32_t newNamesPerAddressPerDay = 100;
        std::uint32_t wrongPasswordsPerNamePerHour = 10;
        std::size_t keys = 20000;
    };

    // now: milliseconds on a clock that only moves forward (by default the steady clock).
    explicit UploadLimits(const Settings& s, std::function<std::int64_t()> now = {});

    // An upload arrives from address (counted): false past its hourly allowance.
    bool uploadFrom(const std::string& address) { return fromAddress_.take(address, now_()); }
    // The name has had its fill of wrong passwords: its uploads are answered as a wrong password
    // would be, without looking at the password at all.
    bool passwordsExhausted(const std::string& name) { return wrongPasswords_.exhausted(name, now_()); }
    void wrongPassword(const std::string& name) { wrongPasswords_.add(name, now_()); }
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
    RateLimiter fromAddress_, asName_, newNames_, wrongPasswords_;
};
