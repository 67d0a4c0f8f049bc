#pragma once
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>

// The trace of start-up, shutdown, loading and failures in ./data/log.txt (UTF-8).
// Line format: source(%06d line) - %08x clock : message
class Log {
public:
    // Opens ./data/log.txt (truncating); a missing ./data silently drops every line.
    Log();
    // Opens the given path instead (tests); an empty path gives a log that drops everything.
    explicit Log(const std::string& path);
    virtual ~Log();
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    virtual void WriteValue(const std::string& sourceFile, int line, const std::string& name, std::int32_t value);
    virtual void Write(const std::string& sourceFile, int line, const std::string& message);

    // The millisecond clock written on each line; replaceable for tests.
    static void setClock(std::function<std::uint32_t()> clock);

private:
    std::ofstream out_;
};

// Logs with the calling line number: LOG_WRITE(log, "Draw", "message").
#define LOG_WRITE(logPtr, source, message) (logPtr)->Write((source), __LINE__, (message))
#define LOG_VALUE(logPtr, source, name, value) (logPtr)->WriteValue((source), __LINE__, (name), (value))
