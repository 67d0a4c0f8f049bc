#include "checks/ReplayChecker.h"
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <pthread.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
// A pipe whose ends are not inherited by any other child started meanwhile.
bool makePipe(int fds[2]) { return pipe2(fds, O_CLOEXEC) == 0; }

void closeFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// A write to the check's input that fails with EPIPE, never with SIGPIPE, whatever the hosting
// program does with that signal: a check that refuses a play early closes its input, and that
// must not end the server (or a test that runs the server inside itself).
ssize_t writeWithoutSigpipe(int fd, const char* data, std::size_t size) {
    sigset_t pipeOnly, previous;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    const bool alreadyPending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
    const ssize_t n = write(fd, data, size);
    const int saved = errno;
    if (n < 0 && errno == EPIPE && !alreadyPending) {
        // The signal this write raised is pending on the thread; take it before unblocking.
        const timespec now{0, 0};
        while (sigtimedwait(&pipeOnly, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = saved;
    return n;
}

// The environment the check starts with: none. A build with the sanitizers passes on their
// settings alone: AddressSanitizer cannot bound the check's address space (it reserves terabytes
// for its shadow memory), so it is asked to end the check when its resident memory passes the
// limit instead, measured without opening /proc (the system-call filter forbids it), and without
// the leak check at exit (which starts a thread and reads /proc, both forbidden as well).
std::vector<std::string> checkEnvironment([[maybe_unused]] int memoryMb) {
    std::vector<std::string> env;
#ifdef __SANITIZE_ADDRESS__
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::string options = asan && *asan ? std::string(asan) + ":" : "";
    options += "hard_rss_limit_mb=" + std::to_string(memoryMb) + ":can_use_proc_maps_statm=0:detect_leaks=0";
    env.push_back("ASAN_OPTIONS=" + options);
    if (const char* ubsan = std::getenv("UBSAN_OPTIONS")) env.push_back(std::string("UBSAN_OPTIONS=") + ubsan);
#endif
    return env;
}

constexpr std::size_t kMaxReply = 16 * 1024 * 1024;

ResimVerdict failed(std::string why) {
    ResimVerdict v;
    v.kind = ResimVerdict::Failed;
    v.detail = std::move(why);
    return v;
}
}  // namespace

std::string ReplayChecker::ownExecutable(const std::string& fallback) {
    // Never closed: the server starts checks from it until it ends.
    const int fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fallback;
    // Opening this path opens the file the descriptor holds, even deleted, in whichever process
    // opens it: a check process starts with the server's descriptors until its program runs.
    return "/proc/self/fd/" + std::to_string(fd);
}

ResimVerdict ReplayChecker::check(std::string_view replay) const {
    if (cancelled_.load()) return failed("the server is stopping");
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    if (!makePipe(in)) return failed(std::string("pipe: ") + std::strerror(errno));
    if (!makePipe(out)) {
        closeFd(in[0]);
        closeFd(in[1]);
        return failed(std::string("pipe: ") + std::strerror(errno));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    // What a dying check says goes nowhere: the verdict (or its absence) is what counts, and the
    // server's log keeps one line per request.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string frames = std::to_string(limits_.maxFrames);
    const std::string cpu = std::to_string(limits_.cpuSeconds);
    const std::string memory = std::to_string(limits_.memoryMb);
    std::vector<char*> argv = {const_cast<char*>(program_.c_str()), const_cast<char*>(kChildFlag),
                               const_cast<char*>(frames.c_str()), const_cast<char*>(cpu.c_str()),
                               const_cast<char*>(memory.c_str()), nullptr};
    // The child starts with no blocked signals and default dispositions, whatever the server's
    // threads block or ignore.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    std::vector<std::string> env = checkEnvironment(limits_.memoryMb);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program_.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    closeFd(in[0]);
    closeFd(out[1]);
    if (spawned != 0) {
        closeFd(in[1]);
        closeFd(out[0]);
        return failed(std::string("cannot start the check: ") + std::strerror(spawned));
    }

    // Feed the replay and read the verdict together, so neither side can block the other; the
    // CPU limit ends a busy child, the deadline one that sleeps or is starved for too long.
    fcntl(in[1], F_SETFL, O_NONBLOCK);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits_.cpuSeconds * 4 + 10);
    std::size_t sent = 0;
    std::string reply;
    bool overtime = false, cancelled = false;
    while (out[0] >= 0) {
        if (sent == replay.size()) closeFd(in[1]);
        pollfd fds[2] = {{out[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            overtime = true;
            break;
        }
        if (cancelled_.load()) {
            cancelled = true;
            break;
        }
        const int ready = poll(fds, in[1] >= 0 ? 2 : 1, static_cast<int>(std::min<std::int64_t>(left.count(), 100)));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) break;
        if (in[1] >= 0 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = writeWithoutSigpipe(in[1], replay.data() + sent, replay.size() - sent);
            if (n > 0) sent += static_cast<std::size_t>(n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR) closeFd(in[1]);  // the child stopped reading
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buffer[4096];
            const ssize_t n = read(out[0], buffer, sizeof buffer);
            // The verdict, the play's chart (a few kilobytes at most) and its path (a few bytes for
            // each change of the ship's direction: at most some megabytes for the longest play).
            if (n > 0 && reply.size() < kMaxReply) reply.append(buffer, static_cast<std::size_t>(n));
            else if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) closeFd(out[0]);
        }
    }
    closeFd(in[1]);
    closeFd(out[0]);
    if (overtime || cancelled) kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (cancelled) return failed("the server stopped before the check ended");
    if (overtime) return failed("the check ran past its time");
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        if (sig == SIGSYS) return failed("the check made a forbidden system call");
        return failed(sig == SIGXCPU || sig == SIGKILL ? "the check ran out of CPU time"
                                                       : std::string("the check died of signal ") + std::to_string(sig));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return failed("the check failed (memory or input)");
    return ResimVerdict::fromLine(reply);
}
