// nimbulon-precompress: writes FILE.gz and FILE.br beside each FILE, at gzip's and brotli's best,
// for the server to send as they are. The browser player's module takes brotli half a minute at
// its best quality: done once by the build, never by a server at a request. A FILE whose two
// forms are newer than it is left alone.
//
//   nimbulon-precompress build/web/player/nimbulon-web.wasm build/web/player/nimbulon-web.js
#include "app/ToolHelp.h"
#include <sys/stat.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include "web/ContentEncoding.h"

namespace {
bool newer(const std::string& made, const struct stat& source) {
    struct stat s;
    return stat(made.c_str(), &s) == 0 &&
           (s.st_mtim.tv_sec > source.st_mtim.tv_sec ||
            (s.st_mtim.tv_sec == source.st_mtim.tv_sec && s.st_mtim.tv_nsec >= source.st_mtim.tv_nsec));
}

bool write(const std::string& path, const std::string& bytes) {
    const std::string part = path + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return false;
    }
    return std::rename(part.c_str(), path.c_str()) == 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (answeredHelp(argc, argv, "usage: nimbulon-precompress FILE...\nWrites FILE.gz and FILE.br beside each FILE, at gzip's and brotli's best.\n")) return 0;
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        struct stat source;
        if (stat(path.c_str(), &source) != 0) {
            std::fprintf(stderr, "nimbulon-precompress: %s: no such file\n", path.c_str());
            status = 1;
            continue;
        }
        if (newer(path + ".gz", source) && newer(path + ".br", source)) continue;
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        const std::string gz = gzipOf(text.str(), 9), br = brotliOf(text.str(), 11);
        if (gz.empty() || br.empty() || !write(path + ".gz", gz) || !write(path + ".br", br)) {
            std::fprintf(stderr, "nimbulon-precompress: %s: cannot write its compressed forms\n", path.c_str());
            status = 1;
            continue;
        }
        std::printf("%s: %zu bytes, gzip %zu, brotli %zu\n", path.c_str(), text.str().size(), gz.size(), br.size());
    }
    return status;
}
