#include "records/Score.h"
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>
#include "app/AtomicFile.h"
#include "app/Log.h"
#include "combat/CharacterPlayer.h"
#include "input/Input.h"
#include "play/GameInfo.h"
#include "records/GameMode.h"

namespace {
constexpr const char* kSource = "score";

void putInt32(std::vector<unsigned char>& out, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(u >> (8 * i)));
}

void putUint16(std::vector<unsigned char>& out, std::uint16_t v) {
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

std::int32_t int32At(const unsigned char* p) {
    return static_cast<std::int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

// Reads exactly n bytes or reports failure; never reads further than asked.
bool readExactly(std::istream& in, void* to, std::size_t n) {
    in.read(static_cast<char*>(to), static_cast<std::streamsize>(n));
    return static_cast<std::size_t>(in.gcount()) == n;
}

bool readInt32(std::istream& in, std::int32_t& v) {
    unsigned char b[4];
    if (!readExactly(in, b, 4)) return false;
    v = int32At(b);
    return true;
}

// One run as it goes to the file. A run longer than the 16-bit field becomes several runs of the
// same state: replaying (65535, S) then (r, S) holds S for exactly as many polls as one run
// (65536 + r, S) would, and presses nothing new, so long plays replay exactly.
void putRun(std::vector<unsigned char>& out, const InputRun& run, std::int32_t& runCount) {
    const std::uint16_t bits = run.buttonBits();
    std::int64_t polls = static_cast<std::int64_t>(run.repeat < 0 ? 0 : run.repeat) + 1;
    while (polls > 0) {
        const std::int64_t take = polls > Score::kMaxFileRepeat + 1 ? Score::kMaxFileRepeat + 1 : polls;
        putUint16(out, static_cast<std::uint16_t>(take - 1));
        putUint16(out, bits);
        ++runCount;
        polls -= take;
    }
}
}  // namespace

Score::Score(Log* log) : log_(log) {}

Score::Score(const Score& other, Log* log) : Score(other) { log_ = log; }

Score& Score::operator=(const Score& other) {
    if (this == &other) return *this;
    header_ = other.header_;
    for (int i = 0; i < kMaxStages; ++i) {
        stageStart_[i] = other.stageStart_[i];
        traces_[i] = other.traces_[i];
    }
    return *this;
}

Score& Score::operator=(Score&& other) noexcept {
    if (this == &other) return *this;
    header_ = other.header_;
    for (int i = 0; i < kMaxStages; ++i) {
        stageStart_[i] = other.stageStart_[i];
        traces_[i] = std::move(other.traces_[i]);
    }
    return *this;
}

std::vector<unsigned char> Score::toBytes() const {
    std::vector<unsigned char> out;
    const std::int32_t n = header_.stages;
    // The record holds ten stages; anything else cannot be written without inventing data.
    if (n < 0 || n > kMaxStages) return out;

    for (int i = 0; i < kMagicBytes; ++i) out.push_back(static_cast<unsigned char>(kMagic[i]));  // with its zero
    putInt32(out, ScoreHeader::kBytes);
    for (std::int32_t v : {header_.version, header_.gameMode, header_.score, header_.stages, header_.lives,
                           header_.valid, header_.elapsedMs, header_.frames})
        putInt32(out, v);
    for (int i = 0; i < n; ++i) {
        putInt32(out, stageStart_[i].x);
        putInt32(out, stageStart_[i].y);
    }
    for (int i = 0; i < n; ++i) {
        const std::size_t countAt = out.size();
        std::int32_t runCount = 0;
        putInt32(out, 0);  // patched once the (possibly split) runs are counted
        for (const InputRun& run : traces_[i].runs()) putRun(out, run, runCount);
        const auto u = static_cast<std::uint32_t>(runCount);
        for (int k = 0; k < 4; ++k) out[countAt + k] = static_cast<unsigned char>(u >> (8 * k));
    }
    return out;
}

bool Score::write(std::ostream& out) {
    const std::vector<unsigned char> bytes = toBytes();
    if (bytes.empty()) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool Score::save(const std::string& fileName) {
    const std::vector<unsigned char> bytes = toBytes();
    // Through a temporary file renamed over the old one: a crash while saving a new best play
    // never costs the previous one.
    if (bytes.empty() || !writeFileAtomically(fileName, bytes)) {
        if (log_) LOG_WRITE(log_, kSource, "スコアの書き出しに失敗。ファイル名：" + fileName);
        return false;
    }
    if (log_) LOG_WRITE(log_, kSource, "スコアファイル書き出し ファイル名：" + fileName);
    return true;
}

bool Score::read(std::istream& in) {
    // Everything is read into a fresh record first and taken over only when the whole file made
    // sense: a damaged file leaves this record as it was. Every count is checked before it is
    // used, and the runs are stored only as they arrive, so no number in the file can make us
    // write past the ten stages or allocate more than the file holds.
    auto damaged = [this] {
        if (log_) LOG_WRITE(log_, kSource, "スコアファイルが壊れている。");
        return false;
    };

    char magic[kMagicBytes];
    // The 18th byte is not compared: a file that has the 17 characters is a score file, and one
    // that ends right after them is a damaged one.
    const bool whole = readExactly(in, magic, kMagicBytes);
    if (in.gcount() < kMagicBytes - 1 || std::memcmp(magic, kMagic, kMagicBytes - 1) != 0) {
        if (log_) LOG_WRITE(log_, kSource, "これはスコアファイルでない。");
        return false;
    }
    if (!whole) return damaged();

    std::int32_t headerSize = 0;
    if (!readInt32(in, headerSize)) return damaged();
    unsigned char headerBytes[ScoreHeader::kBytes] = {};
    const auto size = static_cast<std::uint32_t>(headerSize);
    if (size <= static_cast<std::uint32_t>(ScoreHeader::kBytes)) {
        // A shorter header fills the first fields; the rest stay zero.
        if (!readExactly(in, headerBytes, size)) return damaged();
    } else {
        if (!readExactly(in, headerBytes, ScoreHeader::kBytes)) return damaged();
        const std::streamsize extra = static_cast<std::streamsize>(size) - ScoreHeader::kBytes;
        in.ignore(extra);
        if (in.gcount() != extra) return damaged();
    }
    ScoreHeader h;
    std::int32_t* fields[ScoreHeader::kFieldCount] = {&h.version, &h.gameMode, &h.score, &h.stages,
                                                      &h.lives,   &h.valid,    &h.elapsedMs, &h.frames};
    for (int i = 0; i < ScoreHeader::kFieldCount; ++i) *fields[i] = int32At(headerBytes + 4 * i);
    if (h.stages < 0 || h.stages > kMaxStages) return damaged();

    Point starts[kMaxStages];
    for (int i = 0; i < h.stages; ++i)
        if (!readInt32(in, starts[i].x) || !readInt32(in, starts[i].y)) return damaged();

    InputTrace traces[kMaxStages];
    constexpr std::size_t kChunkRuns = 1024;
    unsigned char chunk[kChunkRuns * 4];
    for (int i = 0; i < h.stages; ++i) {
        std::int32_t runCount = 0;
        if (!readInt32(in, runCount) || runCount < 0) return damaged();
        std::size_t left = static_cast<std::size_t>(runCount);
        while (left > 0) {
            const std::size_t take = left < kChunkRuns ? left : kChunkRuns;
            if (!readExactly(in, chunk, take * 4)) return damaged();
            for (std::size_t k = 0; k < take; ++k) {
                const unsigned char* p = chunk + 4 * k;
                traces[i].append(InputRun::fromBits(p[0] | (p[1] << 8), static_cast<std::uint16_t>(p[2] | (p[3] << 8))));
            }
            left -= take;
        }
    }

    header_ = h;
    for (int i = 0; i < kMaxStages; ++i) {
        stageStart_[i] = starts[i];
        traces_[i] = std::move(traces[i]);
    }
    return true;
}

bool Score::load(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        if (log_) LOG_WRITE(log_, kSource, "スコアの読み出しに失敗。ファイル名：" + fileName);
        return false;
    }
    const bool ok = read(in);
    in.close();
    if (log_) LOG_WRITE(log_, kSource, "スコアファイル読み込み ファイル名：" + fileName);
    return ok;
}

void Score::fillFromPlay(GameInfo& info) {
    header_.stages = info.GetStage();
    header_.valid = 1;
    header_.gameMode = info.GetGameMode();
    CharacterPlayer* player = info.GetPlayer();
    header_.lives = player ? player->GetLives() : 0;
    header_.score = info.GetItemCount();
    header_.version = replayVersionOf(header_.gameMode);
}

void Score::setHeader(ScoreHeader header) { header_ = header; }
ScoreHeader Score::getHeader() { return header_; }
std::int32_t Score::getScore() { return header_.score; }

void Score::stageBoundary(std::int32_t stage, Input& input, GameInfo& info) {
    if (info.IsReplay()) {
        input.endReplay();
        if (stage >= 0 && stage < kMaxStages) input.startReplay(traceFor(stage + 1));
        return;
    }
    Point at;
    if (CharacterPlayer* player = info.GetPlayer()) at = player->GetPosition();
    InputTrace trace = input.endTrace();
    storeStage(stage, std::move(trace), at.x, at.y);
    input.startTrace();
}

void Score::storeStage(std::int32_t stage, InputTrace trace, Fixed16 x, Fixed16 y) {
    if (log_) LOG_VALUE(log_, kSource, "スコアにトレースを記録　ステージ", stage);
    if (stage >= 0 && stage < kMaxStages) stageStart_[stage] = {x, y};
    // At the first boundary of a play the trace that was never started lands at -1 and is dropped.
    if (stage >= 1 && stage <= kMaxStages) traces_[stage - 1] = std::move(trace);
}

InputTrace Score::traceFor(std::int32_t n) {
    if (log_) LOG_VALUE(log_, kSource, "スコアからトレースを取得　ステージ", n);
    if (n >= 1 && n <= kMaxStages) return traces_[n - 1];
    return {};
}

const InputTrace& Score::trace(int i) const {
    static const InputTrace kEmpty;
    return (i >= 0 && i < kMaxStages) ? traces_[i] : kEmpty;
}
