#include "character/GameFont.h"
#include "graphics/Draw.h"
#include "graphics/ImageLoader.h"

void LoadGameFont(Draw& draw, ImageLoader& loader) {
    loader.Load(107, &draw, kFontSurface);
    for (int c = 0; c < 128; ++c) draw.DefineSprite(SpriteDef::cell(kFontSurface, (c % 16) * 8, (c / 16) * 16, 8, 16), c);
}
