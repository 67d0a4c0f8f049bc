#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "app/Fixed16.h"
#include "graphics/SpriteDef.h"
#include "graphics/Surface.h"

class Log;
class Screen;
class TextRenderer;
class Dialogs;

// The drawing service: an 800 x 600 back buffer, a table of off-screen surfaces holding the
// bitmaps and a global table of sprites cut from them. Play coordinates are Fixed16 playfield
// positions; playfield x = 0 is back-buffer column 160. Present shows columns 160..639.
class Draw {
public:
    static constexpr int kBackWidth = 800;
    static constexpr int kBackHeight = 600;
    static constexpr int kPlayfieldLeft = 160;
    static constexpr int kBackBuffer = -1;
    static constexpr int kPlayfieldWidth = 480;
    // Result of a failed CreateSurface or Present (0 is success).
    static constexpr int kFailed = -1;
    // Limits that keep a wild index or size from allocating without bound.
    static constexpr int kMaxSurfaces = 1024;
    static constexpr int kMaxSurfaceSide = 16384;
    static constexpr std::int32_t kMaxSpriteId = 0xFFFF;

    // screen, text and dialogs are not owned and may be null (then nothing is shown; without a
    // screen the display is never initialised).
    // discard: start discarding (see SetDiscard); the back buffer then gets its pixels only if
    // discarding ends.
    Draw(Screen* screen, TextRenderer* text, Dialogs* dialogs, Log* log, bool fullScreen, bool discard = false);
    virtual ~Draw();
    Draw(const Draw&) = delete;
    Draw& operator=(const Draw&) = delete;

    virtual int Present();
    virtual void DrawSprite(Fixed16 x, Fixed16 y, std::int32_t id, std::int32_t target = kBackBuffer);
    virtual void DrawSpriteFlash(Fixed16 x, Fixed16 y, std::int32_t id, std::int32_t target = kBackBuffer);
    virtual void DrawSpriteShaded(Fixed16 x, Fixed16 y, std::int32_t id, std::int32_t percent, std::int32_t extra = 0);
    virtual void DrawTextBox(Fixed16 x1, Fixed16 y1, Fixed16 x2, Fixed16 y2, const char* text);
    virtual void DrawText(Fixed16 x, Fixed16 y, const char* text);
    virtual void Init(bool fullScreen);
    virtual int CreateSurface(int width, int height, int index);
    virtual void ReleaseSurface(int index);
    virtual Surface* GetSurface(int index);
    virtual void DefineSprite(std::int32_t srcTop, std::int32_t srcBottom, std::int32_t srcLeft, std::int32_t srcRight,
                              std::int32_t width, std::int32_t halfWidth, std::int32_t height,
                              std::int32_t halfHeight, std::int32_t surface, std::int32_t flags, std::int32_t id);
    void DefineSprite(const SpriteDef& def, std::int32_t id);
    virtual void Clear(int index);
    virtual void SetSkip(bool skip);
    // For a play that no one watches (replays checked without a window): every drawing call, text
    // included, does nothing whatever the skip flag says, and pictures are not even decoded into
    // surfaces. Play logic only ever writes into this service, never reads pixels, surfaces or
    // sprites back, so a play runs alike with or without it.
    void SetDiscard(bool discard);
    bool discards() const { return discard_; }
    virtual Screen* GetWindow();
    // Clips dst to the 800 x 600 back buffer (top, bottom, left, right), shifting src alike.
    static void ClipRects(Rect& dst, Rect& src);

    bool skip() const { return skip_; }
    // Something was drawn on the back buffer since the last Present: a picture still to show.
    bool backDrawn() const { return backDrawn_; }
    // Drawing calls on the back buffer so far: compared at two moments, it tells whether
    // anything was drawn in between, whether or not it has been presented since.
    std::uint64_t backDraws() const { return backDraws_; }
    const SpriteDef* sprite(std::int32_t id) const;  // null when undefined
    Surface& backBuffer() { return back_; }
    int bitsPerPixel() const { return 32; }
    bool fullScreen() const { return fullScreen_; }

private:
    // A sprite placed for drawing: its source and target surfaces and both rectangles, clipped
    // to the back buffer's 800 x 600 and checked to lie inside their surfaces.
    struct Placement {
        Surface* source = nullptr;
        Surface* target = nullptr;
        Rect src, dst;
        bool colorKey = false;
    };
    bool place(Fixed16 x, Fixed16 y, std::int32_t id, std::int32_t target, Placement& out);
    Surface* target(std::int32_t target);
    void markBackDrawn() {
        backDrawn_ = true;
        ++backDraws_;
    }

    Screen* screen_;
    TextRenderer* text_;
    Dialogs* dialogs_;
    Log* log_;
    Surface back_{kBackWidth, kBackHeight};
    std::vector<std::unique_ptr<Surface>> surfaces_;
    std::vector<SpriteDef> sprites_;
    int lastResult_ = 0;
    bool skip_ = false;
    bool backDrawn_ = false;
    std::uint64_t backDraws_ = 0;
    bool discard_ = false;
    bool fullScreen_ = false;
    bool displayOk_ = false;
};
