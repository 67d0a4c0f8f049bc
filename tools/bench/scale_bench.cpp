// What fitting the 800 x 600 picture into the window costs per frame, for the sizes players meet:
// 1x (a copy), 2x (replication), full screen on 1920 x 1080 (sharp, between multiples) and two
// shrunk windows. Prints microseconds per frame, median and 95th percentile.
#include "app/ToolHelp.h"
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>
#include "graphics/FrameScaler.h"

int main(int argc, char** argv) {
    if (answeredHelp(argc, argv, "usage: scale_bench\nPrints what fitting the picture into the window costs per frame at common sizes.\n")) return 0;
    constexpr int kFrames = 200;
    std::vector<std::uint32_t> picture(800 * 600);
    std::uint32_t seed = 12345;
    for (auto& p : picture) p = (seed = seed * 1103515245u + 12345u) >> 8;
    const int sizes[][2] = {{800, 600}, {1600, 1200}, {1920, 1080}, {2560, 1440}, {500, 700}, {400, 300}};
    std::printf("%-10s %10s %10s\n", "window", "median us", "p95 us");
    for (const auto& s : sizes) {
        std::vector<std::uint32_t> window(static_cast<std::size_t>(s[0]) * s[1]);
        FrameScaler scaler;
        std::vector<double> us;
        for (int f = 0; f < kFrames + 10; ++f) {
            const auto t0 = std::chrono::steady_clock::now();
            scaler.scale(picture.data(), 800, 600, 800, window.data(), s[0], s[1], s[0]);
            const auto t1 = std::chrono::steady_clock::now();
            if (f >= 10) us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        }
        std::sort(us.begin(), us.end());
        std::printf("%4dx%-5d %10.0f %10.0f\n", s[0], s[1], us[us.size() / 2], us[us.size() * 95 / 100]);
    }
}
