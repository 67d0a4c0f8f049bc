// The operator's commands, written once over SqlSession for both backends.
#include <ctime>
#include "storage/Moderation.h"
#include "storage/SqlSession.h"
#include "storage/Storage.h"
#include "core/TextRules.h"

namespace {
std::int64_t integer(const std::string& s) { return s.empty() ? 0 : std::stoll(s); }

class SqlModeration : public Moderation {
public:
    explicit SqlModeration(std::unique_ptr<SqlSession> db) : db_(std::move(db)) {}

    std::vector<Play> plays() override {
        std::vector<Play> out;
        for (const SqlSession::Row& r : db_->query(
                 "SELECT plays.id, players.name, mode, version, score, stage, lives, frames, uploaded_at, comment, "
                 "players.banned FROM plays JOIN players ON players.id = plays.player_id "
                 "ORDER BY mode, score DESC, plays.id")) {
            Play p;
            p.id = integer(r[0]);
            p.name = r[1];
            p.mode = static_cast<std::int32_t>(integer(r[2]));
            p.version = static_cast<std::int32_t>(integer(r[3]));
            p.score = static_cast<std::int32_t>(integer(r[4]));
            p.stage = static_cast<std::int32_t>(integer(r[5]));
            p.lives = static_cast<std::int32_t>(integer(r[6]));
            p.frames = static_cast<std::int32_t>(integer(r[7]));
            p.uploadedAt = integer(r[8]);
            p.comment = r[9];
            p.banned = integer(r[10]) != 0;
            out.push_back(std::move(p));
        }
        return out;
    }

    std::vector<Player> players() override {
        std::vector<Player> out;
        for (const SqlSession::Row& r : db_->query(
                 "SELECT id, name, registered_at, (SELECT count(*) FROM plays WHERE plays.player_id = players.id), "
                 "banned, CASE WHEN pass_hash = '' THEN 1 ELSE 0 END FROM players ORDER BY name"))
            out.push_back({integer(r[0]), r[1], integer(r[2]), static_cast<int>(integer(r[3])), integer(r[4]) != 0,
                           integer(r[5]) != 0});
        return out;
    }

    std::vector<AuditEntry> audit(std::int64_t after) override {
        std::vector<AuditEntry> out;
        for (const SqlSession::Row& r : db_->query(
                 "SELECT id, at, actor, action, target, detail FROM audit WHERE id > $1 ORDER BY id",
                 {std::to_string(after)}))
            out.push_back({integer(r[0]), integer(r[1]), r[2], r[3], r[4], r[5]});
        return out;
    }

    std::int64_t lastAuditId() override {
        return integer(db_->query("SELECT coalesce(max(id), 0) FROM audit").at(0).at(0));
    }

    std::int64_t bannedCount() override {
        return integer(db_->query("SELECT count(*) FROM players WHERE banned <> 0").at(0).at(0));
    }
    std::int64_t playCount() override { return integer(db_->query("SELECT count(*) FROM plays").at(0).at(0)); }

    AuditEntry removePlay(std::int64_t id, const std::string& actor) override {
        return change(actor, [&] {
            const auto found = db_->query(
                "SELECT players.name, mode, score FROM plays JOIN players ON players.id = plays.player_id "
                "WHERE plays.id = $1",
                {std::to_string(id)});
            if (found.empty()) throw ModerationRefused("there is no play " + std::to_string(id));
            // The play a superseded one points to goes: that one now points past it, or, when the
            // removed play was the player's best, is the best again.
            const std::string next = db_->query("SELECT coalesce(superseded_by, 0) FROM plays WHERE id = $1",
                                                {std::to_string(id)}).at(0).at(0);
            db_->query("DELETE FROM plays WHERE id = $1", {std::to_string(id)});
            if (next == "0")
                db_->query("UPDATE plays SET superseded_by = NULL WHERE superseded_by = $1", {std::to_string(id)});
            else
                db_->query("UPDATE plays SET superseded_by = $1 WHERE superseded_by = $2", {next, std::to_string(id)});
            return Row{"remove-play", std::to_string(id),
                       "player " + found[0][0] + ", mode " + found[0][1] + ", score " + found[0][2]};
        });
    }

    AuditEntry setBanned(const std::string& name, bool banned, const std::string& actor) override {
        return change(actor, [&] {
            const auto found = player(name);
            if ((integer(found[2]) != 0) == banned)
                throw ModerationRefused("\"" + found[1] + "\" is " + (banned ? "already banned" : "not banned"));
            db_->query("UPDATE players SET banned = $1 WHERE id = $2", {banned ? "1" : "0", found[0]});
            const auto plays = db_->query("SELECT count(*) FROM plays WHERE player_id = $1", {found[0]});
            return Row{banned ? "ban" : "unban", found[1],
                       plays[0][0] + (banned ? " play(s) leave the lists" : " play(s) listed again")};
        });
    }

    AuditEntry rename(const std::string& from, const std::string& to, const std::string& actor) override {
        if (!textrules::validName(to))
            throw ModerationRefused("\"" + to + "\" is not a name a player could have (1 to 8 printable ASCII bytes, "
                                    "no space at either end, not . or ..)");
        return change(actor, [&] {
            const auto found = player(from);
            // Taken by another player, or by one whose name folds alike ("Ren" when "ren" is asked).
            const std::string key = textrules::nameKey(to);
            if (!db_->query("SELECT id FROM players WHERE (name = $1 OR name_key = $2) AND id <> $3", {to, key, found[0]}).empty())
                throw ModerationRefused("the name \"" + to + "\" is taken");
            db_->query("UPDATE players SET name = $1, name_key = $2 WHERE id = $3", {to, key, found[0]});
            return Row{"rename", found[1], "now \"" + to + "\""};
        });
    }

    AuditEntry resetPassword(const std::string& name, const std::string& passwordHash, const std::string& actor) override {
        if (passwordHash.empty()) throw ModerationRefused("a new password is needed");
        return change(actor, [&] {
            const auto found = player(name);
            db_->query("UPDATE players SET pass_hash = $1 WHERE id = $2", {passwordHash, found[0]});
            return Row{"reset-password", found[1], "a new password, given to the owner by the operator"};
        });
    }

    AuditEntry note(const std::string& action, const std::string& target, const std::string& detail,
                    const std::string& actor) override {
        return change(actor, [&] { return Row{action, target, detail}; });
    }

private:
    struct Row {
        std::string action, target, detail;
    };

    // id, name and banned of the player a name stands for: the one of that exact name, or else
    // the earliest whose name folds alike (the operator may type "ren" for "Ren").
    SqlSession::Row player(const std::string& name) {
        const auto found = db_->query(
            "SELECT id, name, banned FROM players WHERE name_key = $1 ORDER BY name = $2 DESC, id LIMIT 1",
            {textrules::nameKey(name), name});
        if (found.empty()) throw ModerationRefused("there is no player named \"" + name + "\"");
        return found[0];
    }

    // The change and its audit row in one transaction.
    template <class Make>
    AuditEntry change(const std::string& actor, Make make) {
        db_->begin();
        try {
            const Row row = make();
            AuditEntry e{0, static_cast<std::int64_t>(std::time(nullptr)), actor, row.action, row.target, row.detail};
            e.id = integer(db_->query("INSERT INTO audit (at, actor, action, target, detail) VALUES ($1, $2, $3, $4, $5) "
                                      "RETURNING id",
                                      {std::to_string(e.at), e.actor, e.action, e.target, e.detail})
                               .at(0)
                               .at(0));
            db_->announceChange();
            db_->commit();
            return e;
        } catch (...) {
            db_->rollback();
            throw;
        }
    }

    std::unique_ptr<SqlSession> db_;
};
}  // namespace

std::unique_ptr<Moderation> openModerationOver(std::unique_ptr<SqlSession> session) {
    return std::make_unique<SqlModeration>(std::move(session));
}

