#include "app/Log.h"
#include <cstdio>
#include "app/Clock.h"
#include "app/Paths.h"

namespace {
std::function<std::uint32_t()>& clockSource() {
    static std::function<std::uint32_t()> source = clockMs;
    return source;
}
}  // namespace

void Log::setClock(std::function<std::uint32_t()> clock) {
    clockSource() = clock ? std::move(clock) : std::function<std::uint32_t()>(clockMs);
}

Log::Log() : Log(gamePaths().saveFile("log.txt")) {}

Log::Log(const std::string& path) {
    if (!path.empty()) out_.open(path, std::ios::out | std::ios::trunc);
    Write("Log", __LINE__, "########## constract log ##########");
}

Log::~Log() {
    Write("Log", __LINE__, "##########  destract log ##########");
}

void Log::WriteValue(const std::string& sourceFile, int line, const std::string& name, std::int32_t value) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%x", static_cast<unsigned>(value));
    Write(sourceFile, line, name + " = " + digits);
}

void Log::Write(const std::string& sourceFile, int line, const std::string& message) {
    if (!out_.good()) return;
    char head[48];
    std::snprintf(head, sizeof head, "(%06d) - %08x : ", line, static_cast<unsigned>(clockSource()()));
    out_ << sourceFile << head << message << '\n';
    out_.flush();
}
