#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include "records/ScoreHeader.h"

// The upload form as the multipart parser hands it over, field by field and piece by piece, and
// the checks that need neither the database nor the simulation. Nothing here touches a socket,
// so a fuzzer can drive it directly.

// The largest request body the server reads; a larger upload is refused before it is read.
constexpr std::size_t kMaxUploadBody = 1024 * 1024;
// Ten hours of play at 60 frames a second.
constexpr std::int64_t kDefaultMaxFrames = 60LL * 60 * 60 * 10;

struct UploadFields {
    std::string name, pass, message, replay;
    bool hasName = false, hasPass = false, hasMessage = false, hasReplay = false;
};

// Gathers the fields of one form. Each field is bounded; a field over its bound, or one of the
// known fields given twice, spoils the form (every later piece is refused).
class UploadCollector {
public:
    // One piece of field key: offset is the number of bytes of this field already delivered
    // (0 starts a field). Empty pieces are ignored (so a field given empty counts as not given).
    // False when the form is spoilt.
    bool add(std::string_view key, std::uint64_t offset, std::string_view data);
    bool spoilt() const { return !problem_.empty(); }
    const std::string& problem() const { return problem_; }
    const UploadFields& fields() const { return fields_; }

private:
    bool spoil(std::string why);
    UploadFields fields_;
    std::string problem_;
};

// Where a multipart form ends: its first closing delimiter. The game's client sends the closing
// delimiter twice; what follows the first is not part of the form and is not handed to the parser.
class FormEnd {
public:
    explicit FormEnd(std::string_view boundary);
    // The boundary named by a Content-Type value (quotes removed); empty when there is none.
    static std::string boundaryOf(std::string_view contentType);
    // How many bytes at the start of the next piece of the body belong to the form: all of them
    // until the closing delimiter has passed, none afterwards.
    std::size_t take(std::string_view piece);
    bool ended() const { return ended_; }

private:
    std::string closing_;  // "--" boundary "--"
    std::string tail_;     // the last bytes seen, in case the delimiter straddles two pieces
    bool ended_ = false;
};

// A form that passed every check that needs no database and no simulation.
struct UploadRequest {
    std::string name, digest, comment, replay;
    ScoreHeader header;    // as claimed by the replay file
    std::string inputKey;  // playInputKey of the replay, for the claimed frame count
    std::string address;   // the client's, as the limits count it (IpAddress::limitKey)
};

struct UploadCheck {
    bool ok = false;
    std::string problem;  // why it was refused, for the log
    UploadRequest request;
};

// Names, digest and comment by the text rules; the replay must be a whole replay file laid out
// byte for byte as the game writes one (its header size, nothing after the last trace), of a ranked
// mode (version 104..107 matching its mode), at least one stage, and claim and hold no more than
// maxFrames frames (the stage traces are counted, so a file whose runs add up to more is refused
// without simulating it). Input past the claimed last frame is refused too: the play never reads
// it, and it would only dress a known play up as another.
UploadCheck checkUpload(const UploadFields& fields, std::int64_t maxFrames = kDefaultMaxFrames);
