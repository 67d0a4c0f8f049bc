#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// Where the players and their plays live. Every operation may be called from any thread; each
// upload is one transaction, so a server killed at any moment leaves every committed play whole
// and no half-written one.
class Storage {
public:
    struct Play {
        std::string name;
        std::string passwordHash;  // for a new player: the hash to register; otherwise the one verified
        std::int32_t mode = 0, version = 0;
        std::int32_t score = 0, stage = 0, lives = 0, frames = 0;  // the re-simulated result
        std::string comment;
        std::string replay;           // the uploaded file's bytes
        std::string inputKey;         // playInputKey of the replay: one owner per key (empty: none)
        std::int64_t uploadedAt = 0;  // seconds since the epoch
        std::string chart;            // PlayChart::toText of the re-simulation (empty: none)
        std::string path;             // PlayPath::encode of the re-simulation (empty: none)
        std::int64_t id = 0;          // set by play(); ignored by store()
        // Set by play() and history(); ignored by store():
        std::int64_t supersededBy = 0;  // the player's better play of the mode that replaced it (0: none)
        bool banned = false;            // the player's name is banned (the play is in no list)
    };
    struct Entry {
        std::int64_t id = 0;  // the play's number, which fetches its replay
        std::string name;
        std::int32_t score = 0, stage = 0;
        std::int64_t uploadedAt = 0;
        std::string comment;
    };
    enum class Outcome {
        Stored,       // the play is the player's new best for its mode (the earlier one is kept, superseded)
        KeptEarlier,  // the player's earlier play of the mode scores as much or more and stands
        Conflict,     // the name's password hash is not the one given (registered meanwhile)
        Copy,         // the play's input, or its path, is already stored under another name
    };

    virtual ~Storage() = default;
    // The registered hash of a name.
    virtual std::optional<std::string> passwordHashOf(const std::string& name) = 0;
    // In one transaction: registers the name with play.passwordHash when it is new (Conflict when
    // it exists with another hash), then keeps the play when it beats the player's best of its
    // mode (ties keep the earlier play; a beaten play stays stored, superseded by the new one). A
    // play whose input key another player owns, or whose path is the same play (PathLikeness) as
    // one stored of its mode and version, is a Copy (copied, when given, is set to the play that
    // first brought it); the owner sending it again is KeptEarlier. Each stored play makes its
    // player the owner of its input and its path for good.
    virtual Outcome store(const Play& play, std::int64_t* copied = nullptr) = 0;
    // The best play of every player for a replay version, best score first, equal scores in the
    // order they were stored; the first `limit` of them.
    virtual std::vector<Entry> ranking(std::int32_t version, std::int64_t limit = INT64_MAX) = 0;
    // Who owns a play input (playInputKey) and the play that brought it: settles a copy or a
    // repeat without re-simulating it.
    struct Owner {
        std::string name;
        std::int64_t play = 0;
    };
    virtual std::optional<Owner> ownerOf(const std::string& inputKey) { (void)inputKey; return std::nullopt; }
    // A stored play's replay bytes, and the play with everything but them and its input key. A
    // banned name's plays are served nowhere: both answer none for them, as for a play never stored.
    virtual std::optional<std::string> replay(std::int64_t id) = 0;
    virtual std::optional<Play> play(std::int64_t id) = 0;
    // Every play a name has stored, its best and those superseded, oldest first; without their
    // charts.
    virtual std::vector<Play> history(const std::string& name) = 0;
    // The plays stored before the server drew charts, which have none yet, and the chart one of
    // them gets (empty when its re-simulation gave none); a play that has one keeps it.
    virtual std::vector<std::int64_t> playsWithoutChart() = 0;
    virtual void setChart(std::int64_t id, const std::string& chart) = 0;
    // The same for paths: the plays stored before the server kept paths, and the path one of them
    // gets (empty when its re-simulation gave none).
    virtual std::vector<std::int64_t> playsWithoutPath() = 0;
    virtual void setPath(std::int64_t id, const std::string& path) = 0;
    // The stored play that a path of this mode and version is the same play as, and its owner:
    // what store() looks for, without storing anything.
    virtual std::optional<Owner> samePathAs(std::int32_t mode, std::int32_t version, const std::string& path) = 0;
};

class StorageError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A "postgresql://" or "postgres://" URL opens PostgreSQL; anything else is an SQLite file.
bool isPostgresUrl(const std::string& where);
// Creates the tables when they are missing. Throws StorageError.
std::unique_ptr<Storage> openStorage(const std::string& where);
std::unique_ptr<Storage> openSqliteStorage(const std::string& path);
std::unique_ptr<Storage> openPostgresStorage(const std::string& url);
