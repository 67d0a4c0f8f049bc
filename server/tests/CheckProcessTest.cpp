// The check process's confinement: its system-call filter, its session and environment, and how
// a stopping server ends the checks it runs.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <mutex>
#include <sstream>
#include <thread>
#include "checks/CheckSandbox.h"
#include "http/Passwords.h"
#include "storage/RankingList.h"
#include "checks/ReplayChecker.h"
#include "ServerTestSupport.h"
#include "storage/Storage.h"
#include "http/UploadService.h"

namespace {
// Runs `body` in a forked child under the filter; its wait status, and what it wrote to its
// standard output.
int sandboxed(const std::function<void()>& body, std::string* output = nullptr) {
    int out[2];
    if (pipe(out) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        if (!enterCheckSandbox()) _exit(90);
        body();
        _exit(0);  // no exit handlers: they are the host test program's
    }
    close(out[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (output) *output = text;
    return status;
}

TEST(CheckSandbox, AnyWayOutKillsTheProcess) {
    const struct {
        const char* what;
        std::function<void()> attempt;
    } cases[] = {
        {"a socket", [] { socket(AF_INET, SOCK_STREAM, 0); }},
        {"a local socket", [] { socket(AF_UNIX, SOCK_STREAM, 0); }},
        {"creating a file", [] { openat(AT_FDCWD, "/tmp/nimbulon-sandbox-escape", O_WRONLY | O_CREAT, 0600); }},
        {"opening a file to write", [] { open("/tmp", O_RDWR | O_TMPFILE, 0600); }},
        {"truncating a file", [] { open("/tmp/nimbulon-sandbox-escape", O_RDONLY | O_TRUNC); }},
        {"starting a program", [] {
             char* argv[] = {const_cast<char*>("/bin/true"), nullptr};
             execve("/bin/true", argv, argv + 1);
         }},
        {"starting a process", [] { fork(); }},
        {"signalling another process", [] { kill(getppid(), 0); }},
#ifndef __SANITIZE_ADDRESS__  // the sanitizers write into pipes of their own
        {"writing to a descriptor other than the output", [] { write(STDIN_FILENO, "x", 1); }},
#endif
    };
    for (const auto& c : cases) {
        const int status = sandboxed([&] {
            c.attempt();
            _exit(0);  // reached only when the call was let through
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS) << c.what << ": wait status " << status;
    }
    EXPECT_FALSE(std::filesystem::exists("/tmp/nimbulon-sandbox-escape"));
}

TEST(CheckSandbox, TheSimulationsNeedsStayAllowed) {
    // Memory in all the ways the allocator takes and gives it back, the clock, the verdict.
    std::string output;
    const int status = sandboxed(
        [] {
            std::vector<std::vector<char>> blocks;
            for (int i = 0; i < 64; ++i) blocks.emplace_back(std::size_t(1) << (10 + i % 14), char(i));
            std::vector<char> growing;
            for (int i = 0; i < 24; ++i) growing.resize(std::size_t(1) << i, 'x');
            blocks.clear();
            const auto t = std::chrono::steady_clock::now();
            std::ostringstream line;
            line << "match " << growing.size() << " " << (t.time_since_epoch().count() != 0) << "\n";
            const std::string text = line.str();
            if (write(STDOUT_FILENO, text.data(), text.size()) != static_cast<ssize_t>(text.size())) _exit(91);
        },
        &output);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    EXPECT_EQ(output, "match 8388608 1\n");
}

TEST(CheckSandbox, AFileOpenedToReadIsNeverThere) {
    // The game's code looks for optional files and goes on without them; whatever lies on the
    // server's disk (a readable file, the server's own database) the check gets no descriptor.
    std::string output;
    const int status = sandboxed(
        [] {
            for (const char* path : {"/etc/hostname", "/proc/self/environ", "."}) {
                const bool absent = open(path, O_RDONLY) < 0 && errno == ENOENT &&
                                    openat(AT_FDCWD, path, O_RDONLY | O_CLOEXEC) < 0 && errno == ENOENT;
                if (write(STDOUT_FILENO, absent ? "a" : "P", 1) != 1) _exit(91);
            }
        },
        &output);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    EXPECT_EQ(output, "aaa");
}

// A folder of its own, with a stand-in for the server's program written into it.
class CheckProcess : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/nimbulon-check-XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string script(const std::string& name, const std::string& body) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path) << "#!/bin/sh\n" << body;
        chmod(path.c_str(), 0755);
        return path;
    }
    std::string read(const std::string& name) {
        std::ifstream in(dir_ + "/" + name);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string dir_;
};

TEST_F(CheckProcess, StartsInASessionOfItsOwnWithNoEnvironment) {
    setenv("NIMBULON_SECRET_FOR_THE_TEST", "database password", 1);
    const std::string program = script("check", "tr '\\0' '\\n' < /proc/$$/environ > " + dir_ + "/env\n" +
                                                    "echo $$ $(cut -d' ' -f5,6 /proc/$$/stat) > " + dir_ + "/ids\n");
    const ReplayChecker checker(program, {kDefaultMaxFrames, 20, 512});
    checker.check("replay");
    unsetenv("NIMBULON_SECRET_FOR_THE_TEST");
    std::istringstream ids(read("ids"));
    long pid = 0, group = 0, session = 0;
    ASSERT_TRUE(ids >> pid >> group >> session) << read("ids");
    EXPECT_EQ(session, pid) << "the check leads a session of its own";
    EXPECT_EQ(group, pid) << "and a process group of its own";
    EXPECT_NE(session, static_cast<long>(getsid(0)));
    // Only the sanitizers' own settings, in a build with them.
    std::istringstream env(read("env"));
    for (std::string line; std::getline(env, line);)
        EXPECT_TRUE(line.rfind("ASAN_OPTIONS=", 0) == 0 || line.rfind("UBSAN_OPTIONS=", 0) == 0) << line;
}

// How a stopping service treats uploads: the one being checked gets the grace period, those
// waiting are answered '2' at once; past the grace period the check is ended.
class StoppingService : public CheckProcess {
protected:
    void SetUp() override {
        CheckProcess::SetUp();
        ASSERT_TRUE(passwords::init());
        storage_ = openStorage(dir_ + "/r.sqlite");
        cache_ = std::make_unique<RankingCache>(*storage_, std::chrono::hours(1));
    }
    void TearDown() override {
        cache_.reset();
        storage_.reset();
        CheckProcess::TearDown();
    }
    // A check that starts, waits until the test lets it go on, then runs `then`.
    std::string gated(const std::string& then) {
        return script("gated", "echo $$ > " + dir_ + "/pid\ntouch " + dir_ + "/started\nwhile [ ! -e " + dir_ +
                                   "/go ]; do sleep 0.02; done\n" + then + "\n");
    }
    // Three players' uploads to a service with one worker, stopped with `grace` while the first
    // one's check runs: the answers in the order of the players; whether stop() returned within
    // `within` of its call, and whether the check process was gone then. A stop still waiting at
    // `within` has the check process killed here, so that it returns and the test goes on.
    struct Stopped {
        std::vector<char> codes;
        bool inTime = false, checkGone = false;
    };
    Stopped stopWhileChecking(const ReplayChecker& checker, std::chrono::milliseconds grace,
                              std::chrono::milliseconds within = std::chrono::hours(1)) {
        UploadService service(*storage_, checker, cache_.get(), 1, 8);
        std::mutex m;
        Stopped out;
        out.codes.assign(3, '?');
        for (int i = 0; i < 3; ++i) {
            UploadFields f;
            f.name = "p" + std::to_string(i);
            f.pass = "0123456789abcdef0123456789abcdef";
            f.replay = testplays::honest(ModeFirstLap, 100 + 10 * i);
            f.hasName = f.hasPass = f.hasMessage = f.hasReplay = true;
            UploadCheck check = checkUpload(f);
            EXPECT_TRUE(check.ok) << check.problem;
            EXPECT_TRUE(service.submit(std::move(check.request), [&, i](UploadService::Reply r) {
                std::lock_guard lock(m);
                out.codes[static_cast<std::size_t>(i)] = r.code;
            }));
        }
        while (!std::filesystem::exists(dir_ + "/started")) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const pid_t pid = static_cast<pid_t>(std::stol(read("pid")));
        std::promise<void> stopped;
        std::future<void> returned = stopped.get_future();
        const auto called = std::chrono::steady_clock::now();
        std::thread stopping([&] {
            service.stop(grace);
            stopped.set_value();
        });
        // Once the stop has answered the waiting uploads, the first check may go on.
        while (service.queued() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::ofstream(dir_ + "/go") << "";
        out.inTime = returned.wait_until(called + within) == std::future_status::ready;
        out.checkGone = kill(pid, 0) != 0;
        if (!out.inTime) kill(pid, SIGKILL);
        stopping.join();
        std::lock_guard lock(m);
        return out;
    }
    std::unique_ptr<Storage> storage_;
    std::unique_ptr<RankingCache> cache_;
};

TEST_F(StoppingService, TheUploadBeingCheckedFinishesAndTheWaitingOnesAreAnswered2) {
    const ReplayChecker real(gated(std::string("exec ") + NIMBULON_SERVER_PROGRAM + " \"$@\""), {kDefaultMaxFrames, 20, 512});
    EXPECT_EQ(stopWhileChecking(real, std::chrono::seconds(60)).codes, (std::vector<char>{'0', '2', '2'}));
    EXPECT_NE(cache_->text(106)->find("p0"), std::string::npos) << "the first upload is stored";
    EXPECT_EQ(cache_->text(106)->find("p1"), std::string::npos);
}

TEST_F(StoppingService, ACheckStillRunningAfterTheGracePeriodIsEnded) {
    // A check that would take an hour: past the grace its process is killed, its upload answered
    // '2', and the stop returns; the margin is for a loaded machine, far below the hour.
    const ReplayChecker slow(gated("exec sleep 3600"), {kDefaultMaxFrames, 20, 512});
    const std::chrono::milliseconds grace(200);
    const Stopped stopped = stopWhileChecking(slow, grace, grace + std::chrono::seconds(10));
    EXPECT_TRUE(stopped.inTime) << "stop() returned within the grace and a margin";
    EXPECT_TRUE(stopped.checkGone) << "the check process was gone when it returned";
    EXPECT_EQ(stopped.codes, (std::vector<char>{'2', '2', '2'}));
    EXPECT_EQ(slow.check("replay").kind, ResimVerdict::Failed) << "and no check starts after";
}
}  // namespace
