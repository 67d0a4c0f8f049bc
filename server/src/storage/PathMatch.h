#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What both backends share in finding a stored play with the same path as an upload: the keys
// asked for, and the comparison of the plays those keys bring back.
namespace pathmatch {

// A stored play that shares keys with the upload.
struct Candidate {
    std::int64_t play = 0, player = 0;
    std::string path;  // PlayPath::encode
    std::string name;  // the player's
};

// The candidates a backend fetches for one upload: those sharing the most keys first.
constexpr int kMostCandidates = 16;

// The keys to ask for (a few of pathKeys, spread over the play); empty when the path is too short
// to be anything's copy or cannot be read.
std::vector<std::int64_t> lookup(std::int32_t mode, std::int32_t version, const std::string& path);
// All of its keys, to store with it.
std::vector<std::int64_t> keys(std::int32_t mode, std::int32_t version, const std::string& path);
// The first candidate that is the same play as the path; null when none is.
const Candidate* samePlay(const std::vector<Candidate>& candidates, const std::string& path);

// "[1,2,3]" and "{1,2,3}": a key list as one parameter (SQLite's json_each, PostgreSQL's array).
std::string jsonList(const std::vector<std::int64_t>& keys);
std::string arrayLiteral(const std::vector<std::int64_t>& keys);

}  // namespace pathmatch
