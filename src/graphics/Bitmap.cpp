#include "graphics/Bitmap.h"
#include <sys/mman.h>
#include <unistd.h>
#include <algorithm>
#include <cstdint>
#include "graphics/EmbeddedBitmaps.h"

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::int32_t kMaxSide = 16384;
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kBitFields = 3;

std::uint32_t u16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t u32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// 32-bit pictures with bit fields are read only when the masks are the plain X8R8G8B8 ones.
bool plainMasks(const unsigned char* data, std::size_t size) {
    const std::size_t masks = kFileHeaderSize + kInfoHeaderSize;  // right after the info header
    if (size < masks + 12) return false;
    return u32(data + masks) == 0xFF0000u && u32(data + masks + 4) == 0xFF00u && u32(data + masks + 8) == 0xFFu;
}

}  // namespace

bool readBmpHeader(const unsigned char* data, std::size_t size, BmpHeader& out) {
    if (data == nullptr || size < kFileHeaderSize + kInfoHeaderSize || data[0] != 'B' || data[1] != 'M') return false;
    out.pixelOffset = u32(data + 10);
    out.infoSize = u32(data + 14);
    out.width = static_cast<std::int32_t>(u32(data + 18));
    out.height = static_cast<std::int32_t>(u32(data + 22));
    out.bitsPerPixel = static_cast<std::uint16_t>(u16(data + 28));
    out.compression = u32(data + 30);
    return true;
}

bool decodeBmp(const unsigned char* data, std::size_t size, Bitmap& out) {
    BmpHeader h;
    if (!readBmpHeader(data, size, h)) return false;
    if (h.infoSize < kInfoHeaderSize || h.infoSize > size - kFileHeaderSize) return false;
    if (h.width <= 0 || h.width > kMaxSide || h.height == 0 || h.height < -kMaxSide || h.height > kMaxSide) return false;
    if (h.bitsPerPixel != 24 && h.bitsPerPixel != 32) return false;
    const bool fieldsOk = h.compression == kBitFields && h.bitsPerPixel == 32 && plainMasks(data, size);
    if (h.compression != kRgb && !fieldsOk) return false;

    const bool bottomUp = h.height > 0;
    const int height = bottomUp ? h.height : -h.height;
    const std::size_t bytesPerPixel = h.bitsPerPixel / 8u;
    const std::size_t stride = (static_cast<std::size_t>(h.width) * bytesPerPixel + 3) & ~static_cast<std::size_t>(3);
    if (h.pixelOffset < kFileHeaderSize + kInfoHeaderSize || h.pixelOffset > size ||
        stride * static_cast<std::size_t>(height) > size - h.pixelOffset)
        return false;

    out.width = h.width;
    out.height = height;
    out.pixels.assign(static_cast<std::size_t>(h.width) * height, 0u);
    for (int y = 0; y < height; ++y) {
        const std::size_t fileRow = static_cast<std::size_t>(bottomUp ? height - 1 - y : y);
        const unsigned char* row = data + h.pixelOffset + stride * fileRow;
        std::uint32_t* dst = out.pixels.data() + static_cast<std::size_t>(y) * h.width;
        for (int x = 0; x < h.width; ++x) {
            const unsigned char* p = row + static_cast<std::size_t>(x) * bytesPerPixel;
            dst[x] = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                     (static_cast<std::uint32_t>(p[2]) << 16);
        }
    }
    return true;
}

const unsigned char* findBitmapResource(int id, std::size_t& size) {
    for (const EmbeddedBitmap* b = kEmbeddedBitmaps; b->data != nullptr; ++b) {
        if (b->id == id) {
            size = b->size;
            return b->data;
        }
    }
    size = 0;
    return nullptr;
}

void releaseBitmapResourcePages() {
    std::uintptr_t begin = UINTPTR_MAX, end = 0;
    for (const EmbeddedBitmap* b = kEmbeddedBitmaps; b->data != nullptr; ++b) {
        begin = std::min(begin, reinterpret_cast<std::uintptr_t>(b->data));
        end = std::max(end, reinterpret_cast<std::uintptr_t>(b->data) + b->size);
    }
    const long page = sysconf(_SC_PAGESIZE);
    if (page <= 0 || end <= begin) return;
    // Whole pages inside the files only: a page shared with other constants stays as it is.
    const std::uintptr_t first = (begin + page - 1) / page * page, last = end / page * page;
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}
