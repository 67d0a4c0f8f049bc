#include "graphics/ImageLoader.h"
#include "app/Log.h"
#include "graphics/Bitmap.h"
#include "graphics/Draw.h"

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
    // Pictures that would never be shown are not decoded at all.
    if (draw != nullptr && draw->discards()) return true;
    // Decoded before the surface is made, so a bad picture leaves the surface table as it was.
    Bitmap bmp;
    if (!decodeBmp(data, size, bmp)) {
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
