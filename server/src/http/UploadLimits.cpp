#include "http/UploadLimits.h"
#include <chrono>

namespace {
constexpr std::int64_t kHourMs = 3600 * 1000;

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
      wrongPasswords_(s.wrongPasswordsPerNamePerHour, kHourMs, s.keys) {}
