// Minimal first version; the full drawing service replaces it.
#include "graphics/Draw.h"
#include "app/Log.h"
#include "platform/Platform.h"

Draw::Draw(Screen* screen, TextRenderer* text, Dialogs* dialogs, Log* log, bool fullScreen)
    : screen_(screen), text_(text), dialogs_(dialogs), log_(log) {
    Init(fullScreen);
}
Draw::~Draw() = default;

void Draw::Init(bool fullScreen) {
    fullScreen_ = fullScreen;
    LOG_WRITE(log_, "Draw", "画像環境の初期化");
    displayOk_ = screen_ && screen_->open(fullScreen);
    LOG_WRITE(log_, "Draw", displayOk_ ? "画像環境の初期化に成功" : "画像環境の初期化に失敗");
    Clear(kBackBuffer);
}

int Draw::Present() {
    if (skip_ || !displayOk_) return 0;
    screen_->presentStrip(back_.pixels.data(), back_.width);
    return 0;
}

const SpriteDef* Draw::sprite(std::int32_t id) const {
    if (id < 0 || static_cast<std::size_t>(id) >= sprites_.size() || !sprites_[id].valid()) return nullptr;
    return &sprites_[id];
}

Surface* Draw::target(std::int32_t t) { return t == kBackBuffer ? &back_ : GetSurface(t); }

void Draw::DrawSprite(Fixed16 x, Fixed16 y, std::int32_t id, std::int32_t t) {
    const SpriteDef* s = sprite(id);
    if (skip_ || !s) return;
    Surface* src = GetSurface(s->surface);
    Surface* dst = target(t);
    if (!src || !dst) return;
    const int cx = (x >> 16) + (t == kBackBuffer ? kPlayfieldLeft : 0), cy = y >> 16;
    Rect d{cx - s->halfWidth, cy - s->halfHeight, cx + s->halfWidth, cy + s->halfHeight};
    Rect r{s->srcLeft, s->srcTop, s->srcRight, s->srcBottom};
    ClipRects(d, r);
    for (int yy = d.top; yy < d.bottom && yy < dst->height; ++yy)
        for (int xx = d.left; xx < d.right && xx < dst->width; ++xx) {
            const int sx = r.left + (xx - d.left), sy = r.top + (yy - d.top);
            if (sx < 0 || sy < 0 || sx >= src->width || sy >= src->height) continue;
            const std::uint32_t p = src->at(sx, sy);
            if (s->colorKey() && src->isKey(p)) continue;
            dst->at(xx, yy) = p;
        }
}

void Draw::DrawSpriteFlash(Fixed16 x, Fixed16 y, std::int32_t id, std::int32_t t) { DrawSprite(x, y, id, t); }
void Draw::DrawSpriteShaded(Fixed16 x, Fixed16 y, std::int32_t id, std::int32_t, std::int32_t) { DrawSprite(x, y, id); }
void Draw::DrawTextBox(Fixed16, Fixed16, Fixed16, Fixed16, const char*) {}
void Draw::DrawText(Fixed16, Fixed16, const char*) {}

int Draw::CreateSurface(int width, int height, int index) {
    if (index < 0) return -1;
    if (surfaces_.size() <= static_cast<std::size_t>(index)) surfaces_.resize(index + 1);
    surfaces_[index] = std::make_unique<Surface>(width, height);
    return 0;
}
void Draw::ReleaseSurface(int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < surfaces_.size()) surfaces_[index].reset();
}
Surface* Draw::GetSurface(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= surfaces_.size()) return nullptr;
    return surfaces_[index].get();
}
void Draw::DefineSprite(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t e, std::int32_t f,
                        std::int32_t g, std::int32_t h, std::int32_t i, std::int32_t j, std::int32_t id) {
    if (id < 0) return;
    if (sprites_.size() <= static_cast<std::size_t>(id)) sprites_.resize(id + 1);
    sprites_[id] = SpriteDef{a, b, c, d, e, f, g, h, i, j};
}
void Draw::DefineSprite(const SpriteDef& s, std::int32_t id) {
    DefineSprite(s.srcTop, s.srcBottom, s.srcLeft, s.srcRight, s.width, s.halfWidth, s.height, s.halfHeight, s.surface,
                 s.flags, id);
}
void Draw::Clear(int index) {
    if (skip_) return;
    if (index == kBackBuffer) {
        for (int y = 0; y < kBackHeight; ++y)
            for (int x = kPlayfieldLeft; x < kPlayfieldLeft + 480; ++x) back_.at(x, y) = 0;
    } else if (Surface* s = GetSurface(index)) {
        std::fill(s->pixels.begin(), s->pixels.end(), 0u);
    }
}
void Draw::SetSkip(bool skip) { skip_ = skip; }
Screen* Draw::GetWindow() { return screen_; }
void Draw::ClipRects(Rect& dst, Rect& src) {
    if (dst.top < 0) { src.top -= dst.top; dst.top = 0; }
    if (dst.bottom > kBackHeight) { src.bottom += kBackHeight - dst.bottom; dst.bottom = kBackHeight; }
    if (dst.left < 0) { src.left -= dst.left; dst.left = 0; }
    if (dst.right > kBackWidth) { src.right += kBackWidth - dst.right; dst.right = kBackWidth; }
}
