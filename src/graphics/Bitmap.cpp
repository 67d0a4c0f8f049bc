#include "graphics/Bitmap.h"
#include "graphics/EmbeddedBitmaps.h"

namespace {
std::uint32_t u16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t u32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
}  // namespace

bool decodeBmp(const unsigned char* data, std::size_t size, Bitmap& out) {
    if (data == nullptr || size < 54 || data[0] != 'B' || data[1] != 'M') return false;
    const std::uint32_t pixelOffset = u32(data + 10);
    const std::uint32_t headerSize = u32(data + 14);
    if (headerSize < 40) return false;
    const auto width = static_cast<std::int32_t>(u32(data + 18));
    const auto rawHeight = static_cast<std::int32_t>(u32(data + 22));
    const std::uint32_t bpp = u16(data + 28);
    const std::uint32_t compression = u32(data + 30);
    if (width <= 0 || width > 16384 || rawHeight == 0 || rawHeight < -16384 || rawHeight > 16384) return false;
    if ((bpp != 24 && bpp != 32) || (compression != 0 && !(compression == 3 && bpp == 32))) return false;
    const bool bottomUp = rawHeight > 0;
    const int height = bottomUp ? rawHeight : -rawHeight;
    const std::size_t bytesPerPixel = bpp / 8;
    const std::size_t stride = (static_cast<std::size_t>(width) * bytesPerPixel + 3) & ~static_cast<std::size_t>(3);
    if (pixelOffset > size || stride * static_cast<std::size_t>(height) > size - pixelOffset) return false;

    out.width = width;
    out.height = height;
    out.pixels.assign(static_cast<std::size_t>(width) * height, 0u);
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = data + pixelOffset + stride * static_cast<std::size_t>(bottomUp ? height - 1 - y : y);
        std::uint32_t* dst = out.pixels.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
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
