#include "platform/sdl/SdlPlatform.h"

SdlScreen::~SdlScreen() {
    if (panel_) SDL_DestroyTexture(panel_);
    if (strip_) SDL_DestroyTexture(strip_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
}

bool SdlScreen::open(bool fullScreen) {
    fullScreen_ = fullScreen;
    if (window_) {
        SDL_SetWindowFullscreen(window_, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
        return true;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    // Without a display SDL falls back to drivers that show nothing; a game nobody can see or
    // close must not start. Asking for such a driver by name (SDL_VIDEODRIVER) still works.
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool invisible = driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0 ||
                                      SDL_strcmp(driver, "evdev") == 0);
    if (invisible && !SDL_getenv("SDL_VIDEODRIVER")) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    // Nearest-neighbour scaling keeps the pixel art sharp at any window size.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    // The picture is 800 x 600 drawn by our own code: SDL's software renderer scales it to any
    // window cheaply and spares the tens of megabytes a GL driver maps in (a software GL such as
    // llvmpipe alone costs more than the whole game). SDL_RENDER_DRIVER=opengl in the
    // environment overrides this.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    if (fullScreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    // In full screen the window is made at the desktop's size and place from the start, so that it
    // covers the screen even where no window manager resizes it.
    SDL_Rect area{static_cast<int>(SDL_WINDOWPOS_CENTERED), static_cast<int>(SDL_WINDOWPOS_CENTERED), kWidth, kHeight};
    if (fullScreen && SDL_GetDisplayBounds(0, &area) != 0)
        area = {static_cast<int>(SDL_WINDOWPOS_CENTERED), static_cast<int>(SDL_WINDOWPOS_CENTERED), kWidth, kHeight};
    window_ = SDL_CreateWindow("Nimbulon", area.x, area.y, area.w, area.h, flags);
    if (!window_) return false;
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) {
        SDL_DestroyWindow(window_);
        window_ = nullptr;
        return false;
    }
    SDL_RenderSetLogicalSize(renderer_, kWidth, kHeight);
    strip_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, kStripWidth, kHeight);
    panel_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STATIC, kPanelWidth, kHeight);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderPresent(renderer_);
    return strip_ != nullptr;
}

void SdlScreen::setSidePanel(const std::uint32_t* pixels) {
    if (panel_ && pixels) SDL_UpdateTexture(panel_, nullptr, pixels, kPanelWidth * 4);
}

void SdlScreen::setIcon(const std::uint32_t* pixels, int w, int h) {
    if (!window_ || !pixels) return;
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!icon) return;
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(static_cast<Uint8*>(icon->pixels) + y * icon->pitch);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = pixels[y * w + x] & 0xFFFFFFu;
            row[x] = p <= 1 ? 0u : (0xFF000000u | p);
        }
    }
    SDL_SetWindowIcon(window_, icon);
    SDL_FreeSurface(icon);
}

void SdlScreen::compose() {
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    const SDL_Rect left{0, 0, kPanelWidth, kHeight};
    const SDL_Rect right{kWidth - kPanelWidth, 0, kPanelWidth, kHeight};
    const SDL_Rect middle{kPanelWidth, 0, kStripWidth, kHeight};
    if (panel_) {
        SDL_RenderCopy(renderer_, panel_, nullptr, &left);
        SDL_RenderCopyEx(renderer_, panel_, nullptr, &right, 0.0, nullptr, SDL_FLIP_HORIZONTAL);
    }
    if (strip_) SDL_RenderCopy(renderer_, strip_, nullptr, &middle);
    SDL_RenderPresent(renderer_);
}

void SdlScreen::presentStrip(const std::uint32_t* backBuffer, int pitchPixels) {
    if (!renderer_ || !strip_) return;
    SDL_UpdateTexture(strip_, nullptr, backBuffer + kPanelWidth, pitchPixels * 4);
    compose();
}

void SdlScreen::toggleFullScreen() {
    fullScreen_ = !fullScreen_;
    SDL_SetWindowFullscreen(window_, fullScreen_ ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

bool SdlScreen::pollEvent(WindowEvent& event) {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
            case SDL_QUIT:
                event.kind = WindowEvent::Close;
                return true;
            case SDL_KEYDOWN:
                if (e.key.keysym.scancode == SDL_SCANCODE_ESCAPE) {
                    event.kind = WindowEvent::Escape;
                    return true;
                }
                if (window_ && !e.key.repeat &&
                    (e.key.keysym.scancode == SDL_SCANCODE_F11 ||
                     (e.key.keysym.scancode == SDL_SCANCODE_RETURN && (e.key.keysym.mod & KMOD_ALT)))) {
                    toggleFullScreen();
                }
                break;
            case SDL_WINDOWEVENT:
                if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
                    event.kind = WindowEvent::FocusGained;
                    return true;
                }
                if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                    event.kind = WindowEvent::FocusLost;
                    return true;
                }
                if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                    event.kind = WindowEvent::Expose;
                    return true;
                }
                break;
            default:
                break;
        }
    }
    return false;
}
