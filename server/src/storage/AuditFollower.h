#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class Moderation;

// Writes the operator's changes to this server's log as the server hears of them, so that the
// log of every server tells who removed, banned or renamed what and when, whichever host the
// command ran on.
class AuditFollower {
public:
    AuditFollower(std::string where, std::function<void(const std::string&)> log);
    ~AuditFollower();
    // Logs the audit rows written since the last call (the ones before the server started are old news).
    void poll();

private:
    std::string where_;
    std::function<void(const std::string&)> log_;
    std::unique_ptr<Moderation> db_;
    std::int64_t last_ = -1;
};
