#include "storage/ChangeListener.h"
#include "storage/Moderation.h"
#include "storage/PostgresQuery.h"
#include "storage/SqlSession.h"

namespace {
class PostgresSession : public SqlSession {
public:
    explicit PostgresSession(const std::string& url) : db_(pgdb::connect(url)) {}
    // Borrows a connection that stays its owner's.
    explicit PostgresSession(PGconn* borrowed) : db_(borrowed), owned_(false) {}
    ~PostgresSession() override {
        if (owned_) PQfinish(db_);
    }

    std::vector<Row> query(const char* sql, const std::vector<std::string>& params) override {
        pgdb::Params p;
        for (const std::string& v : params) p.add(v);
        pgdb::Result r = pgdb::query(db_, sql, p);
        std::vector<Row> rows;
        for (int i = 0; i < r.rows(); ++i) {
            Row row;
            for (int c = 0; c < PQnfields(r.get()); ++c) row.push_back(r.text(i, c));
            rows.push_back(std::move(row));
        }
        return rows;
    }
    void begin() override { pgdb::run(db_, "BEGIN"); }
    void commit() override { pgdb::run(db_, "COMMIT"); }
    void rollback() override { PQclear(pgdb::exec(db_, "ROLLBACK")); }
    void announceChange() override { pgdb::run(db_, (std::string("NOTIFY ") + kListsChannel).c_str()); }

private:
    PGconn* db_;
    bool owned_ = true;
};
}  // namespace

std::unique_ptr<SqlSession> postgresSessionOver(PGconn* db) { return std::make_unique<PostgresSession>(db); }

std::unique_ptr<Moderation> openPostgresModeration(const std::string& url) {
    return openModerationOver(std::make_unique<PostgresSession>(url));
}
