#pragma once
// Builds Standard MIDI Files byte by byte for the music tests.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>
#include <unistd.h>

namespace miditest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes be32(std::uint32_t v) { return {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)}; }

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division) {
    return {'M', 'T', 'h', 'd', 0, 0, 0, 6, std::uint8_t(format >> 8), std::uint8_t(format),
            std::uint8_t(tracks >> 8), std::uint8_t(tracks), std::uint8_t(division >> 8), std::uint8_t(division)};
}

inline Bytes chunk(const char* id, const Bytes& body) {
    Bytes out(id, id + 4);
    const Bytes len = be32(static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), len.begin(), len.end());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A track chunk whose body is `events` followed by an end-of-track event.
inline Bytes track(const Bytes& events) { return chunk("MTrk", cat({events, {0x00, 0xFF, 0x2F, 0x00}})); }

// A file in a fresh temporary folder, removed with the object.
class TempFile {
public:
    explicit TempFile(const Bytes& content, const std::string& name = "song.mid") {
        char pattern[] = "/tmp/nimbulon-music-XXXXXX";
        dir_ = mkdtemp(pattern);
        path_ = dir_ + "/" + name;
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        if (!content.empty()) std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
    ~TempFile() { std::filesystem::remove_all(dir_); }
    const std::string& path() const { return path_; }

private:
    std::string dir_, path_;
};

}  // namespace miditest
