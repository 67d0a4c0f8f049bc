#include "stages/Stage.h"
#include "app/Env.h"
#include "graphics/ImageLoader.h"

namespace {
constexpr int kBossSurface = 5;
constexpr int kFlashSurface = 6;
}  // namespace

void Stage::Begin(Script& script) {
    script.clear();
    const std::span<const ScriptRow> rows = Entries();
    script.reserve(rows.size());
    for (const ScriptRow& row : rows) script.push_back(row.entry());
    LoadImages();
    env->bgm.play(Music());
}

void Stage::LoadBossBitmap(int resourceId) {
    ImageLoader loader(log);
    loader.Load(resourceId, &env->draw, kBossSurface);
}

void Stage::DefineFlashCopy(std::int32_t source, int w, int h, int drawX, int drawY, std::int32_t copy) {
    Draw& draw = env->draw;
    draw.CreateSurface(w, h, kFlashSurface);
    // The copy is drawn once, at load: it must not fall into a skipped frame.
    draw.SetSkip(false);
    draw.DrawSpriteFlash(toFixed(drawX), toFixed(drawY), source, kFlashSurface);
    draw.DefineSprite(SpriteDef::cell(kFlashSurface, 0, 0, w, h), copy);
}
