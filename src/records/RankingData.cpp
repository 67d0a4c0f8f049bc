#include "records/RankingData.h"
#include <cstring>
#include "app/Log.h"

namespace {
constexpr const char* kSource = "RankingData";
constexpr int kLineBuffer = 1000;  // 998 characters, the line end and the terminator

// One line without its line end; a read that finds nothing (end of file) gives an empty line.
// The text ends at a zero byte, so the zero byte that closes a downloaded file reads as an empty
// line. The line end is the last character; a CR before it goes too, as it would in the text mode
// the lists were first written in.
std::string readLine(std::FILE* file) {
    char buffer[kLineBuffer];
    if (!std::fgets(buffer, kLineBuffer, file)) return {};
    std::size_t n = std::strlen(buffer);
    if (n > 0 && buffer[n - 1] == '\n') {
        --n;
        if (n > 0 && buffer[n - 1] == '\r') --n;
    } else if (n > 0) {
        --n;  // no line end (a last line, or one longer than the buffer): its last character goes
    }
    return std::string(buffer, n);
}
}  // namespace

RankingData::RankingData(Log* log) : log_(log) {}

bool RankingData::parse(std::FILE* file) {
    records_.clear();
    RankingRecord current;
    while (!std::feof(file) && !std::ferror(file)) {
        std::string key = readLine(file);
        if (!key.empty()) {
            current[key] = readLine(file);
            continue;
        }
        records_.push_back(std::move(current));
        current = RankingRecord{};
    }
    // A file that ends inside a record (its last line has no line end) leaves that record open;
    // it is closed here so that the removal below drops it, and not the complete one before it.
    if (!current.empty()) records_.push_back(std::move(current));
    // The end of the input always closes one record too many: the empty one after the zero byte,
    // or a last record that lacked its empty line.
    if (!records_.empty()) records_.pop_back();
    return true;
}

bool RankingData::load(const std::string& fileName) {
    std::FILE* file = std::fopen(fileName.c_str(), "r");
    if (!file) {
        LOG_WRITE(log_, kSource, "ランキングの読み出しに失敗。ファイル名：" + fileName);
        return false;
    }
    // Parsed aside first: a file that opens but cannot be read (a folder in its place, a failing
    // disk) is a failed read that leaves the list as it was, not an empty list.
    RankingData fresh(log_);
    fresh.parse(file);
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError) {
        LOG_WRITE(log_, kSource, "ランキングの読み出しに失敗。ファイル名：" + fileName);
        return false;
    }
    records_ = std::move(fresh.records_);
    LOG_WRITE(log_, kSource, "ランキングファイル読み込み ファイル名：" + fileName);
    return true;
}

std::string RankingData::value(std::size_t i, const std::string& key) const {
    if (i >= records_.size()) return {};
    const auto it = records_[i].find(key);
    return it == records_[i].end() ? std::string() : it->second;
}
