#include "http/UploadLimits.h"
#include <chrono>
#include "core/TextRules.h"

namespace {
constexpr std::int64_t kHourMs = 3600 * 1000;

// A name and an address as one key: a name holds no control byte, so no two pairs meet. The name
// is counted as the player it names, so that "Ren" and "ren" share one allowance.
std::string pair(const std::string& name, const std::string& address) {
    const std::string key = textrules::nameKey(name);
    return (key.empty() ? name : key) + '\x1f' + address;
}

std::int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

UploadLimits::UploadLimits(const Settings& s, std::function<std::int64_t()> now)
    : now_(now ? std::move(now) : std::function<std::int64_t()>(&steadyMs)),
      fromAddress_(s.uploadsPerAddressPerHour, kHourMs, s.keys),
      asName_(s.uploadsPerNamePerHour, kHourMs, s.keys),
      newNames_(s.newNamesPerAddressPerDay, 24 * kHourMs, s.keys),
      wrongPerName_(s.wrongPasswordsPerNamePerHour, kHourMs, s.keys),
      wrongPerAddress_(s.wrongPasswordsPerAddressPerHour, kHourMs, s.keys) {}

const char* UploadLimits::passwordsExhausted(const std::string& name, const std::string& address) {
    const std::int64_t now = now_();
    if (wrongPerName_.exhausted(pair(name, address), now)) return "too many wrong passwords for the name from the address";
    if (wrongPerAddress_.exhausted(address, now)) return "too many wrong passwords from the address";
    return nullptr;
}

void UploadLimits::wrongPassword(const std::string& name, const std::string& address) {
    const std::int64_t now = now_();
    wrongPerName_.add(pair(name, address), now);
    wrongPerAddress_.add(address, now);
}
