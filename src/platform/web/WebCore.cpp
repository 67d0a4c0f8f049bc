// The yield every wait goes through, the clock, the screen and the save folder.
#include <emscripten/emscripten.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include "platform/web/WebPlatform.h"

namespace {
WebAudioDevice* liveAudio = nullptr;  // the device pumped at every yield
double lastYieldMs = 0;
// A game that is behind skips its waits; the page still gets a turn this often, or it would
// show nothing and hear no key until the game caught up.
constexpr double kLongestWithoutYieldMs = 50;
}  // namespace

EM_JS(void, web_flush_save, (), {
    if (Module.nwSave) Module.nwSave.flush();
});
// What the game did since the browser last had its turn, in ms (the page's frame cost figures).
EM_JS(void, web_work, (double ms), { Module.page.work(ms); });

void webYield(std::uint32_t ms) {
    if (lastYieldMs > 0) web_work(emscripten_get_now() - lastYieldMs);
    if (liveAudio) liveAudio->pump();
    web_flush_save();
    emscripten_sleep(ms);
    lastYieldMs = emscripten_get_now();
}

std::uint32_t WebClock::now() { return static_cast<std::uint32_t>(static_cast<std::uint64_t>(emscripten_get_now())); }

double WebClock::nowPrecise() { return std::fmod(emscripten_get_now(), 4294967296.0); }

void WebClock::sleep(std::uint32_t ms) { webYield(ms); }

EM_JS(void, web_screen_open, (), { Module.page.open(); });
EM_JS(void, web_screen_put, (const std::uint8_t* rgba, int x, int w), {
    Module.page.present(HEAPU8.subarray(rgba, rgba + 800 * 600 * 4), x, w);
});
EM_JS(int, web_screen_event, (), { return Module.page.nextWindowEvent(); });

bool WebScreen::open(bool) {
    web_screen_open();
    open_ = true;
    return true;
}

void WebScreen::setSidePanel(const std::uint32_t* pixels) {
    if (!pixels) return;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kPanelWidth; ++x) {
            const std::uint32_t p = pixels[y * kPanelWidth + x];
            // The right panel is the left one mirrored.
            for (const int at : {x, kWidth - 1 - x}) {
                std::uint8_t* d = &rgba_[(std::size_t(y) * kWidth + at) * 4];
                d[0] = p >> 16 & 0xFF, d[1] = p >> 8 & 0xFF, d[2] = p & 0xFF, d[3] = 0xFF;
            }
        }
    }
    web_screen_put(rgba_.data(), 0, kWidth);
}

void WebScreen::presentStrip(const std::uint32_t* backBuffer, int pitchPixels) {
    for (int y = 0; y < kHeight; ++y) {
        const std::uint32_t* s = backBuffer + std::size_t(y) * pitchPixels + kPanelWidth;
        std::uint8_t* d = &rgba_[(std::size_t(y) * kWidth + kPanelWidth) * 4];
        for (int x = 0; x < kStripWidth; ++x, d += 4) {
            const std::uint32_t p = s[x];
            d[0] = p >> 16 & 0xFF, d[1] = p >> 8 & 0xFF, d[2] = p & 0xFF, d[3] = 0xFF;
        }
    }
    web_screen_put(rgba_.data(), kPanelWidth, kStripWidth);
    if (emscripten_get_now() - lastYieldMs > kLongestWithoutYieldMs) webYield(0);
}

bool WebScreen::pollEvent(WindowEvent& event) {
    // The page sends 1 for focus gained, 2 for focus lost. There is no close: the tab's own close
    // ends the game, and Escape stays with the browser (it leaves full screen).
    switch (web_screen_event()) {
        case 1: event.kind = WindowEvent::FocusGained; return true;
        case 2: event.kind = WindowEvent::FocusLost; return true;
        default: return false;
    }
}

WebPlatform::WebPlatform() = default;
WebPlatform::~WebPlatform() = default;

bool WebAudioDevice::open(Mixer* mixer) {
    mixer_ = mixer;
    liveAudio = this;
    return true;
}

void WebAudioDevice::close() {
    if (liveAudio == this) liveAudio = nullptr;
    mixer_ = nullptr;
}

EM_ASYNC_JS(void, web_mount_save, (const char* dirPtr), {
    let dir = UTF8ToString(dirPtr);
    if (dir.endsWith("/")) dir = dir.slice(0, -1);
    try { FS.mkdir(dir); } catch (e) {}
    FS.mount(IDBFS, {}, dir);
    await new Promise(done => FS.syncfs(true, error => {
        if (error) console.warn("nimbulon: the saved files could not be read", error);
        done();
    }));
    // Every change under the folder marks it; the next yield writes it back (one write at a
    // time; a change made while one runs is written after it).
    const save = Module.nwSave = { dirty: false, busy: false, flushes: 0, prefix: dir + "/" };
    save.flush = () => {
        if (!save.dirty || save.busy) return;
        save.dirty = false;
        save.busy = true;
        FS.syncfs(false, error => {
            save.busy = false;
            save.flushes++;
            if (error) { save.dirty = true; console.warn("nimbulon: saving failed", error); }
        });
    };
    const inside = path => typeof path === "string" && path.startsWith(save.prefix);
    const close = FS.close, rename = FS.rename, unlink = FS.unlink;
    FS.close = stream => {
        if (stream && inside(stream.path) && (stream.flags & 3)) save.dirty = true;
        return close(stream);
    };
    FS.rename = (from, to) => { if (inside(from) || inside(to)) save.dirty = true; return rename(from, to); };
    FS.unlink = path => { if (inside(path)) save.dirty = true; return unlink(path); };
});

void mountSaveFolder(const std::string& dir) { web_mount_save(dir.c_str()); }

EM_JS(char*, web_page_choice, (int which), {
    const value = [Module.page.language(), Module.page.server(), navigator.language || ""][which];
    const size = lengthBytesUTF8(value) + 1;
    const out = _malloc(size);
    stringToUTF8(value, out, size);
    return out;
});

namespace {
std::string takeString(char* s) {
    std::string out = s ? s : "";
    free(s);
    return out;
}
}  // namespace

std::string pageLanguage() { return takeString(web_page_choice(0)); }
std::string pageServer() { return takeString(web_page_choice(1)); }
std::string browserLanguage() { return takeString(web_page_choice(2)); }
