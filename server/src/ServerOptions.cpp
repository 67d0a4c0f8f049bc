#include "ServerOptions.h"
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {
// A whole decimal number in [low, high]; nothing else.
bool number(const char* text, std::int64_t low, std::int64_t high, std::int64_t& out) {
    if (!text || !*text) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (*end != '\0' || errno == ERANGE || v < low || v > high) return false;
    out = v;
    return true;
}

bool parseListen(const std::string& text, std::string& host, std::uint16_t& port) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    std::string h = text.substr(0, colon);
    if (h.size() >= 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
    std::int64_t p = 0;
    if (!number(text.c_str() + colon + 1, 0, 65535, p)) return false;
    host = h;
    port = static_cast<std::uint16_t>(p);
    return true;
}
}  // namespace

std::string serverUsage() {
    return "usage: nimbulon-server [options]\n"
           "  --listen HOST:PORT        address to serve (default 127.0.0.1:8080; [::1]:PORT for IPv6;\n"
           "                            port 0 picks a free one, printed at start)\n"
           "  --db PATH|URL             SQLite database file (default ranking.sqlite), or a\n"
           "                            postgresql://user@host:port/dbname URL\n"
           "  --threads N               HTTP threads (default: processors, at least 2)\n"
           "  --checkers N              uploads checked at once (default: processors)\n"
           "  --queue N                 uploads waiting for a checker before more are refused (default 256)\n"
           "  --max-connections N       open connections at most (default 512)\n"
           "  --timeout S               seconds a connection may stay silent (default 10)\n"
           "  --request-deadline S      seconds a request may take to arrive whole (default 30)\n"
           "  --check-cpu-seconds S     CPU time of one re-simulation (default 120)\n"
           "  --check-memory-mb M       address space of one re-simulation (default 256)\n"
           "  --max-frames N            longest play accepted, in frames (default 2160000, ten hours)\n"
           "  --list-cache-ms N         how long a list may be served before it is read again (default 1000)\n"
           "  --quiet                   no log line per request\n"
           "  --metrics-listen HOST:PORT  serve /metrics (Prometheus) and /healthz on this address too\n"
           "                            (default: none; /healthz is also on the main address)\n"
           "  --config FILE             read options from FILE: one \"key = value\" a line, the keys\n"
           "                            being the option names without \"--\" (quiet = true); the\n"
           "                            options after it on the command line win\n"
           "  --help                    this text\n";
}

bool parseServerOptions(int argc, char** argv, ServerOptions& o, bool& help, std::string& error) {
    help = false;
    // One HTTP thread and one check per processor: more threads only wait for each other.
    const int processors = static_cast<int>(std::thread::hardware_concurrency());
    o.checkers = processors < 1 ? 1 : processors;
    o.threads = processors < 2 ? 2 : processors;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        std::int64_t n = 0;
        auto numeric = [&](std::int64_t low, std::int64_t high) {
            if (!number(value, low, high, n)) {
                error = arg + " needs a whole number from " + std::to_string(low) + " to " + std::to_string(high);
                return false;
            }
            ++i;
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            help = true;
            return true;
        } else if (arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "--listen") {
            if (!value || !parseListen(value, o.host, o.port)) {
                error = "--listen needs HOST:PORT";
                return false;
            }
            ++i;
        } else if (arg == "--metrics-listen") {
            if (!value || !parseListen(value, o.metricsHost, o.metricsPort)) {
                error = "--metrics-listen needs HOST:PORT";
                return false;
            }
            ++i;
        } else if (arg == "--db") {
            if (!value || !*value) {
                error = "--db needs a file or a postgresql:// URL";
                return false;
            }
            o.db = value;
            ++i;
        } else if (arg == "--threads") {
            if (!numeric(1, 256)) return false;
            o.threads = static_cast<int>(n);
        } else if (arg == "--checkers") {
            if (!numeric(1, 256)) return false;
            o.checkers = static_cast<int>(n);
        } else if (arg == "--queue") {
            if (!numeric(1, 100000)) return false;
            o.queueLimit = static_cast<std::size_t>(n);
        } else if (arg == "--max-connections") {
            if (!numeric(1, 100000)) return false;
            o.maxConnections = static_cast<unsigned>(n);
        } else if (arg == "--timeout") {
            if (!numeric(1, 3600)) return false;
            o.idleTimeout = static_cast<unsigned>(n);
        } else if (arg == "--request-deadline") {
            if (!numeric(1, 3600)) return false;
            o.requestDeadline = static_cast<unsigned>(n);
        } else if (arg == "--check-cpu-seconds") {
            if (!numeric(1, 86400)) return false;
            o.checkCpuSeconds = static_cast<int>(n);
        } else if (arg == "--check-memory-mb") {
            if (!numeric(64, 65536)) return false;
            o.checkMemoryMb = static_cast<int>(n);
        } else if (arg == "--max-frames") {
            if (!numeric(1, 0x7FFFFFFF)) return false;
            o.maxFrames = n;
        } else if (arg == "--list-cache-ms") {
            if (!numeric(0, 3600000)) return false;
            o.listCacheMs = static_cast<int>(n);
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}
