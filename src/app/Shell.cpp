#include "app/Shell.h"
#include <cstdio>
#include <memory>
#include "app/Env.h"
#include "app/GameCredit.h"
#include "app/SceneLoop.h"
#include "graphics/Bitmap.h"
#include "platform/Platform.h"

namespace {
constexpr int kSidePanelBitmap = 125;
constexpr int kIconBitmap = 124;

bool loadBitmap(int id, Bitmap& out) {
    std::size_t size = 0;
    const unsigned char* data = findBitmapResource(id, size);
    return data && decodeBmp(data, size, out);
}
}  // namespace

int RunShell(Platform& platform, Log& log, bool fullScreen, const MusicFactory& music,
             const RankingClientFactory& ranking) {
    EnvOptions options;
    options.fullScreen = fullScreen;
    options.music = music;
    options.ranking = ranking;
    return RunShell(platform, log, options);
}

int RunShell(Platform& platform, Log& log, const EnvOptions& options) {
    auto env = std::make_unique<Env>(platform, &log, options);
    Screen& screen = platform.screen();
    if (!screen.isOpen()) {
        // The window could not be made (no display): nothing to play in. One line on the terminal
        // says so and why; the log has the same.
        const std::string why = screen.openError();
        std::fprintf(stderr, "Nimbulon: no window could be opened (is a display available?)%s%s\n",
                     why.empty() ? "" : ": ", why.c_str());
        return 0;
    }

    Bitmap panel;
    if (loadBitmap(kSidePanelBitmap, panel) && panel.width == Screen::kPanelWidth && panel.height == Screen::kHeight)
        screen.setSidePanel(panel.pixels.data());
    Bitmap icon;
    if (loadBitmap(kIconBitmap, icon)) screen.setIcon(icon.pixels.data(), icon.width, icon.height);

    int status = 0;
    {
        SceneLoop loop(*env, screen, new GameCredit(env.get(), &log));
        status = loop.run();
    }  // the last scene is deleted while the services it holds surfaces and sounds in still exist
    env.reset();  // services in reverse order of construction; the caller's log closes last
    return status;
}
