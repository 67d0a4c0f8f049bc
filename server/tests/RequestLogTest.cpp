#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <string>
#include "http/RequestLog.h"

namespace {
// A pipe standing in for standard error; read() takes what has been written so far.
struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() {
        EXPECT_EQ(pipe(fds), 0);
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
    }
    ~Pipe() {
        close(fds[0]);
        close(fds[1]);
    }
    std::string read() const {
        std::string out;
        char buffer[4096];
        for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<std::size_t>(n));
        return out;
    }
};

TEST(RequestLog, RoutineLinesOfABusyMomentWaitAndNothingIsReorderedOrLost) {
    Pipe out;
    {
        RequestLog log(out.fds[1], std::chrono::hours(1));
        log.write("a 200", false);
        EXPECT_EQ(out.read(), "a 200\n") << "the first line after a quiet spell goes at once";
        log.write("b 200", false);
        log.write("c 200", false);
        EXPECT_EQ(out.read(), "");
        log.write("d 500", true);
        EXPECT_EQ(out.read(), "b 200\nc 200\nd 500\n") << "an urgent line comes after everything before it";
        log.write("e 200", false);
        log.flush();
        EXPECT_EQ(out.read(), "e 200\n");

        // A full buffer is written whatever the time, whole lines only.
        const std::string line(100, 'x');
        std::string expected;
        while (expected.size() < RequestLog::kBuffer) {
            log.write(line, false);
            expected += line + "\n";
        }
        EXPECT_EQ(out.read(), expected);
        log.write("f 200", false);
    }
    EXPECT_EQ(out.read(), "f 200\n") << "the last lines are written when the log closes";

    RequestLog eager(out.fds[1], std::chrono::milliseconds(0));
    eager.write("g", false);
    eager.write("h", false);
    EXPECT_EQ(out.read(), "g\nh\n") << "without gathering every line goes at once";
}
}  // namespace
