#include "graphics/ImageLoader.h"
#include <map>
#include <mutex>
#include "app/Log.h"
#include "graphics/Bitmap.h"
#include "graphics/Draw.h"

namespace {
// The pictures are compiled in and never change, so each is decoded once per process: every
// play scene (and every replay a tool checks) copies the pixels instead of decoding again.
bool decodeCached(const unsigned char* data, std::size_t size, Bitmap& out) {
    static std::mutex mutex;
    static std::map<const unsigned char*, Bitmap> decoded;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = decoded.find(data);
    if (it == decoded.end()) {
        Bitmap bmp;
        if (!decodeBmp(data, size, bmp)) return false;
        it = decoded.emplace(data, std::move(bmp)).first;
    }
    out = it->second;
    return true;
}
}  // namespace

bool ImageLoader::Load(int resourceId, Draw* draw, int surfaceIndex) {
    LOG_VALUE(log_, "ImageLoader", "ビットマップリソースのローディング　ID=", resourceId);
    std::size_t size = 0;
    const unsigned char* data = findBitmapResource(resourceId, size);
    if (data == nullptr) {
        LOG_WRITE(log_, "ImageLoader", "ビットマップリソースが見つからなかった");
        return false;
    }
    BmpHeader header;
    if (!readBmpHeader(data, size, header)) {
        LOG_WRITE(log_, "ImageLoader", "ビットマップリソースをロードできなかった");
        return false;
    }
    // Decoded before the surface is made, so a bad picture leaves the surface table as it was.
    Bitmap bmp;
    if (!decodeCached(data, size, bmp)) {
        LOG_WRITE(log_, "ImageLoader", "画像のローディングに失敗");
        return false;
    }
    Surface* surface = nullptr;
    if (draw != nullptr) {
        draw->CreateSurface(bmp.width, bmp.height, surfaceIndex);
        surface = draw->GetSurface(surfaceIndex);
    }
    if (surface == nullptr) {
        LOG_WRITE(log_, "ImageLoader", "バッファの作成に失敗");
        return false;
    }
    // Black and the darkest blue are both transparent: pictures drawn with a slightly lifted
    // black still cut out cleanly.
    surface->keyLow = 0;
    surface->keyHigh = 1;
    surface->pixels = std::move(bmp.pixels);
    return true;
}
