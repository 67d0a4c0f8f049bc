#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// What an operator does to the ranking by hand, on either backend. Every change is one
// transaction with its row in the audit table (who, what, when), and announces itself to the
// running servers, whose lists drop it at once. Throws StorageError when the database fails;
// a change that cannot be made (an unknown play, a name taken) throws ModerationRefused and
// changes nothing.
class Moderation {
public:
    struct Play {
        std::int64_t id = 0;
        std::string name;
        std::int32_t mode = 0, version = 0, score = 0, stage = 0, lives = 0, frames = 0;
        std::int64_t uploadedAt = 0;
        std::string comment;
        bool banned = false;  // its player's name is banned: the lists do not show it
    };
    struct Player {
        std::int64_t id = 0;
        std::string name;
        std::int64_t registeredAt = 0;
        int plays = 0;
        bool banned = false;
        bool passwordless = false;  // reset by an older server to "the next upload sets it": refused until reset again
    };
    struct AuditEntry {
        std::int64_t id = 0, at = 0;
        std::string actor, action, target, detail;
    };

    virtual ~Moderation() = default;
    // Every stored play (replays left out), best first within each mode.
    virtual std::vector<Play> plays() = 0;
    virtual std::vector<Player> players() = 0;
    // The audit rows after id `after`, oldest first.
    virtual std::vector<AuditEntry> audit(std::int64_t after = 0) = 0;
    // The id of the newest audit row (0 when there is none).
    virtual std::int64_t lastAuditId() = 0;
    virtual std::int64_t bannedCount() = 0;
    virtual std::int64_t playCount() = 0;

    // Each returns the audit row it wrote.
    virtual AuditEntry removePlay(std::int64_t id, const std::string& actor) = 0;
    virtual AuditEntry setBanned(const std::string& name, bool banned, const std::string& actor) = 0;
    virtual AuditEntry rename(const std::string& from, const std::string& to, const std::string& actor) = 0;
    // The name's password becomes the one whose hash is given (the operator hands the password to
    // the owner): uploads with the old password, or anyone else's, are refused from then on.
    virtual AuditEntry resetPassword(const std::string& name, const std::string& passwordHash,
                                     const std::string& actor) = 0;
    // Only writes the row (a restore, which happened outside any transaction of ours).
    virtual AuditEntry note(const std::string& action, const std::string& target, const std::string& detail,
                            const std::string& actor) = 0;
};

class ModerationRefused : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// For the same database string openStorage takes; the database must have been opened by
// openStorage once (which makes and upgrades the tables).
std::unique_ptr<Moderation> openModeration(const std::string& where);
std::unique_ptr<Moderation> openSqliteModeration(const std::string& path);
std::unique_ptr<Moderation> openPostgresModeration(const std::string& url);

// What a player whose name is banned gets as the name's password hash: no digest matches it.
constexpr const char* kBannedHash = "!banned";
