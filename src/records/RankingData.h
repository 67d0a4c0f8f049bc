#pragma once
#include <cstdio>
#include <map>
#include <string>
#include <vector>

class Log;

// One entry of a ranking list: named text fields ("rank", "username", "score", "stage",
// "regist_date", "id", "comment", and whatever else the server sends).
using RankingRecord = std::map<std::string, std::string>;

// The ranking list of one game mode as the server last sent it, in the server's order. Nothing is
// ranked here; the list is shown as it comes.
//
// File: text lines of at most 998 characters, a key line then its value line, each record closed
// by an empty line. A downloaded file ends with one zero byte after the server's text.
class RankingData {
public:
    explicit RankingData(Log* log);
    virtual ~RankingData() = default;

    // Replaces the list with the records of the file; always true.
    virtual bool parse(std::FILE* file);
    // False, with the list unchanged, when the file cannot be opened or read.
    virtual bool load(const std::string& fileName);

    const std::vector<RankingRecord>& records() const { return records_; }
    std::size_t size() const { return records_.size(); }
    const RankingRecord& operator[](std::size_t i) const { return records_[i]; }
    // The value of key in record i, or "" when either is missing.
    std::string value(std::size_t i, const std::string& key) const;

private:
    std::vector<RankingRecord> records_;
    Log* log_;
};
