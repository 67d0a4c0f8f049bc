#pragma once
#include <string>
#include <vector>
#include "app/Log.h"

// A log that keeps its lines in memory as "Source: message" (no file, no clock), so tests can
// compare what a unit logged, in order.
class RecordingLog : public Log {
public:
    RecordingLog() : Log("") {}
    void Write(const std::string& source, int, const std::string& message) override {
        lines.push_back(source + ": " + message);
    }
    std::vector<std::string> lines;
};
