// Saving when the disk says no: a full file system, a read-only data folder, writes cut short, and
// the game killed while it saves. The previous best play and system save must survive whole, and
// a failed save must be logged.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include "app/Env.h"
#include "app/SystemSave.h"
#include "platform/headless/HeadlessPlatform.h"
#include "records/GameMode.h"
#include "records/GameTitle.h"
#include "records/Score.h"
#include "support/RecordingLog.h"
#include "support/TestEnv.h"
#include "support/Prerequisite.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path);
    out << text;
    return static_cast<bool>(out.flush());
}

// A play of the first lap that cleared all four stages with `score` items: the title saves it as
// the last play, as the best play when it beats the stored one, and writes the system save.
Score clearedPlay(int score, Log* log = nullptr) {
    Score s(log);
    s.setHeader({replayVersionOf(ModeFirstLap), ModeFirstLap, score, 5, 2, 1, 1000, 600});
    for (int stage = 1; stage <= 5; ++stage) {
        InputTrace trace;
        trace.append(InputRun::fromBits(score + stage, static_cast<std::uint16_t>(stage)));
        s.storeStage(stage, trace, 0, 0);
    }
    return s;
}

SystemSave savedAs(const std::string& name) {
    SystemSave save;
    save.name = name;
    save.password = "pw";
    return save;
}

// The bytes of savedAs(name) on file: three flag words, then name, "pw" and an empty comment.
Bytes wholeSave(const std::string& name) {
    Bytes out(12, 0);
    for (const std::string& text : {name, std::string("pw"), std::string()}) {
        const auto n = static_cast<std::uint32_t>(text.size());
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(n >> (8 * i)));
        out.insert(out.end(), text.begin(), text.end());
    }
    return out;
}

// Runs body in a child process and returns what it reports ("" when all is well), so that a
// mount namespace, a resource limit or a kill stays with the child.
std::string inChild(const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return "no pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const std::string report = body();
        if (!report.empty() && ::write(fds[1], report.data(), report.size()) < 0) ::_exit(3);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string report;
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) report.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) report += " (the child ended abnormally)";
    return report;
}

// In the child: a private mount namespace (a user namespace of its own when not privileged) with
// a tmpfs of `bytes` mounted on dir. False when the machine allows neither.
bool mountPrivateTmpfs(const std::string& dir, std::size_t bytes) {
    if (::unshare(CLONE_NEWNS) != 0) {
        const uid_t uid = ::getuid();
        const gid_t gid = ::getgid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
        writeText("/proc/self/setgroups", "deny");
        if (!writeText("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !writeText("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return false;
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    const std::string options = "size=" + std::to_string(bytes);
    // The working folder is the mount point: enter the tmpfs that now covers it.
    return ::mount("tmpfs", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0 && ::chdir(dir.c_str()) == 0;
}

enum class Fault { FullDisk, ReadOnlyFolder, WritesCutShort };

struct FaultCase {
    const char* name;
    Fault fault;
};

class SaveFault : public ::testing::TestWithParam<FaultCase> {};

}  // namespace

// A new best play of a lap that was just cleared: the title writes the system save (flag), the
// last play and the best play, and every one of those writes fails.
TEST_P(SaveFault, AFailedSaveKeepsThePreviousFilesAndIsLogged) {
    const Fault fault = GetParam().fault;
    TempWorkDir dir;
    const std::string report = inChild([&]() -> std::string {
        if (fault != Fault::WritesCutShort) {
            if (!mountPrivateTmpfs(dir.path().string(), 64 * 1024)) return "unsupported";
            fs::create_directories("./data");  // on the fresh tmpfs, the working folder
        }
        if (!clearedPlay(10).save(bestPlayFileOf(ModeFirstLap)) || !clearedPlay(10).save(lastPlayFileOf(ModeFirstLap)) ||
            !savedAs("before").Write())
            return "the previous files could not be written";
        const Bytes best = readFile(bestPlayFileOf(ModeFirstLap));
        const Bytes last = readFile(lastPlayFileOf(ModeFirstLap));
        const Bytes save = readFile(SystemSave::kDefaultPath);

        switch (fault) {
            case Fault::FullDisk: {
                std::FILE* filler = std::fopen("./filler", "wb");
                const std::vector<char> block(4096, 'x');
                while (filler && std::fwrite(block.data(), 1, block.size(), filler) == block.size() && std::fflush(filler) == 0) {
                }
                if (filler) std::fclose(filler);
                break;
            }
            case Fault::ReadOnlyFolder:
                if (::mount(nullptr, dir.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) != 0)
                    return "the tmpfs could not be made read-only";
                break;
            case Fault::WritesCutShort: {
                // Every write past the 16th byte of a file fails, as on a disk that fills up mid-file.
                ::signal(SIGXFSZ, SIG_IGN);
                rlimit limit{};
                ::getrlimit(RLIMIT_FSIZE, &limit);
                limit.rlim_cur = 16;
                ::setrlimit(RLIMIT_FSIZE, &limit);
                break;
            }
        }

        RecordingLog log;
        HeadlessPlatform platform;
        std::string broken;
        {
            Env env(platform, &log, EnvOptions{false, nullptr, true, false});
            GameTitle title(&env, &log);
            title.takeFinishedPlay(clearedPlay(99, &log));
        }
        if (readFile(bestPlayFileOf(ModeFirstLap)) != best) broken += "the best play changed; ";
        if (readFile(lastPlayFileOf(ModeFirstLap)) != last) broken += "the last play changed; ";
        if (readFile(SystemSave::kDefaultPath) != save) broken += "the system save changed; ";
        for (const auto& entry : fs::directory_iterator("./data"))
            if (entry.path().extension() == ".tmp") broken += "a temporary file was left: " + entry.path().string() + "; ";
        for (const std::string& line :
             {"score: スコアの書き出しに失敗。ファイル名：" + bestPlayFileOf(ModeFirstLap),
              "score: スコアの書き出しに失敗。ファイル名：" + lastPlayFileOf(ModeFirstLap),
              std::string("SystemSave: システムセーブの書き出しに失敗。前のセーブはそのまま。ファイル名：") + SystemSave::kDefaultPath}) {
            if (std::find(log.lines.begin(), log.lines.end(), line) == log.lines.end()) broken += "not logged: " + line + "; ";
        }
        return broken;
    });
    NIMBULON_REQUIRE("private-mount", report != "unsupported", "this machine allows no private mount of a tmpfs");
    EXPECT_EQ(report, "");
}

INSTANTIATE_TEST_SUITE_P(Faults, SaveFault,
                         ::testing::Values(FaultCase{"FullTmpfs", Fault::FullDisk},
                                           FaultCase{"ReadOnlyTmpfs", Fault::ReadOnlyFolder},
                                           FaultCase{"FileSizeLimit", Fault::WritesCutShort}),
                         [](const auto& info) { return std::string(info.param.name); });

// A process that saves the best play and the system save over and over is killed with SIGKILL
// right after it reports a finished pair, so the kill lands in the saves that follow. Whatever the
// moment, each file afterwards is one whole save, never a torn one, and none older than the last
// one reported finished.
TEST(SaveUnderKill, EachFileIsAWholeSaveNeverATornOne) {
    TempWorkDir dir;
    const std::string best = bestPlayFileOf(ModeFirstLap);
    ASSERT_TRUE(clearedPlay(0).save(best));
    ASSERT_TRUE(savedAs("pilot0").Write());
    int next = 1;
    for (int round = 0; round < 40; ++round) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            for (int n = next;; ++n) {
                clearedPlay(n).save(best);
                savedAs("pilot" + std::to_string(n)).Write();
                if (::write(fds[1], "x", 1) != 1) ::_exit(1);
            }
        }
        ::close(fds[1]);
        const int wanted = round % 4 + 1;
        int finished = 0;
        char c;
        while (finished < wanted && ::read(fds[0], &c, 1) == 1) ++finished;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ::close(fds[0]);
        ASSERT_EQ(finished, wanted);
        const int lastFinished = next + finished - 1;

        Score onFile(nullptr);
        ASSERT_TRUE(onFile.load(best)) << "round " << round << ": the best play is torn";
        const int n = onFile.getScore();
        EXPECT_GE(n, lastFinished) << "round " << round;
        EXPECT_EQ(readFile(best), clearedPlay(n).toBytes()) << "round " << round;

        const SystemSave save;
        ASSERT_EQ(save.name.rfind("pilot", 0), 0u) << "round " << round << ": the system save is torn";
        const int m = std::stoi(save.name.substr(5));
        EXPECT_GE(m, lastFinished) << "round " << round;
        EXPECT_EQ(readFile(SystemSave::kDefaultPath), wholeSave(save.name)) << "round " << round;
        next = std::max(n, m) + 1;
    }
}
