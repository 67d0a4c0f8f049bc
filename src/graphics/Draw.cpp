#include "graphics/Draw.h"
#include "app/Log.h"
#include "graphics/Blit.h"
#include "platform/Platform.h"

namespace {
const char* const kNoDisplayModeText = "DisplayMode\n800x600x16 and 800x600x32\nis not available.\n";
}

Draw::Draw(Screen* screen, TextRenderer* text, Dialogs* dialogs, Log* log, bool fullScreen, bool discard)
    : screen_(screen), text_(text), dialogs_(dialogs), log_(log), back_(kBackWidth, discard ? 0 : kBackHeight) {
    SetDiscard(discard);
    // Without any display device there is nothing to initialise: the service stays without a
    // display, quietly, and never claims that a display mode is missing.
    if (screen_ == nullptr) {
        fullScreen_ = fullScreen;
        lastResult_ = kFailed;
        return;
    }
    Init(fullScreen);
}

Draw::~Draw() = default;

void Draw::Init(bool fullScreen) {
    LOG_WRITE(log_, "Draw", "画像環境の初期化");
    // The back buffer, surfaces and sprites are ours and survive a rebuild; only the display is
    // made again.
    fullScreen_ = fullScreen;
    displayOk_ = screen_ != nullptr && screen_->open(fullScreen);
    if (!displayOk_) {
        // Only full screen has a display mode that can be missing; the player is told once.
        if (fullScreen && dialogs_ != nullptr) dialogs_->messageBox(kNoDisplayModeText, "error", Dialogs::Ok);
        lastResult_ = kFailed;
        const std::string why = screen_ != nullptr ? screen_->openError() : std::string();
        LOG_WRITE(log_, "Draw", why.empty() ? std::string("画像環境の初期化に失敗") : "画像環境の初期化に失敗: " + why);
        return;
    }
    lastResult_ = 0;
    if (!fullScreen) Clear(kBackBuffer);
    const std::string trouble = screen_->openError();
    LOG_WRITE(log_, "Draw", trouble.empty() ? std::string("画像環境の初期化に成功") : "画像環境の初期化に成功 (" + trouble + ")");
}

int Draw::Present() {
    backDrawn_ = false;
    if (skip_) return lastResult_;
    if (!displayOk_) return kFailed;
    screen_->presentStrip(back_.pixels.data(), back_.width);
    lastResult_ = 0;
    return lastResult_;
}

const SpriteDef* Draw::sprite(std::int32_t id) const {
    if (id < 0 || static_cast<std::size_t>(id) >= sprites_.size() || !sprites_[id].valid()) return nullptr;
    return &sprites_[id];
}

Surface* Draw::target(std::int32_t t) { return t == kBackBuffer ? &back_ : GetSurface(t); }

bool Draw::place(Fixed16 x, Fixed16 y, std::int32_t id, std::int32_t t, Placement& out) {
    if (t == kBackBuffer) markBackDrawn();
    const SpriteDef* s = sprite(id);
    if (s == nullptr) return false;
    out.source = GetSurface(s->surface);
    out.target = target(t);
    if (out.source == nullptr || out.target == nullptr) return false;
    const int cx = (x >> 16) + (t == kBackBuffer ? kPlayfieldLeft : 0);
    const int cy = y >> 16;
    out.dst = Rect{cx - s->halfWidth, cy - s->halfHeight, cx + s->halfWidth, cy + s->halfHeight};
    out.src = Rect{s->srcLeft, s->srcTop, s->srcRight, s->srcBottom};
    out.colorKey = s->colorKey();
    // Clipped to the back buffer's 800 x 600 whatever the target: an off-screen surface has no
    // clipper of its own.
    ClipRects(out.dst, out.src);
    // A rectangle still reaching outside its surface (a destination over the edge of a smaller
    // off-screen target, or a source outside the picture) makes the blit fail: the sprite is
    // simply missing, and the flash that would follow writes nothing either.
    return fitsInside(out.dst, out.target->width, out.target->height) &&
           fitsInside(out.src, out.source->width, out.source->height);
}

void Draw::DrawSprite(Fixed16 x, Fixed16 y, std::int32_t id, std::int32_t t) {
    if (skip_) return;
    Placement p;
    if (!place(x, y, id, t, p)) return;
    blitRect(*p.source, p.src, *p.target, p.dst, p.colorKey);
}

void Draw::DrawSpriteFlash(Fixed16 x, Fixed16 y, std::int32_t id, std::int32_t t) {
    if (skip_) return;
    Placement p;
    if (!place(x, y, id, t, p)) return;
    blitRect(*p.source, p.src, *p.target, p.dst, p.colorKey);
    flashRows(*p.source, p.src, *p.target, p.dst);
}

void Draw::DrawSpriteShaded(Fixed16 x, Fixed16 y, std::int32_t id, std::int32_t percent, std::int32_t) {
    if (skip_) return;
    Placement p;
    if (!place(x, y, id, kBackBuffer, p)) return;
    shadeRect(*p.source, p.src, *p.target, p.dst, percent);
}

void Draw::DrawTextBox(Fixed16 x1, Fixed16 y1, Fixed16 x2, Fixed16 y2, const char* text) {
    // Text ignores skip: the few texts are cheap and a menu must never lose its words.
    if (discard_ || text_ == nullptr || text == nullptr) return;
    markBackDrawn();
    text_->drawTextBox(back_.pixels.data(), back_.width, back_.height, back_.width, (x1 >> 16) + kPlayfieldLeft,
                       y1 >> 16, (x2 >> 16) + kPlayfieldLeft, y2 >> 16, text);
}

void Draw::DrawText(Fixed16 x, Fixed16 y, const char* text) {
    if (discard_ || text_ == nullptr || text == nullptr) return;
    markBackDrawn();
    text_->drawText(back_.pixels.data(), back_.width, back_.height, back_.width, (x >> 16) + kPlayfieldLeft, y >> 16,
                    text);
}

int Draw::CreateSurface(int width, int height, int index) {
    if (index < 0 || index >= kMaxSurfaces) {
        LOG_WRITE(log_, "Draw", "オフスクリーンサーフェスの作成に失敗");
        return kFailed;
    }
    if (surfaces_.size() <= static_cast<std::size_t>(index)) surfaces_.resize(static_cast<std::size_t>(index) + 1);
    if (surfaces_[index]) ReleaseSurface(index);
    if (width <= 0 || height <= 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide) {
        LOG_WRITE(log_, "Draw", "オフスクリーンサーフェスの作成に失敗");
        return kFailed;
    }
    // Nothing will be drawn into it or from it.
    if (discard_) return 0;
    surfaces_[index] = std::make_unique<Surface>(width, height);
    surfaces_[index]->keyLow = 0;  // black is transparent until a loader widens the range
    surfaces_[index]->keyHigh = 0;
    Clear(index);
    return 0;
}

void Draw::ReleaseSurface(int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < surfaces_.size()) surfaces_[index].reset();
}

Surface* Draw::GetSurface(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= surfaces_.size()) return nullptr;
    return surfaces_[index].get();
}

void Draw::DefineSprite(std::int32_t srcTop, std::int32_t srcBottom, std::int32_t srcLeft, std::int32_t srcRight,
                        std::int32_t width, std::int32_t halfWidth, std::int32_t height, std::int32_t halfHeight,
                        std::int32_t surface, std::int32_t flags, std::int32_t id) {
    if (id < 0 || id > kMaxSpriteId) return;
    if (sprites_.size() <= static_cast<std::size_t>(id)) sprites_.resize(static_cast<std::size_t>(id) + 1);
    sprites_[id] = SpriteDef{srcTop, srcBottom, srcLeft, srcRight, width, halfWidth, height, halfHeight, surface, flags};
}

void Draw::DefineSprite(const SpriteDef& s, std::int32_t id) {
    DefineSprite(s.srcTop, s.srcBottom, s.srcLeft, s.srcRight, s.width, s.halfWidth, s.height, s.halfHeight, s.surface,
                 s.flags, id);
}

void Draw::Clear(int index) {
    if (skip_) return;
    if (index == kBackBuffer) {
        markBackDrawn();
        fillRect(back_, Rect{kPlayfieldLeft, 0, kPlayfieldLeft + kPlayfieldWidth, kBackHeight}, 0);
    } else if (Surface* s = GetSurface(index)) {
        fillRect(*s, Rect{0, 0, s->width, s->height}, 0);
    }
}

// Discarding keeps skip_ set, so the drawing calls need no second test.
void Draw::SetSkip(bool skip) { skip_ = skip || discard_; }

void Draw::SetDiscard(bool discard) {
    discard_ = discard;
    skip_ = skip_ || discard;
    if (!discard && back_.height == 0) back_ = Surface(kBackWidth, kBackHeight);
}

Screen* Draw::GetWindow() { return screen_; }

void Draw::ClipRects(Rect& dst, Rect& src) { clipToArea(dst, src, kBackWidth, kBackHeight); }
