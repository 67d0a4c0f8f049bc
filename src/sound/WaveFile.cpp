#include "sound/WaveFile.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// Random access to the bytes of an open file; reads past the end come back short.
class ByteSource {
public:
    explicit ByteSource(std::FILE* file) : file_(file) {
        if (std::fseek(file_, 0, SEEK_END) == 0) {
            const long end = std::ftell(file_);
            size_ = end > 0 ? static_cast<std::uint64_t>(end) : 0;
        }
    }
    std::uint64_t size() const { return size_; }
    // True when all n bytes at offset were read.
    bool read(std::uint64_t offset, void* out, std::size_t n) {
        if (offset > size_ || n > size_ - offset) return false;
        if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) return false;
        return std::fread(out, 1, n, file_) == n;
    }

private:
    std::FILE* file_;
    std::uint64_t size_ = 0;
};

struct ChunkHeader {
    char id[4];
    std::uint32_t size;
};

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool readHeader(ByteSource& src, std::uint64_t at, std::uint64_t end, ChunkHeader& header) {
    std::uint8_t raw[8];
    if (at + 8 > end || !src.read(at, raw, 8)) return false;
    std::memcpy(header.id, raw, 4);
    header.size = le32(raw + 4);
    return true;
}

bool is(const char id[4], const char* want) { return std::memcmp(id, want, 4) == 0; }

// The offset just past a chunk whose header starts at `at`; chunks are padded to even sizes.
std::uint64_t after(std::uint64_t at, std::uint32_t size) { return at + 8 + size + (size & 1u); }

// The smallest format block worth reading: the PCM fields up to the bits per sample. The extra
// size word of the 18-byte block is never used, and most writers leave it out.
constexpr std::uint32_t kPcmFormatBytes = 16;
constexpr std::uint16_t kFormatPcm = 1;

WaveFile parse(ByteSource& src) {
    WaveFile result;
    const std::uint64_t fileEnd = src.size();

    // The RIFF chunk of form type WAVE, searched among the top-level chunks.
    std::uint64_t at = 0;
    std::uint64_t riffEnd = 0;
    ChunkHeader header{};
    for (;;) {
        if (!readHeader(src, at, fileEnd, header)) {
            result.status = WaveStatus::NotRiffWave;
            return result;
        }
        char form[4];
        if (is(header.id, "RIFF") && src.read(at + 8, form, 4) && is(form, "WAVE")) break;
        at = after(at, header.size);
    }
    // A RIFF size beyond the end of the file is believed only as far as the file goes.
    riffEnd = std::min<std::uint64_t>(at + 8 + std::uint64_t{header.size}, fileEnd);
    at += 12;

    // The first subchunk is the format block, whatever it calls itself.
    if (!readHeader(src, at, riffEnd, header) || header.size < kPcmFormatBytes) {
        result.status = WaveStatus::NoFormat;
        return result;
    }
    std::uint8_t format[kPcmFormatBytes];
    if (!src.read(at + 8, format, sizeof format)) {
        result.status = WaveStatus::NoFormat;
        return result;
    }
    if ((format[0] | format[1] << 8) != kFormatPcm) {
        result.status = WaveStatus::NotPcm;
        return result;
    }
    at = after(at, header.size);

    // Then "data", anywhere after the format block.
    for (;;) {
        if (!readHeader(src, at, riffEnd, header)) {
            result.status = WaveStatus::NoData;
            return result;
        }
        if (is(header.id, "data")) break;
        at = after(at, header.size);
    }
    if (header.size == 0) {
        result.status = WaveStatus::NoData;
        return result;
    }
    // Checked before allocating, so a forged size costs nothing.
    if (std::uint64_t{header.size} > fileEnd - (at + 8)) {
        result.status = WaveStatus::DataTruncated;
        return result;
    }
    result.samples.resize(header.size);
    if (!src.read(at + 8, result.samples.data(), header.size)) {
        result.samples.clear();
        result.status = WaveStatus::DataTruncated;
        return result;
    }
    result.status = WaveStatus::Ok;
    return result;
}

}  // namespace

WaveFile readWaveFile(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return WaveFile{};
    ByteSource src(file.get());
    return parse(src);
}
