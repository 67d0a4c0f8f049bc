// Figures for the path comparison that tells a copy from an honest play.
//
//   path_bench likeness              the measure for dressed copies and for honest pairs, side by
//                                    side (the plays of server/tests/data/paths, re-simulated)
//   path_bench scale WHERE [PLAYS]   PLAYS stored plays (100,000 by default) with made-up paths of
//                                    one to three minutes in an SQLite file or a postgresql:// URL
//                                    (a fresh one), then what the comparison adds to an upload:
//                                    the look-up of 200 new honest paths and of 200 dressed copies,
//                                    and whole stores with and without a path; median and p99
//
// tools/bench/path_bench.sh runs both on SQLite and on a throwaway PostgreSQL cluster.
#include "app/ToolHelp.h"
#include <libpq-fe.h>
#include <sqlite3.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>
#include "PathPlays.h"
#include "SyntheticPaths.h"
#include "checks/Resimulation.h"
#include "core/PlayPath.h"
#include "core/UploadForm.h"
#include "storage/PathMatch.h"
#include "storage/Storage.h"

namespace {
using Clock = std::chrono::steady_clock;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

PlayPath pathOf(const std::string& replay) {
    return PlayPath::decode(resimulate(replay, kDefaultMaxFrames).path, kDefaultMaxFrames).value_or(PlayPath{});
}

// Per-mille buckets of 50, printed side by side.
int likeness() {
    std::vector<PlayPath> paths;
    std::vector<pathplays::Plan> plans;
    for (int n = 0; n < pathplays::kPlays; ++n) {
        char name[64];
        std::snprintf(name, sizeof name, "/server/tests/data/paths/%02d.rep", n);
        paths.push_back(pathOf(readFile(NIMBULON_SOURCE_DIR + std::string(name))));
        plans.push_back(pathplays::plan(n));
    }
    std::size_t frames = 0, bytes = 0, replayBytes = 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        frames += paths[i].points.size();
        bytes += paths[i].encode().size();
        char name[64];
        std::snprintf(name, sizeof name, "/server/tests/data/paths/%02zu.rep", i);
        replayBytes += readFile(NIMBULON_SOURCE_DIR + std::string(name)).size();
    }
    std::printf("%zu plays: %zu frames, a path of %zu bytes (%.2f a frame) and a replay of %zu bytes on average\n\n",
                paths.size(), frames / paths.size(), bytes / paths.size(), static_cast<double>(bytes) / static_cast<double>(frames),
                replayBytes / paths.size());
    {
        // The longest play the server checks: every frame is written and read once.
        const PlayPath longest = synthetic::wander(7, static_cast<int>(kDefaultMaxFrames));
        const auto t = Clock::now();
        const std::string bytes = longest.encode();
        const std::optional<PlayPath> back = PlayPath::decode(bytes, kDefaultMaxFrames);
        std::printf("a ten-hour path: %zu bytes, encoded and decoded in %.0f ms%s\n\n", bytes.size(),
                    std::chrono::duration<double, std::milli>(Clock::now() - t).count(),
                    back && back->points == longest.points ? "" : " WRONGLY");
    }
    std::vector<int> honest, opening, copies;
    for (std::size_t i = 0; i < paths.size(); ++i)
        for (std::size_t j = i + 1; j < paths.size(); ++j) {
            if (plans[i].mode != plans[j].mode) continue;
            const int m = PathLikeness::of(paths[i], paths[j]).perMille();
            (plans[i].sharesOpeningWith == static_cast<int>(j) ? opening : honest).push_back(m);
        }
    const std::string original = readFile(NIMBULON_SOURCE_DIR "/server/tests/data/paths/00.rep");
    for (const pathplays::Dressed& d : pathplays::dressedCopies(original)) {
        const int m = PathLikeness::of(pathOf(d.replay), paths[0]).perMille();
        std::printf("copy: %-52s %4d per mille\n", d.what, m);
        copies.push_back(m);
    }
    // The synthetic copies of the scale test, too: one pixel aside for six frames, cut short.
    for (int seed = 1; seed <= 200; ++seed) {
        const PlayPath p = synthetic::wander(static_cast<std::uint64_t>(seed), 3600 + 36 * seed);
        copies.push_back(PathLikeness::of(synthetic::dressed(p, 1800, 5), p).perMille());
    }
    std::printf("\nmoving frames within %d px, per mille | honest pairs | honest pairs sharing 20 s | copies\n",
                PathLikeness::kNear);
    for (int b = 0; b < 1000; b += 50) {
        auto count = [&](const std::vector<int>& v) {
            return std::count_if(v.begin(), v.end(), [&](int m) { return m >= b && (m < b + 50 || (b == 950 && m <= 1000)); });
        };
        std::printf("%4d-%-4d | %5ld | %5ld | %5ld\n", b, b + 49 + (b == 950), count(honest), count(opening), count(copies));
    }
    auto maxOf = [](const std::vector<int>& v) { return v.empty() ? -1 : *std::max_element(v.begin(), v.end()); };
    auto minOf = [](const std::vector<int>& v) { return v.empty() ? -1 : *std::min_element(v.begin(), v.end()); };
    std::printf("honest pairs: %zu, highest %d; sharing 20 s: %zu, highest %d; copies: %zu, lowest %d; "
                "the line is %d\n",
                honest.size(), maxOf(honest), opening.size(), maxOf(opening), copies.size(), minOf(copies),
                PathLikeness::kSharePercent * 10);
    return 0;
}

// Made-up plays straight into the tables, as many stores would leave them (one transaction).
constexpr std::int32_t kMode = 4, kVersion = 106;

PlayPath storedPath(int i) { return synthetic::wander(static_cast<std::uint64_t>(i), 3600 + (i * 7919) % 7200); }

void fillSqlite(const std::string& file, int plays) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *player, *play, *path, *key;
    sqlite3_prepare_v2(db, "INSERT INTO players (id, name, pass_hash, registered_at) VALUES (?, ?, 'H', 0)", -1, &player, nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO plays (id, player_id, mode, version, score, stage, lives, frames, comment, "
                       "uploaded_at, replay, chart) VALUES (?, ?, 4, 106, ?, 1, 1, ?, '', 0, x'00', '')",
                       -1, &play, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO play_paths (play_id, player_id, mode, version, path) VALUES (?, ?, 4, 106, ?)", -1,
                       &path, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO play_path_keys (path_key, play_id) VALUES (?, ?)", -1, &key, nullptr);
    for (int i = 1; i <= plays; ++i) {
        const PlayPath p = storedPath(i);
        const std::string bytes = p.encode(), name = "p" + std::to_string(i);
        sqlite3_bind_int(player, 1, i);
        sqlite3_bind_text(player, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(player);
        sqlite3_reset(player);
        sqlite3_bind_int(play, 1, i);
        sqlite3_bind_int(play, 2, i);
        sqlite3_bind_int(play, 3, i % 1000);
        sqlite3_bind_int(play, 4, static_cast<int>(p.points.size()));
        sqlite3_step(play);
        sqlite3_reset(play);
        sqlite3_bind_int(path, 1, i);
        sqlite3_bind_int(path, 2, i);
        sqlite3_bind_blob(path, 3, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        sqlite3_step(path);
        sqlite3_reset(path);
        for (std::int64_t k : pathKeys(p, kMode, kVersion)) {
            sqlite3_bind_int64(key, 1, k);
            sqlite3_bind_int(key, 2, i);
            sqlite3_step(key);
            sqlite3_reset(key);
        }
    }
    for (sqlite3_stmt* s : {player, play, path, key}) sqlite3_finalize(s);
    if (sqlite3_exec(db, "COMMIT; ANALYZE", nullptr, nullptr, nullptr) != SQLITE_OK)
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    sqlite3_close(db);
}

std::string hex(const std::string& bytes) {
    static const char* const kHex = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) out += {kHex[c >> 4], kHex[c & 15]};
    return out;
}

bool copyInto(PGconn* db, const char* sql, const std::string& rows) {
    PQclear(PQexec(db, sql));
    if (PQputCopyData(db, rows.data(), static_cast<int>(rows.size())) != 1 || PQputCopyEnd(db, nullptr) != 1) return false;
    PGresult* r = PQgetResult(db);
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    if (!ok) std::fprintf(stderr, "postgresql: %s\n", PQresultErrorMessage(r));
    PQclear(r);
    return ok;
}

void fillPostgres(const std::string& url, int plays) {
    PGconn* db = PQconnectdb(url.c_str());
    std::string players, playRows, paths, keys;
    for (int i = 1; i <= plays; ++i) {
        const PlayPath p = storedPath(i);
        const std::string n = std::to_string(i);
        players += n + "\tp" + n + "\tH\t0\n";
        playRows += n + "\t" + n + "\t4\t106\t" + std::to_string(i % 1000) + "\t1\t1\t" + std::to_string(p.points.size()) +
                    "\t\t0\t\\\\x00\t\n";
        paths += n + "\t" + n + "\t4\t106\t\\\\x" + hex(p.encode()) + "\n";
        for (std::int64_t k : pathKeys(p, kMode, kVersion)) keys += std::to_string(k) + "\t" + n + "\n";
    }
    const bool ok = copyInto(db, "COPY players (id, name, pass_hash, registered_at) FROM STDIN", players) &&
                    copyInto(db, "COPY plays (id, player_id, mode, version, score, stage, lives, frames, comment, "
                                 "uploaded_at, replay, chart) FROM STDIN", playRows) &&
                    copyInto(db, "COPY play_paths (play_id, player_id, mode, version, path) FROM STDIN", paths) &&
                    copyInto(db, "COPY play_path_keys (path_key, play_id) FROM STDIN", keys);
    if (!ok) std::exit(1);
    PQclear(PQexec(db, "SELECT setval('players_id_seq', (SELECT max(id) FROM players)); "
                       "SELECT setval('plays_id_seq', (SELECT max(id) FROM plays)); ANALYZE"));
    PQfinish(db);
}

struct Figures {
    std::vector<double> ms;
    void add(Clock::time_point since) { ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - since).count()); }
    void print(const char* what) {
        std::sort(ms.begin(), ms.end());
        std::printf("  %-44s median %7.2f ms   p99 %7.2f ms   (%zu)\n", what, ms[ms.size() / 2],
                    ms[std::min(ms.size() - 1, ms.size() * 99 / 100)], ms.size());
    }
};

int scale(const std::string& where, int plays) {
    {
        const std::unique_ptr<Storage> schema = openStorage(where);  // the tables, at the latest version
    }
    const auto filling = Clock::now();
    if (isPostgresUrl(where)) fillPostgres(where, plays);
    else fillSqlite(where, plays);
    std::printf("%s: %d plays stored in %.1f s\n", isPostgresUrl(where) ? "PostgreSQL" : "SQLite", plays,
                std::chrono::duration<double>(Clock::now() - filling).count());
    const std::unique_ptr<Storage> storage = openStorage(where);
    Figures honest, copies, withPath, without;
    int caught = 0, wrong = 0;
    for (int i = 0; i < 200; ++i) {
        const PlayPath fresh = synthetic::wander(static_cast<std::uint64_t>(plays + 1000 + i), 3600 + 30 * i);
        const std::string freshBytes = fresh.encode();
        auto t = Clock::now();
        wrong += storage->samePathAs(kMode, kVersion, freshBytes).has_value();
        honest.add(t);
        // A stored play long enough that its copy, five frames shorter, is still compared.
        int original = 1 + (i * 499) % plays;
        while (storedPath(original).points.size() < PathLikeness::kMinFrames + 5u) original = original % plays + 1;
        const PlayPath stolen = synthetic::dressed(storedPath(original), 1800, 5);
        const std::string stolenBytes = stolen.encode();
        t = Clock::now();
        const std::optional<Storage::Owner> owner = storage->samePathAs(kMode, kVersion, stolenBytes);
        copies.add(t);
        caught += owner && owner->play == original;

        Storage::Play play;
        play.name = "new" + std::to_string(i);
        play.passwordHash = "H";
        play.mode = kMode;
        play.version = kVersion;
        play.score = i;
        play.frames = static_cast<std::int32_t>(fresh.points.size());
        play.replay = std::string("\0", 1);
        play.inputKey = "key" + std::to_string(i);
        play.path = freshBytes;
        t = Clock::now();
        storage->store(play);
        withPath.add(t);
        play.name = "bare" + std::to_string(i);
        play.inputKey = "bare" + std::to_string(i);
        play.path.clear();
        t = Clock::now();
        storage->store(play);
        without.add(t);
    }
    honest.print("look-up of a new honest path");
    copies.print("look-up of a dressed copy");
    withPath.print("store with a path (look-up, compare, keep)");
    without.print("store without a path");
    std::printf("  copies found: %d of 200; honest paths taken for copies: %d of 200\n", caught, wrong);
    std::fflush(stdout);
    return caught == 200 && wrong == 0 ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv) {
    if (answeredHelp(argc, argv, "usage: path_bench likeness | path_bench scale SQLITE-FILE|POSTGRES-URL [PLAYS]\nFigures for the path comparison that tells a copy from an honest play.\n")) return 0;
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "likeness" && argc == 2) return likeness();
    if (what == "scale" && (argc == 3 || argc == 4)) return scale(argv[2], argc == 4 ? std::atoi(argv[3]) : 100000);
    std::fprintf(stderr, "usage: path_bench likeness | path_bench scale SQLITE-FILE|POSTGRES-URL [PLAYS]\n");
    return 2;
}
