// Nimbulon: the entry point. Builds the platform and the log, reads the full-screen switch and
// runs the shell until Escape, the close box or "exit".
#include <memory>
#include "app/Config.h"
#include "app/Log.h"
#include "app/Shell.h"
#include "platform/Platform.h"

int main() {
    std::unique_ptr<Platform> platform = makeSdlPlatform();
    Log log;
    const bool fullScreen = ReadConfigInt("CONFIG", "FULL_SCREEN", 0) != 0;
    return RunShell(*platform, log, fullScreen);
}
