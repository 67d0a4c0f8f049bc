#pragma once
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>
#include "app/Fixed16.h"
#include "input/InputTrace.h"
#include "records/ScoreHeader.h"

class Log;
class Input;
class GameInfo;

// The record of one play: its result, the ship's position at the start of every stage and the
// input trace of every stage. Built while a play is recorded, drives the input stage by stage
// while it is replayed, and is stored as a replay file:
//
//   18 bytes  "NimbulonScoreFile" and a zero byte
//   int32     headerSize (32)
//   32 bytes  the eight header fields
//   8 x n     stageStart[0..n-1], int32 x then int32 y     (n = header.stages)
//   n traces  int32 runCount, then runCount x (uint16 repeat, uint16 button bits)
//
// all little-endian. Copied by value between scenes.
class Score {
public:
    static constexpr int kMaxStages = 10;
    static constexpr char kMagic[] = "NimbulonScoreFile";  // 17 characters, then a zero byte on file
    static constexpr int kMagicBytes = 18;
    // The file's repeat field holds 16 bits; longer runs are written as several runs.
    static constexpr std::int32_t kMaxFileRepeat = 0xFFFF;

    // log: not owned; may be null (nothing is logged then).
    explicit Score(Log* log);
    virtual ~Score() = default;
    // A copy logs where the original did, unless it is given a log of its own. Assigning copies the
    // play only: the record keeps its own log, so a record handed from scene to scene never ends up
    // writing to a log that belonged to a record that has since gone.
    Score(const Score& other) = default;
    Score(Score&& other) = default;
    Score(const Score& other, Log* log);
    Score& operator=(const Score& other);
    Score& operator=(Score&& other) noexcept;

    // The file format above. False (nothing written) when header.stages is outside 0..10.
    virtual bool write(std::ostream& out);
    virtual bool save(const std::string& fileName);
    // False, with the record unchanged, for anything that is not a whole, well-formed replay file.
    virtual bool read(std::istream& in);
    virtual bool load(const std::string& fileName);
    // The result of the play that just ended; elapsedMs and frames are the play scene's to set.
    virtual void fillFromPlay(GameInfo& info);
    virtual void setHeader(ScoreHeader header);
    virtual ScoreHeader getHeader();
    virtual std::int32_t getScore();
    // At the start of the first stage (stage 0), at each clear (the cleared stage) and at the end
    // of a recorded play (the current stage): closes the running trace and starts the next, or
    // switches the replay to the next stage's trace.
    virtual void stageBoundary(std::int32_t stage, Input& input, GameInfo& info);
    virtual void storeStage(std::int32_t stage, InputTrace trace, Fixed16 x, Fixed16 y);
    // The trace of stage n (1-based); empty outside 1..10.
    virtual InputTrace traceFor(std::int32_t n);

    // The file's bytes (the same as write produces); empty when the record cannot be written.
    std::vector<unsigned char> toBytes() const;
    Point stageStart(int i) const { return (i >= 0 && i < kMaxStages) ? stageStart_[i] : Point{}; }
    const InputTrace& trace(int i) const;

private:
    Log* log_;
    ScoreHeader header_;
    Point stageStart_[kMaxStages];
    InputTrace traces_[kMaxStages];
};
