#include "http/RequestLog.h"
#include <unistd.h>
#include <cerrno>

void RequestLog::write(std::string_view line, bool urgent) {
    std::lock_guard lock(mutex_);
    pending_.append(line).push_back('\n');
    const auto now = Clock::now();
    if (urgent || pending_.size() >= kBuffer || now - lastWrite_ >= gather_) {
        writeOut();
        lastWrite_ = now;
    }
}

void RequestLog::flush() {
    std::lock_guard lock(mutex_);
    writeOut();
}

void RequestLog::writeOut() {
    std::size_t done = 0;
    while (done < pending_.size()) {
        const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // a log that cannot be written is dropped; the server goes on serving
        done += static_cast<std::size_t>(n);
    }
    pending_.clear();
}
