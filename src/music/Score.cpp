#include "music/Score.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace midiplayer {

namespace {

const char* const kReadFailed = "Read failed. Broken file.";

// Big-endian readers over a file opened with fopen("rb"). Every length read from the file is
// checked against the bytes that remain, so a hostile file can neither make us allocate more than
// its own size nor read past its end.
class FileReader {
public:
    explicit FileReader(std::FILE* f) : f_(f) {
        if (std::fseek(f_, 0, SEEK_END) == 0) {
            const long size = std::ftell(f_);
            size_ = size > 0 ? static_cast<std::uint64_t>(size) : 0;
        }
        std::fseek(f_, 0, SEEK_SET);
    }
    ~FileReader() { std::fclose(f_); }

    std::uint64_t remaining() const { return pos_ < size_ ? size_ - pos_ : 0; }

    // Reads up to n bytes; returns how many were read.
    std::size_t readSome(void* out, std::size_t n) {
        const std::size_t got = std::fread(out, 1, n, f_);
        pos_ += got;
        return got;
    }
    void readExact(void* out, std::size_t n) {
        if (readSome(out, n) != n) throw Score::ScoreException(kReadFailed);
    }
    bool tryByte(std::uint8_t& b) { return readSome(&b, 1) == 1; }
    std::uint8_t byte() {
        std::uint8_t b;
        if (!tryByte(b)) throw Score::ScoreException(kReadFailed);
        return b;
    }
    std::uint16_t u16() {
        std::uint8_t b[2];
        readExact(b, 2);
        return static_cast<std::uint16_t>(b[0] << 8 | b[1]);
    }
    std::uint32_t u32() {
        std::uint8_t b[4];
        readExact(b, 4);
        return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
    }
    // Variable-length quantity of any number of bytes (it ends at the file's end at the latest).
    // The value saturates instead of wrapping; callers reject what does not fit.
    std::uint64_t vlq() {
        std::uint64_t value = 0;
        for (;;) {
            const std::uint8_t b = byte();
            if (value < (std::uint64_t{1} << 48)) value = value * 128 + (b & 0x7F);
            if ((b & 0x80) == 0) return value;
        }
    }
    // Skips n bytes from the current position (past the end is allowed: later reads fail).
    void skip(std::uint64_t n) {
        const std::uint64_t target = pos_ + n;
        if (n > 0 && std::fseek(f_, static_cast<long>(std::min<std::uint64_t>(target, size_ + 1)), SEEK_SET) != 0)
            throw Score::ScoreException(kReadFailed);
        pos_ = target;
    }
    // A data length read from the file: it must fit in what remains.
    std::uint32_t dataLength() {
        const std::uint64_t n = vlq();
        if (n > remaining()) throw Score::ScoreException(kReadFailed);
        return static_cast<std::uint32_t>(n);
    }

private:
    std::FILE* f_;
    std::uint64_t size_ = 0;
    std::uint64_t pos_ = 0;
};

// Finds the next "MTrk" chunk, skipping chunks of other kinds; returns its length.
std::uint32_t findTrack(FileReader& in) {
    for (;;) {
        char id[4];
        std::uint8_t len[4];
        // No chunk left (or a cut-off one of another kind): the tracks the header announced are
        // not there. A track chunk was found, though, when its name is whole and only its length
        // is cut: that track cannot be read.
        const bool whole = in.readSome(id, 4) == 4;
        const bool isTrack = whole && std::memcmp(id, "MTrk", 4) == 0;
        if (!whole || in.readSome(len, 4) != 4) throw Score::ScoreException(isTrack ? kReadFailed : "Track not found. Broken file.");
        const std::uint32_t length = std::uint32_t{len[0]} << 24 | std::uint32_t{len[1]} << 16 | std::uint32_t{len[2]} << 8 | len[3];
        if (isTrack) return length;
        in.skip(length);
    }
}

// Reads one track up to its end-of-track event, appending its events (times non-decreasing).
void readTrack(FileReader& in, int track, std::vector<std::unique_ptr<Event>>& out) {
    std::uint64_t t = 0;
    std::uint8_t running = 0;
    std::vector<std::uint8_t> bytes;
    for (;;) {
        t += in.vlq();
        // Times are 32-bit signed ticks; a song longer than that is a broken file.
        if (t > 0x7FFFFFFF) throw Score::ScoreException(kReadFailed);
        std::uint8_t b;
        if (!in.tryByte(b)) throw Score::ScoreException(kReadFailed);

        std::unique_ptr<Event> event;
        if (b == 0xFF) {
            const std::uint8_t type = in.byte();
            const std::uint32_t n = in.dataLength();
            if (type == 0x2F) {
                in.skip(n);
                return;  // end of track: not stored
            }
            // Only a tempo's first three bytes matter; the rest of a meta event is skipped unread.
            const std::uint32_t keep = type == 0x51 ? std::min<std::uint32_t>(n, 3) : 0;
            bytes.assign(keep, 0);
            if (keep > 0) in.readExact(bytes.data(), keep);
            in.skip(n - keep);
            event = Score::makeMeta(type, bytes.data(), keep);
        } else if (b == 0xF0 || b == 0xF7) {
            const std::uint32_t n = in.dataLength();
            bytes.resize(n);
            if (n > 0) in.readExact(bytes.data(), n);
            event = Score::makeLong(b, bytes.data(), n);
        } else {
            std::uint8_t status, d1, d2 = 0;
            if (b < 0x80) {
                status = running;
                d1 = b;
            } else {
                status = running = b;
                d1 = in.byte();
            }
            const std::uint8_t kind = status & 0xF0;
            if (kind != 0xC0 && kind != 0xD0) d2 = in.byte();
            event = Score::makeShort(status, d1, d2);
        }
        event->time = static_cast<std::int32_t>(t);
        event->setTrack(track);
        out.push_back(std::move(event));
    }
}

}  // namespace

Score::Score() { addEvent(EventTempo(1000000)); }

Score::~Score() { clear(); }

void Score::clear() { events.clear(); }

void Score::addEvent(const Event& event) {
    auto p = std::find_if(events.begin(), events.end(), [&](const auto& e) { return e->time > event.time; });
    events.insert(p, event.clone());
    if (event.track >= trackCount) trackCount = static_cast<std::uint16_t>(event.track + 1);
}

std::uint32_t Score::tempoAt(Position position) const {
    Position p = position;
    if (p != events.end()) {
        const std::int32_t t = (*p)->time;
        while (p != events.end() && (*p)->time == t) ++p;
    }
    while (p != events.begin()) {
        --p;
        if (const auto* tempo = dynamic_cast<const EventTempo*>(p->get())) return tempo->tempo;
    }
    throw ScoreException("start tempo undefined");
}

std::unique_ptr<Event> Score::makeShort(std::uint8_t status, std::uint8_t dataByte1, std::uint8_t dataByte2) {
    const std::uint8_t kind = status & 0xF0;
    if (kind == 0x80) return std::make_unique<EventNoteOff>(static_cast<std::uint8_t>(0x90 | (status & 0x0F)), dataByte1, 0);
    if (kind == 0x90) {
        if (dataByte2 == 0) return std::make_unique<EventNoteOff>(status, dataByte1, 0);
        return std::make_unique<EventNoteOn>(status, dataByte1, dataByte2);
    }
    return std::make_unique<EventShort>(status, dataByte1, dataByte2);
}

std::unique_ptr<Event> Score::makeMeta(std::uint8_t type, const std::uint8_t* bytes, std::uint32_t length) {
    if (type == 0x2F) return std::make_unique<EventTrackTerminator>();
    // A tempo event shorter than its three bytes carries no tempo: it is kept as a plain meta event.
    if (type == 0x51 && length >= 3)
        return std::make_unique<EventTempo>(std::uint32_t{bytes[0]} << 16 | std::uint32_t{bytes[1]} << 8 | bytes[2]);
    return std::make_unique<EventMeta>();
}

std::unique_ptr<Event> Score::makeLong(std::uint8_t type, const std::uint8_t* bytes, std::uint32_t length) {
    return std::make_unique<EventLong>(type, bytes, length);
}

void Score::load(const std::string& path) {
    clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) throw ScoreException("Cannot open file:" + path);
    FileReader in(f);  // closes the file on every way out

    char id[4];
    if (in.readSome(id, 4) != 4 || std::memcmp(id, "MThd", 4) != 0) throw ScoreException("Cannot find file header");
    const std::uint32_t headerLength = in.u32();
    format = in.u16();
    trackCount = in.u16();
    division = in.u16();
    if (headerLength > 6) in.skip(headerLength - 6);

    // Each track's times never decrease, so merging the tracks one by one (each event placed
    // after every earlier event of equal or lower time) is a stable sort by time of the tracks
    // laid end to end. Sorting keeps a file of many tracks from costing tracks x events.
    std::vector<std::unique_ptr<Event>> all;
    for (int i = 0; i < trackCount; ++i) {
        findTrack(in);
        readTrack(in, i, all);
    }
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a->time < b->time; });

    if (trackCount == 1) {
        for (auto& e : all) {
            if (const auto* s = dynamic_cast<const EventShort*>(e.get())) e->setTrack((s->status & 0x0F) + 1);
            else e->setTrack(0);
        }
        trackCount = 17;
    }
    for (auto& e : all) events.push_back(std::move(e));
}

}  // namespace midiplayer
