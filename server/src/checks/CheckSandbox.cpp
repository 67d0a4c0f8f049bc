#include "checks/CheckSandbox.h"
#include <fcntl.h>
#include <seccomp.h>
#include <cerrno>
#include <unistd.h>
#include <initializer_list>

namespace {
// Everything else kills. The memory calls cover the allocator (and the sanitizers' own); the
// clock and sleep calls cover the sanitizers' background thread, which looks at the resident
// memory now and then.
constexpr int kAllowed[] = {
    SCMP_SYS(brk),           SCMP_SYS(mmap),          SCMP_SYS(munmap),       SCMP_SYS(mremap),
    SCMP_SYS(madvise),       SCMP_SYS(mprotect),      SCMP_SYS(futex),        SCMP_SYS(sched_yield),
    SCMP_SYS(getpid),        SCMP_SYS(gettid),        SCMP_SYS(getrusage),    SCMP_SYS(clock_gettime),
    SCMP_SYS(gettimeofday),  SCMP_SYS(nanosleep),     SCMP_SYS(clock_nanosleep), SCMP_SYS(rt_sigprocmask),
    SCMP_SYS(rt_sigreturn),  SCMP_SYS(sigaltstack),   SCMP_SYS(close),        SCMP_SYS(exit),
    SCMP_SYS(exit_group),
    // A thread started just before the filter (the sanitizers' own) registers itself as it runs.
    SCMP_SYS(rseq),          SCMP_SYS(set_robust_list),
};

class Filter {
public:
    Filter() : ctx_(seccomp_init(SCMP_ACT_KILL_PROCESS)) {}
    ~Filter() {
        if (ctx_) seccomp_release(ctx_);
    }
    Filter(const Filter&) = delete;
    Filter& operator=(const Filter&) = delete;
    scmp_filter_ctx get() const { return ctx_; }

private:
    scmp_filter_ctx ctx_;
};
}  // namespace

bool enterCheckSandbox() {
    Filter filter;
    scmp_filter_ctx f = filter.get();
    if (!f) return false;
    // Every thread (the sanitizers run one of their own), and no way back through a set-user-ID
    // program (libseccomp sets no_new_privs itself; said here so that it is never turned off).
    if (seccomp_attr_set(f, SCMP_FLTATR_CTL_TSYNC, 1) != 0 || seccomp_attr_set(f, SCMP_FLTATR_CTL_NNP, 1) != 0)
        return false;
    for (int call : kAllowed)
        if (seccomp_rule_add(f, SCMP_ACT_ALLOW, call, 0) != 0) return false;
#ifndef __SANITIZE_ADDRESS__
    // Reading only the replay's pipe, writing only the verdict and the sanitizers' reports.
    if (seccomp_rule_add(f, SCMP_ACT_ALLOW, SCMP_SYS(read), 1, SCMP_A0(SCMP_CMP_EQ, STDIN_FILENO)) != 0) return false;
    for (int fd : {STDOUT_FILENO, STDERR_FILENO})
        if (seccomp_rule_add(f, SCMP_ACT_ALLOW, SCMP_SYS(write), 1, SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(fd))) != 0)
            return false;
#else
    // A sanitizer build (tests only) checks whether memory is readable by writing it into a pipe of
    // its own (before each dynamic type check, among others): pipes, and reading and writing any
    // descriptor, are allowed there. Still no socket, no file, no program.
    for (int call : {SCMP_SYS(pipe2), SCMP_SYS(pipe), SCMP_SYS(read), SCMP_SYS(write)})
        if (seccomp_rule_add(f, SCMP_ACT_ALLOW, call, 0) != 0) return false;
#endif
    // Opening to read: "no such file"; opening to write, create or truncate: killed (the default).
    const scmp_datum_t writing = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND | (O_TMPFILE & ~O_DIRECTORY);
    if (seccomp_rule_add(f, SCMP_ACT_ERRNO(ENOENT), SCMP_SYS(openat), 1, SCMP_A2(SCMP_CMP_MASKED_EQ, writing, 0)) != 0 ||
        seccomp_rule_add(f, SCMP_ACT_ERRNO(ENOENT), SCMP_SYS(open), 1, SCMP_A1(SCMP_CMP_MASKED_EQ, writing, 0)) != 0)
        return false;
    return seccomp_load(f) == 0;
}
