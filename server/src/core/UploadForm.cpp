#include "core/UploadForm.h"
#include <sstream>
#include "core/PlayInput.h"
#include "core/TextRules.h"
#include "records/GameMode.h"
#include "records/Score.h"

namespace {
struct FieldSpec {
    const char* key;
    std::string UploadFields::*value;
    bool UploadFields::*seen;
    std::size_t limit;
};
// max_file_size and unknown fields are read over and ignored (still bounded by the body).
const FieldSpec kFields[] = {
    {"name", &UploadFields::name, &UploadFields::hasName, textrules::kMaxName},
    {"pass", &UploadFields::pass, &UploadFields::hasPass, textrules::kMaxDigest},
    {"message", &UploadFields::message, &UploadFields::hasMessage, textrules::kMaxComment},
    {"replay_file", &UploadFields::replay, &UploadFields::hasReplay, kMaxUploadBody},
};

std::uint32_t u32At(const std::string& s, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24;
}

// The file is laid out exactly as the game writes it: a header of the game's size, and nothing
// after the last stage's trace. The reader is lenient about both (it skips an oversized header
// and stops after the traces), so a file that reads well can still carry bytes no play uses, and
// whatever is stored is served again to everyone. Called on a file Score::read accepted.
const char* layoutFault(const std::string& file, int stages) {
    if (u32At(file, Score::kMagicBytes) != static_cast<std::uint32_t>(ScoreHeader::kBytes))
        return "header size is not the game's";
    std::uint64_t at = Score::kMagicBytes + 4 + ScoreHeader::kBytes + 8ull * static_cast<std::uint64_t>(stages);
    for (int i = 0; i < stages; ++i) {
        if (at + 4 > file.size()) return "cut short";  // cannot happen after a good read
        at += 4 + 4ull * u32At(file, static_cast<std::size_t>(at));
    }
    if (at != file.size()) return "bytes after the last trace";
    return nullptr;
}
}  // namespace

bool UploadCollector::spoil(std::string why) {
    if (problem_.empty()) problem_ = std::move(why);
    return false;
}

bool UploadCollector::add(std::string_view key, std::uint64_t offset, std::string_view data) {
    if (spoilt()) return false;
    // The parser announces a field with an empty piece when the segment it has ends inside the
    // field's first bytes, then hands over those bytes at offset 0 again: an empty piece says
    // nothing, wherever it comes.
    if (data.empty()) return true;
    for (const FieldSpec& f : kFields) {
        if (key != f.key) continue;
        std::string& value = fields_.*f.value;
        if (offset == 0) {
            if (fields_.*f.seen) return spoil(std::string("field ") + f.key + " given twice");
            fields_.*f.seen = true;
        } else if (offset != value.size()) {
            return spoil(std::string("field ") + f.key + " arrived out of order");
        }
        if (value.size() + data.size() > f.limit) return spoil(std::string("field ") + f.key + " too long");
        value.append(data);
        return true;
    }
    return true;
}

FormEnd::FormEnd(std::string_view boundary) : closing_("--" + std::string(boundary) + "--") {}

std::string FormEnd::boundaryOf(std::string_view type) {
    const std::size_t at = type.find("boundary=");
    if (at == std::string_view::npos) return {};
    std::string_view b = type.substr(at + 9);
    if (!b.empty() && b.front() == '"') {
        const std::size_t close = b.find('"', 1);
        return close == std::string_view::npos ? std::string() : std::string(b.substr(1, close - 1));
    }
    const std::size_t stop = b.find_first_of("; \t");
    return std::string(b.substr(0, stop));
}

std::size_t FormEnd::take(std::string_view piece) {
    if (ended_) return 0;
    const std::string window = tail_ + std::string(piece);
    const std::size_t at = window.find(closing_);
    if (at != std::string::npos) {
        ended_ = true;
        const std::size_t end = at + closing_.size();
        return end > tail_.size() ? end - tail_.size() : 0;
    }
    const std::size_t keep = closing_.size() - 1;
    tail_ = window.size() > keep ? window.substr(window.size() - keep) : window;
    return piece.size();
}

UploadCheck checkUpload(const UploadFields& fields, std::int64_t maxFrames) {
    UploadCheck check;
    auto refuse = [&](std::string why) {
        check.problem = std::move(why);
        return check;
    };
    if (!fields.hasName || !fields.hasPass || !fields.hasReplay) return refuse("a field is missing");
    if (!textrules::validName(fields.name)) return refuse("name refused");
    if (!textrules::validDigest(fields.pass)) return refuse("password digest refused");
    if (!textrules::validComment(fields.message)) return refuse("comment refused");

    Score record(nullptr);
    std::istringstream in(fields.replay);
    if (!record.read(in)) return refuse("not a replay file");
    const ScoreHeader h = record.getHeader();
    if (const char* fault = layoutFault(fields.replay, h.stages)) return refuse(std::string("replay file: ") + fault);
    if (h.version == 0) return refuse("version 0 is not ranked");
    if (h.version != replayVersionOf(h.gameMode)) return refuse("version does not fit the mode");
    if (h.stages < 1) return refuse("no stage recorded");
    if (h.frames <= 0 || h.frames > maxFrames) return refuse("frame count out of bounds");
    std::int64_t polls = 0;
    for (int i = 0; i < h.stages; ++i) polls += record.trace(i).polls();
    if (polls > maxFrames) return refuse("input runs longer than the frame bound");
    // The play's first frame and its last read no input, and every stage's trace opens with one
    // run more than the polls it saw: a play of F frames over S stages holds at most F - 2 + S
    // polls. Anything past that is padding no play can read.
    if (polls > static_cast<std::int64_t>(h.frames) - 2 + h.stages) return refuse("input runs past the play's last frame");

    check.ok = true;
    check.request = {fields.name, fields.pass, fields.message, fields.replay, h, playInputKey(record, h.frames), {}};
    return check;
}
