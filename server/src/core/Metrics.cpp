#include "core/Metrics.h"
#include <sys/resource.h>
#include <cstdio>

namespace {
std::string number(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", v);
    return text;
}

void line(std::string& out, const std::string& name, const std::string& labels, const std::string& value) {
    out += name;
    if (!labels.empty()) out += "{" + labels + "}";
    out += " " + value + "\n";
}

void header(std::string& out, const char* name, const char* type, const char* help) {
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

// The label values are the server's own words, but a quote or backslash must still not end one.
std::string label(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

// What the upload service and the HTTP front say, by the start of their words.
struct ReasonRule {
    const char* prefix;
    const char* reason;
};
constexpr ReasonRule kReasons[] = {
    {"stored", "stored"},
    {"an earlier play", "kept_earlier"},
    {"password differs", "password"},
    {"banned", "banned"},
    {"re-simulation: mismatch", "mismatch"},
    {"re-simulation: failed", "check_failed"},
    {"re-simulation", "check_failed"},
    {"password hashing", "hashing"},
    {"registration", "registration"},
    {"storage", "storage"},
    {"refused", "form"},
    {"busy", "busy"},
    {"check", "check_failed"},
    {"too many", "limit"},
};
}  // namespace

std::string uploadReason(char, const std::string& detail) {
    for (const ReasonRule& r : kReasons)
        if (detail.rfind(r.prefix, 0) == 0) return r.reason;
    return "other";
}

void Metrics::Histogram::add(double seconds) {
    for (std::size_t i = 0; i < kBuckets.size(); ++i)
        if (seconds <= kBuckets[i]) {
            ++counts[i];
            break;
        }
    ++count;
    sum += seconds;
}

void Metrics::Histogram::write(std::string& out, const std::string& name, const std::string& labels) const {
    const std::string prefix = labels.empty() ? "" : labels + ",";
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i < kBuckets.size(); ++i) {
        cumulative += counts[i];
        line(out, name + "_bucket", prefix + "le=\"" + number(kBuckets[i]) + "\"", std::to_string(cumulative));
    }
    line(out, name + "_bucket", prefix + "le=\"+Inf\"", std::to_string(count));
    line(out, name + "_sum", labels, number(sum));
    line(out, name + "_count", labels, std::to_string(count));
}

void Metrics::request(const std::string& path, unsigned status, double seconds) {
    std::lock_guard lock(mutex_);
    ++requests_[{path, status}];
    latency_[path].add(seconds);
}

void Metrics::upload(char code, const std::string& reason) {
    std::lock_guard lock(mutex_);
    ++uploads_[{code, reason}];
}

void Metrics::database(double seconds, bool failed) {
    std::lock_guard lock(mutex_);
    database_.add(seconds);
    if (failed) ++databaseErrors_;
}

void Metrics::setGauges(Gauges gauges) {
    std::lock_guard lock(mutex_);
    gauges_ = std::move(gauges);
}

std::string Metrics::render() {
    Gauges gauges;
    std::string out;
    {
        std::lock_guard lock(mutex_);
        gauges = gauges_;
        header(out, "nimbulon_http_requests_total", "counter", "Requests answered, by path and status.");
        for (const auto& [key, n] : requests_)
            line(out, "nimbulon_http_requests_total",
                 "path=\"" + label(key.first) + "\",status=\"" + std::to_string(key.second) + "\"", std::to_string(n));
        header(out, "nimbulon_http_request_seconds", "histogram", "Time from a request's start to its answer.");
        for (const auto& [path, h] : latency_) h.write(out, "nimbulon_http_request_seconds", "path=\"" + label(path) + "\"");
        header(out, "nimbulon_uploads_total", "counter", "Uploads answered, by the reply's first byte and why.");
        for (const auto& [key, n] : uploads_)
            line(out, "nimbulon_uploads_total",
                 std::string("result=\"") + key.first + "\",reason=\"" + label(key.second) + "\"", std::to_string(n));
        header(out, "nimbulon_database_seconds", "histogram", "Time a database connection was held per operation.");
        database_.write(out, "nimbulon_database_seconds", "");
        header(out, "nimbulon_database_errors_total", "counter", "Database operations that failed.");
        line(out, "nimbulon_database_errors_total", "", std::to_string(databaseErrors_));
    }
    // The check processes are this server's only children, so their reaped CPU time is the checks'.
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    const double cpu = static_cast<double>(children.ru_utime.tv_sec + children.ru_stime.tv_sec) +
                       static_cast<double>(children.ru_utime.tv_usec + children.ru_stime.tv_usec) / 1e6;
    header(out, "nimbulon_check_cpu_seconds_total", "counter", "CPU time used by finished replay checks.");
    line(out, "nimbulon_check_cpu_seconds_total", "", number(cpu));
    if (gauges.checksRunning) {
        header(out, "nimbulon_checks_running", "gauge", "Uploads being decided now.");
        line(out, "nimbulon_checks_running", "", std::to_string(gauges.checksRunning()));
    }
    if (gauges.checksQueued) {
        header(out, "nimbulon_checks_queued", "gauge", "Uploads waiting for a checker.");
        line(out, "nimbulon_checks_queued", "", std::to_string(gauges.checksQueued()));
    }
    // Counted in the database: a server that cannot reach it leaves these out (and says so).
    bool reachable = true;
    for (const auto& [name, help, read] :
         {std::tuple{"nimbulon_stored_plays", "Plays stored (every mode).", gauges.storedPlays},
          std::tuple{"nimbulon_banned_names", "Names banned from the ranking.", gauges.bannedNames}}) {
        if (!read || !reachable) continue;
        try {
            const std::int64_t n = read();
            header(out, name, "gauge", help);
            line(out, name, "", std::to_string(n));
        } catch (const std::exception&) {
            reachable = false;
        }
    }
    header(out, "nimbulon_database_up", "gauge", "1 when the database answered the counts above.");
    line(out, "nimbulon_database_up", "", reachable ? "1" : "0");
    return out;
}

Metrics& serverMetrics() {
    static Metrics metrics;
    return metrics;
}
