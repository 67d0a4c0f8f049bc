#include "core/PlayInput.h"
#include <sodium.h>
#include <vector>
#include "records/Score.h"

namespace {
void put32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
void put64(std::vector<unsigned char>& out, std::uint64_t v) {
    put32(out, static_cast<std::uint32_t>(v));
    put32(out, static_cast<std::uint32_t>(v >> 32));
}
}  // namespace

std::string playInputKey(const Score& score, std::int64_t frames) {
    Score record(score, nullptr);
    const ScoreHeader h = record.getHeader();
    std::vector<unsigned char> bytes;
    put32(bytes, static_cast<std::uint32_t>(h.gameMode));
    // The first frame polls before the first trace starts: a play of F frames reads F - 1 polls.
    std::int64_t left = frames > 1 ? frames - 1 : 0;
    const int stages = h.stages < 0 ? 0 : h.stages > Score::kMaxStages ? Score::kMaxStages : h.stages;
    for (int s = 0; s < stages; ++s) {
        // Runs of one state, merged and cut at the polls the play can read.
        std::vector<std::pair<std::uint16_t, std::int64_t>> runs;
        for (const InputRun& run : record.trace(s).runs()) {
            if (left <= 0) break;
            const std::int64_t polls = std::min<std::int64_t>(static_cast<std::int64_t>(run.repeat) + 1, left);
            left -= polls;
            const std::uint16_t bits = run.buttonBits();
            if (!runs.empty() && runs.back().first == bits) runs.back().second += polls;
            else runs.emplace_back(bits, polls);
        }
        put32(bytes, 0xFFFFFFFFu);  // stage separator: no run is written with these bits
        put32(bytes, static_cast<std::uint32_t>(runs.size()));
        for (const auto& [bits, polls] : runs) {
            put32(bytes, bits);
            put64(bytes, static_cast<std::uint64_t>(polls));
        }
    }
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, bytes.data(), bytes.size());
    static const char* const kHex = "0123456789abcdef";
    std::string out;
    for (unsigned char c : digest) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}
