#include "storage/AuditFollower.h"
#include <ctime>
#include "storage/Moderation.h"

namespace {
// The rows were written by an operator's command, or by hand: a line end or other control
// character in them must not make a line of the log of its own.
std::string oneLine(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return out;
}
}  // namespace

AuditFollower::AuditFollower(std::string where, std::function<void(const std::string&)> log)
    : where_(std::move(where)), log_(std::move(log)) {
    poll();
}

AuditFollower::~AuditFollower() = default;

void AuditFollower::poll() {
    try {
        if (!db_) db_ = openModeration(where_);
        // A restore replaced the table with an older one, whose newest row (the restore's own) may
        // have an id this server has already passed: the rows are read again from that one.
        if (last_ > 0) {
            const std::int64_t newest = db_->lastAuditId();
            if (newest < last_) last_ = newest - 1;
        }
        const bool catchingUp = last_ < 0;
        for (const Moderation::AuditEntry& e : db_->audit(catchingUp ? 0 : last_)) {
            if (!catchingUp) {
                const std::time_t t = static_cast<std::time_t>(e.at);
                std::tm tm{};
                gmtime_r(&t, &tm);
                char when[32];
                std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &tm);
                log_(std::string(when) + " admin " + oneLine(e.actor) + ": " + oneLine(e.action) + " \"" +
                     oneLine(e.target) + "\" (" + oneLine(e.detail) + ")");
            }
            last_ = e.id;
        }
        if (last_ < 0) last_ = 0;
    } catch (const std::exception& e) {
        db_.reset();  // asked again at the next change
        log_(std::string("cannot read the audit table: ") + e.what());
    }
}
