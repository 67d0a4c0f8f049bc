// Minimal first version; the full loader replaces it.
#include "graphics/ImageLoader.h"
#include "app/Log.h"
#include "graphics/Bitmap.h"
#include "graphics/Draw.h"

bool ImageLoader::Load(int resourceId, Draw* draw, int surfaceIndex) {
    LOG_VALUE(log_, "ImageLoader", "ビットマップリソースのローディング　ID", resourceId);
    std::size_t size = 0;
    const unsigned char* data = findBitmapResource(resourceId, size);
    if (!data) {
        LOG_WRITE(log_, "ImageLoader", "ビットマップリソースが見つからなかった");
        return false;
    }
    Bitmap bmp;
    if (!decodeBmp(data, size, bmp)) {
        LOG_WRITE(log_, "ImageLoader", "画像のローディングに失敗");
        return false;
    }
    draw->CreateSurface(bmp.width, bmp.height, surfaceIndex);
    Surface* s = draw->GetSurface(surfaceIndex);
    if (!s) return false;
    s->pixels = bmp.pixels;
    s->keyLow = 0;
    s->keyHigh = 1;
    return true;
}
