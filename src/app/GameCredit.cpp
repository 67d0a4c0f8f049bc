#include "app/GameCredit.h"
#include "app/Env.h"
#include "graphics/ImageLoader.h"
#include "records/GameTitle.h"

namespace {
constexpr int kLogoSurface = 5;
constexpr int kLogoSprite = 256;
constexpr int kLength = 120;
constexpr int kFadeOutStart = 110;
}  // namespace

void GameCredit::Load() {
    started = true;
    ImageLoader loader(log);
    loader.Load(111, &env->draw, kLogoSurface);
    // The logo is 200 x 74; its top 73 rows are the picture.
    env->draw.DefineSprite(SpriteDef::cell(kLogoSurface, 0, 0, 200, 73), kLogoSprite);
}

void GameCredit::Unload() {
    env->draw.ReleaseSurface(kLogoSurface);
}

Game* GameCredit::Run() {
    ++frame;
    if (!started) Load();
    if (env->input.takePress(Button1)) frame = kLength;
    if (frame >= kLength) return new GameTitle(env, log);
    env->Tick();
    env->draw.Clear(Draw::kBackBuffer);
    const int percent = frame < kFadeOutStart ? frame * 5 : (kFadeOutStart - frame) * 10;
    env->draw.DrawSpriteShaded(toFixed(240), toFixed(300), kLogoSprite, percent);
    return nullptr;
}
