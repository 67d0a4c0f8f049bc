#pragma once
// A throwaway PostgreSQL cluster for the tests of both backends, started once per test program by
// server/tests/pg_cluster.sh; each test gets a
// database of its own. Beside it, the made-up plays the suites of both backends store.
#include <libpq-fe.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include "storage/Storage.h"

namespace testpg {
inline std::string runScript(const std::string& command, int& status) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    std::array<char, 256> buffer{};
    while (fgets(buffer.data(), buffer.size(), p)) out += buffer.data();
    status = pclose(p);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

inline const std::string kClusterScript = std::string(NIMBULON_SOURCE_DIR) + "/server/tests/pg_cluster.sh";

// The cluster lives for the whole test program; each test gets a database of its own.
class Cluster {
public:
    static Cluster& get() {
        static Cluster cluster;
        return cluster;
    }
    bool ready() const { return !url_.empty(); }
    // PostgreSQL's programs are missing (the tests name the package); a cluster that is installed
    // but will not start fails them with its own log.
    bool installed() const { return installed_; }
    const std::string& problem() const { return problem_; }
    // A fresh database's URL.
    std::string freshDatabase() {
        const std::string name = "t" + std::to_string(++count_);
        const std::string base = url_.substr(0, url_.rfind('/') + 1);
        createDatabase(name);
        return base + name;
    }
    ~Cluster() {
        if (!dir_.empty()) {
            int status = 0;
            runScript(kClusterScript + " stop " + dir_ + "/cluster", status);
            std::filesystem::remove_all(dir_);
        }
    }

private:
    Cluster() {
        char tmpl[] = "/tmp/nimbulon-pg-XXXXXX";
        if (!mkdtemp(tmpl)) {
            problem_ = "no temporary folder for the cluster";
            return;
        }
        dir_ = tmpl;
        chmod(tmpl, 0755);  // the cluster's own user must reach its folder inside
        int status = 0;
        url_ = runScript(kClusterScript + " start " + dir_ + "/cluster 2>&1", status);
        if (status != 0) {
            installed_ = !(WIFEXITED(status) && WEXITSTATUS(status) == kNotInstalled);
            problem_ = url_;
            url_.clear();
        }
    }
    void createDatabase(const std::string& name);

    static constexpr int kNotInstalled = 3;  // pg_cluster.sh's status when initdb or pg_ctl is missing
    std::string dir_, url_, problem_;
    bool installed_ = true;
    int count_ = 0;
};
inline void Cluster::createDatabase(const std::string& name) {
    PGconn* c = PQconnectdb(url_.c_str());
    PQclear(PQexec(c, ("CREATE DATABASE " + name).c_str()));
    PQfinish(c);
}

// A play as the upload service would store it, made up for the storage tests.
inline Storage::Play samplePlay(const std::string& name, std::int32_t score, std::int32_t mode = 4, std::string hash = "H") {
    Storage::Play p;
    p.name = name;
    p.passwordHash = std::move(hash);
    p.mode = mode;
    p.version = 102 + mode;
    p.score = score;
    p.stage = 2;
    p.lives = 1;
    p.frames = 1000 + score;
    p.comment = "c " + name;
    p.replay = std::string("NimbulonScoreFile\0\x01\xff", 20) + name;
    p.uploadedAt = 1700000000 + score;
    return p;
}
}  // namespace testpg

