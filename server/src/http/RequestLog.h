#pragma once
#include <chrono>
#include <mutex>
#include <string>
#include <string_view>

// The one line per request, written to a descriptor (standard error in service). Writing a line
// costs a system call, as much as answering a list from memory; so while requests come close
// together the routine lines (answers that went as they should) are gathered and written together.
// A routine line waits only when another line was written less than `gather` before it, and
// never longer than until the next flush() (the server calls it a few times a second), the next
// urgent line or a full buffer. Urgent lines (uploads, errors, cut connections) are written at
// once, after everything gathered before them, so the log keeps the order of the answers. Lines
// are never split: each write holds whole lines.
class RequestLog {
public:
    explicit RequestLog(int fd, std::chrono::milliseconds gather = std::chrono::milliseconds(50))
        : fd_(fd), gather_(gather), lastWrite_(Clock::now() - gather) {}
    ~RequestLog() { flush(); }
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    // line without its line end.
    void write(std::string_view line, bool urgent);
    // Writes what was gathered.
    void flush();

    // What is gathered before it is written whatever the time.
    static constexpr std::size_t kBuffer = 16 * 1024;

private:
    using Clock = std::chrono::steady_clock;
    void writeOut();  // under mutex_

    const int fd_;
    const std::chrono::milliseconds gather_;
    std::mutex mutex_;
    std::string pending_;
    Clock::time_point lastWrite_;
};
