#include "http/ServerOptions.h"
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
           "  --create                  make the SQLite file when it does not exist (without it, a\n"
           "                            missing file is an error; nimbulon-server admin init makes one)\n"
           "  --threads N               HTTP threads (default: processors, at least 2)\n"
           "  --checkers N              uploads checked at once (default: processors)\n"
           "  --queue N                 uploads waiting for a checker before more are refused (default 256)\n"
           "  --max-connections N       open connections at most (default 512)\n"
           "  --timeout S               seconds a connection may stay silent (default 10)\n"
           "  --request-deadline S      seconds a request may take to arrive whole (default 30)\n"
           "  --head-deadline S         seconds a request's head may take to arrive, from the\n"
           "                            connection's opening or the previous answer (default 10)\n"
           "  --connections-per-address N  open connections of one client address (default 32); past\n"
           "                            it a new one takes the place of the address's oldest one that\n"
           "                            is still waiting for its request head, or is refused; past\n"
           "                            --max-connections, of anyone's oldest waiting for its head,\n"
           "                            else of the oldest request under way not waiting for a check\n"
           "  --min-body-rate N         bytes per second a request body must keep: n bytes by 5 s +\n"
           "                            n / N s after the head, or it is cut (default 1000; 0: none)\n"
           "  --uploads-per-address N   uploads one address may send per hour (default 120)\n"
           "  --uploads-per-name N      plays checked per hour under a name, with its password (a\n"
           "                            play already stored, sent again, is not counted; default 30)\n"
           "  --new-names-per-address N  names one address may register per day (default 100)\n"
           "  --wrong-passwords N       wrong passwords per name per hour from one address; past them\n"
           "                            that address's uploads of the name are answered 1 unchecked\n"
           "                            (default 10); the owner's, from other addresses, are not\n"
           "  --wrong-passwords-per-address N  wrong passwords per hour from one address, whatever the\n"
           "                            names; past them its uploads of any registered name are\n"
           "                            answered 1 unchecked (default 30)\n"
           "                            (these five: 0 is no limit; counted in this server's memory)\n"
           "  --limit-keys N            addresses or names each of those counts remembers (default\n"
           "                            20000; when full, the one nearest a whole allowance goes)\n"
           "  --list-size N             entries of a list: the best N of each version (default 1000)\n"
           "  --trusted-proxy ADDR      a proxy (address or network, e.g. 10.0.0.0/8; repeat it or\n"
           "                            give a comma list) whose X-Forwarded-For names the client;\n"
           "                            from any other peer the header is ignored\n"
           "  --check-cpu-seconds S     CPU time of one re-simulation (default 120)\n"
           "  --check-memory-mb M       address space of one re-simulation (default 256)\n"
           "  --max-frames N            longest play accepted, in frames (default 2160000, ten hours)\n"
           "  --list-cache-ms N         how long a list may be served before it is read again (default 1000)\n"
           "  --shutdown-grace S        on SIGTERM or SIGINT, seconds the uploads being checked get to\n"
           "                            finish (default 30); uploads still waiting are answered 2\n"
           "  --db-connect-timeout-ms N   PostgreSQL: give up making a connection after N ms (default 1000)\n"
           "  --db-statement-timeout-ms N PostgreSQL: statement_timeout of the server's connections\n"
           "                            (default 1000); a database that answers nothing at all is\n"
           "                            given up 500 ms later and the request answered 503\n"
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
        } else if (arg == "--create") {
            o.create = true;
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
        } else if (arg == "--head-deadline") {
            if (!numeric(1, 3600)) return false;
            o.headDeadline = static_cast<unsigned>(n);
        } else if (arg == "--connections-per-address") {
            if (!numeric(1, 100000)) return false;
            o.connectionsPerAddress = static_cast<unsigned>(n);
        } else if (arg == "--min-body-rate") {
            if (!numeric(0, 1000000000)) return false;
            o.minBodyRate = static_cast<std::uint32_t>(n);
        } else if (arg == "--uploads-per-address" || arg == "--uploads-per-name" || arg == "--new-names-per-address" ||
                   arg == "--wrong-passwords" || arg == "--wrong-passwords-per-address") {
            if (!numeric(0, 1000000)) return false;
            UploadLimits::Settings& l = o.uploadLimits;
            (arg == "--uploads-per-address" ? l.uploadsPerAddressPerHour
             : arg == "--uploads-per-name"  ? l.uploadsPerNamePerHour
             : arg == "--new-names-per-address" ? l.newNamesPerAddressPerDay
             : arg == "--wrong-passwords"   ? l.wrongPasswordsPerNamePerHour
                                            : l.wrongPasswordsPerAddressPerHour) = static_cast<std::uint32_t>(n);
        } else if (arg == "--limit-keys") {
            if (!numeric(1, 10000000)) return false;
            o.uploadLimits.keys = static_cast<std::size_t>(n);
        } else if (arg == "--list-size") {
            // The game refuses a list over 16 MiB; an entry takes at most about 250 bytes.
            if (!numeric(1, 50000)) return false;
            o.listSize = static_cast<std::size_t>(n);
        } else if (arg == "--trusted-proxy") {
            if (!value || !o.trustedProxies.add(value)) {
                error = "--trusted-proxy needs addresses or networks (10.0.0.1, 10.0.0.0/8, fd00::/8), comma-separated";
                return false;
            }
            ++i;
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
        } else if (arg == "--shutdown-grace") {
            if (!numeric(0, 3600)) return false;
            o.shutdownGraceSeconds = static_cast<int>(n);
        } else if (arg == "--db-connect-timeout-ms") {
            if (!numeric(100, 600000)) return false;
            o.dbConnectTimeoutMs = static_cast<int>(n);
        } else if (arg == "--db-statement-timeout-ms") {
            if (!numeric(100, 3600000)) return false;
            o.dbStatementTimeoutMs = static_cast<int>(n);
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}
