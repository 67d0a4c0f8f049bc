#include "platform/sdl/SdlPlatform.h"
#include <algorithm>
#include <cstring>

namespace {
// The size in percent a window opens at on this desktop: the largest that fits.
int fittingPercent() {
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0 || usable.w <= 0 || usable.h <= 0) return 100;
    return windowPercentFor(Screen::kWidth, Screen::kHeight, usable.w, usable.h);
}
}  // namespace

int SdlScreen::windowPercent() const { return scalePercent_ > 0 ? scalePercent_ : fittingPercent(); }

void SdlScreen::setWindowScale(int percent) {
    scalePercent_ = std::max(0, percent);
    if (!window_ || fullScreen_) return;
    const int p = windowPercent();
    SDL_SetWindowSize(window_, kWidth * p / 100, kHeight * p / 100);
    SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    show();
}

void SdlScreen::setFullScreen(bool on) {
    if (window_ && on != fullScreen_) toggleFullScreen();
}

SdlScreen::~SdlScreen() {
    if (window_) SDL_DestroyWindow(window_);
}

bool SdlScreen::fail(const std::string& step) {
    // SDL's own words for the failure, kept in openError for the log and for the one line the
    // program prints when it gives up: a start that gives up, or has to try again, must say why.
    const char* why = SDL_GetError();
    note(step + ": " + (why && *why ? why : "(SDL gave no reason)"));
    return false;
}

void SdlScreen::note(const std::string& line) {
    // Retries against a display that stays away fail the same way each time; once is enough.
    if (line == lastNote_) return;
    lastNote_ = line;
    openError_ += (openError_.empty() ? "" : "; ") + line;
}

bool SdlScreen::startVideo() {
    // An X server whose last client has just left resets itself and drops every connection that
    // arrives meanwhile; SDL's X11 driver then gives up without a word and SDL falls through to a
    // driver that shows nothing. A fresh Xvfb that a script has just asked "are you there?" is in
    // that state right when the game starts, and a reset that loads GL can last a good part of a
    // second on a busy machine. The display is there, so it is asked again for a while; with no
    // display named at all there is nothing to wait for.
    const bool displayNamed = SDL_getenv("DISPLAY") != nullptr || SDL_getenv("WAYLAND_DISPLAY") != nullptr;
    const bool driverNamed = SDL_getenv("SDL_VIDEODRIVER") != nullptr;
    const int tries = displayNamed && !driverNamed ? kVideoTries : 1;
    for (int attempt = 1;; ++attempt) {
        SDL_ClearError();
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            fail("SDL_InitSubSystem(SDL_INIT_VIDEO)");
        } else {
            // Without a display SDL falls back to drivers that show nothing; a game nobody can see
            // or close must not start. Asking for such a driver by name (SDL_VIDEODRIVER) still
            // works.
            const char* driver = SDL_GetCurrentVideoDriver();
            const bool invisible = driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0 ||
                                              SDL_strcmp(driver, "evdev") == 0);
            if (!invisible || driverNamed) return true;
            // SDL's error text here is a stale one from a driver tried after the display's own,
            // which sets none when its display will not talk to it.
            const char* display = SDL_getenv("DISPLAY");
            note(std::string("no display could be reached (DISPLAY=") + (display ? display : "") +
                 "; SDL fell back to " + driver + ")");
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
        }
        if (attempt >= tries) return false;
        SDL_Delay(static_cast<Uint32>(std::min(50 * attempt, 500)));
    }
}

bool SdlScreen::open(bool fullScreen) {
    fullScreen_ = fullScreen;
    if (window_) {
        SDL_SetWindowFullscreen(window_, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
        show();
        return true;
    }
    openError_.clear();
    lastNote_.clear();
    if (!startVideo()) return false;
    // No renderer: the picture is scaled by our own code straight into the window's surface,
    // which costs no GPU driver (a software GL such as llvmpipe maps in more memory than the
    // whole game) and draws the same everywhere.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    const int p = windowPercent();
    Uint32 flags = SDL_WINDOW_RESIZABLE;
    if (fullScreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    // In full screen the window is made at the desktop's size and place from the start, so that it
    // covers the screen even where no window manager resizes it.
    SDL_Rect area{static_cast<int>(SDL_WINDOWPOS_CENTERED), static_cast<int>(SDL_WINDOWPOS_CENTERED), kWidth * p / 100,
                  kHeight * p / 100};
    if (fullScreen && SDL_GetDisplayBounds(0, &area) != 0)
        area = {static_cast<int>(SDL_WINDOWPOS_CENTERED), static_cast<int>(SDL_WINDOWPOS_CENTERED), kWidth * p / 100,
                kHeight * p / 100};
    window_ = SDL_CreateWindow("Nimbulon", area.x, area.y, area.w, area.h, flags);
    if (!window_) return fail("SDL_CreateWindow");
    // Smaller than this the picture is a smudge; the window manager stops the user there.
    SDL_SetWindowMinimumSize(window_, kWidth / 4, kHeight / 4);
    if (!SDL_GetWindowSurface(window_)) {
        fail("SDL_GetWindowSurface");
        SDL_DestroyWindow(window_);
        window_ = nullptr;
        return false;
    }
    show();
    return true;
}

void SdlScreen::setSidePanel(const std::uint32_t* pixels) {
    if (!pixels) return;
    // The right panel is the left one mirrored, made once here in our own picture.
    for (int y = 0; y < kHeight; ++y) {
        const std::uint32_t* in = pixels + y * kPanelWidth;
        std::uint32_t* row = frame_.data() + y * kWidth;
        for (int x = 0; x < kPanelWidth; ++x) {
            row[x] = in[x] & 0x00FFFFFFu;
            row[kWidth - 1 - x] = in[x] & 0x00FFFFFFu;
        }
    }
    show();
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

void SdlScreen::show() {
    if (!window_) return;
    // Asked again each time: SDL makes a new surface when the window's size has changed.
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (!surface || surface->w <= 0 || surface->h <= 0) return;
    const Uint32 format = surface->format->format;
    const bool direct = format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
    if (direct) {
        scaler_.scale(frame_.data(), kWidth, kHeight, kWidth, static_cast<std::uint32_t*>(surface->pixels), surface->w,
                      surface->h, surface->pitch / 4);
    } else {
        scaled_.resize(static_cast<std::size_t>(surface->w) * static_cast<std::size_t>(surface->h));
        scaler_.scale(frame_.data(), kWidth, kHeight, kWidth, scaled_.data(), surface->w, surface->h, surface->w);
        SDL_ConvertPixels(surface->w, surface->h, SDL_PIXELFORMAT_RGB888, scaled_.data(), surface->w * 4, format,
                          surface->pixels, surface->pitch);
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    SDL_UpdateWindowSurface(window_);
}

void SdlScreen::presentStrip(const std::uint32_t* backBuffer, int pitchPixels) {
    if (!window_ || !backBuffer) return;
    for (int y = 0; y < kHeight; ++y)
        std::memcpy(frame_.data() + y * kWidth + kPanelWidth, backBuffer + y * pitchPixels + kPanelWidth,
                    kStripWidth * sizeof(std::uint32_t));
    show();
}

void SdlScreen::toggleFullScreen() {
    fullScreen_ = !fullScreen_;
    // The window is given its new size while it is an ordinary window, where SDL applies it at
    // once: without a window manager nobody else would resize it, and SDL only remembers sizes
    // asked for in full screen.
    if (fullScreen_) {
        SDL_Rect area{};
        if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window_), &area) == 0) {
            SDL_SetWindowPosition(window_, area.x, area.y);
            SDL_SetWindowSize(window_, area.w, area.h);
        }
        SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        SDL_SetWindowFullscreen(window_, 0);
        // Back to the window a player starts with, whatever size full screen left behind.
        const int p = windowPercent();
        SDL_SetWindowSize(window_, kWidth * p / 100, kHeight * p / 100);
        SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
    show();
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
                    show();
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

SDL_Rect SdlScreen::toWindow(int x, int y, int w, int h) const {
    int ww = kWidth, wh = kHeight;
    if (window_) SDL_GetWindowSize(window_, &ww, &wh);
    const PictureRect r = fitPicture(kWidth, kHeight, ww, wh);
    if (r.w <= 0 || r.h <= 0) return SDL_Rect{x, y, w, h};
    return SDL_Rect{r.x + x * r.w / kWidth, r.y + y * r.h / kHeight, w * r.w / kWidth, h * r.h / kHeight};
}

SDL_Point SdlScreen::toPicture(int x, int y) const {
    int ww = kWidth, wh = kHeight;
    if (window_) SDL_GetWindowSize(window_, &ww, &wh);
    const PictureRect r = fitPicture(kWidth, kHeight, ww, wh);
    if (r.w <= 0 || r.h <= 0) return SDL_Point{x, y};
    return SDL_Point{(x - r.x) * kWidth / r.w, (y - r.y) * kHeight / r.h};
}
