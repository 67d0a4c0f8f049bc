// What one play frame costs the drawing service: the full 480 x 600 background, 500 keyed
// sprites of 16 to 64 pixels (20 of them flashed), and handing the strip to a headless screen.
// Prints microseconds per frame, median and 95th percentile.
#include "app/ToolHelp.h"
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>
#include "app/Fixed16.h"
#include "app/Log.h"
#include "graphics/Draw.h"
#include "platform/headless/HeadlessPlatform.h"

namespace {

constexpr int kFrames = 400;
constexpr int kWarmUp = 20;
constexpr int kSprites = 500;
constexpr int kFlashed = 20;
constexpr int kBackgroundSprite = 768;

// A small fixed generator: the same scene on every run.
struct Lcg {
    std::uint32_t state = 12345;
    int next(int n) {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) % static_cast<std::uint32_t>(n));
    }
};

struct Figures {
    double median, p95;
};

Figures summarise(std::vector<double> us) {
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[us.size() * 95 / 100]};
}

// Sprite sheet: discs on black, so about a quarter of every cell is colour key.
void paintSheet(Surface& s) {
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            const int cx = x % 64 - 32, cy = y % 64 - 32;
            s.at(x, y) = cx * cx + cy * cy < 32 * 32 ? 0x00204080u + static_cast<std::uint32_t>(x * 3 + y) : 0u;
        }
}

}  // namespace

int main(int argc, char** argv) {
    if (answeredHelp(argc, argv, "usage: draw_bench\nPrints what one play frame costs the drawing service (microseconds, median and 95th percentile).\n")) return 0;
    HeadlessPlatform platform;
    Log log("");
    Draw draw(&platform.screen(), &platform.textRenderer(), &platform.dialogs(), &log, false);

    draw.CreateSurface(480, 600, 3);
    Surface& background = *draw.GetSurface(3);
    for (std::size_t i = 0; i < background.pixels.size(); ++i)
        background.pixels[i] = 0x00101010u + static_cast<std::uint32_t>(i * 2654435761u >> 8 & 0x3F3F3F);
    draw.DefineSprite(SpriteDef::cell(3, 0, 0, 480, 600), kBackgroundSprite);

    draw.CreateSurface(512, 512, 1);
    paintSheet(*draw.GetSurface(1));
    Lcg rng;
    struct Placed {
        int id, x, y, dx, dy;
    };
    std::vector<Placed> sprites;
    for (int i = 0; i < kSprites; ++i) {
        const int size = 16 + rng.next(49);  // 16..64; the odd ones take the scaled path
        const int left = rng.next(512 - size), top = rng.next(512 - size);
        draw.DefineSprite(SpriteDef::cell(1, left, top, size, size), 0x100 + i);
        sprites.push_back({0x100 + i, rng.next(480), rng.next(600), rng.next(7) - 3, rng.next(7) - 3});
    }

    std::vector<double> frameUs, presentUs;
    for (int f = 0; f < kFrames + kWarmUp; ++f) {
        const auto t0 = std::chrono::steady_clock::now();
        draw.DrawSprite(toFixed(240), toFixed(300), kBackgroundSprite);
        for (int i = 0; i < kSprites; ++i) {
            Placed& p = sprites[static_cast<std::size_t>(i)];
            p.x = (p.x + p.dx + 520) % 520 - 20;  // wander, partly off the edges
            p.y = (p.y + p.dy + 640) % 640 - 20;
            if (i < kFlashed)
                draw.DrawSpriteFlash(toFixed(p.x), toFixed(p.y), p.id);
            else
                draw.DrawSprite(toFixed(p.x), toFixed(p.y), p.id);
        }
        const auto t1 = std::chrono::steady_clock::now();
        draw.Present();
        const auto t2 = std::chrono::steady_clock::now();
        if (f < kWarmUp) continue;
        frameUs.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        presentUs.push_back(std::chrono::duration<double, std::micro>(t2 - t1).count());
    }

    const Figures frame = summarise(frameUs), present = summarise(presentUs);
    std::printf("draw_bench: %d frames, background 480x600 + %d sprites 16..64 px (%d flashed)\n", kFrames, kSprites,
                kFlashed);
    std::printf("frame drawing   median %8.1f us   p95 %8.1f us\n", frame.median, frame.p95);
    std::printf("Draw::Present   median %8.1f us   p95 %8.1f us\n", present.median, present.p95);
    std::printf("frame budget    16667 us\n");
    return 0;
}
