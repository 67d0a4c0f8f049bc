#include "online/ServerConfig.h"
#include <fstream>
#include <istream>

namespace {
// One line: up to its line end (LF, or CR LF as a file written on Windows has it), of which the
// first kMaxLineChars characters count; the rest of an over-long line is skipped, so that it never
// spills into the next value. False at the end of the input.
bool readLine(std::istream& in, std::string& out) {
    out.clear();
    if (!in || in.peek() == std::char_traits<char>::eof()) return false;
    char c;
    while (in.get(c) && c != '\n')
        if (out.size() < ServerConfig::kMaxLineChars + 1) out.push_back(c);
    if (!out.empty() && out.back() == '\r') out.pop_back();
    if (out.size() > ServerConfig::kMaxLineChars) out.resize(ServerConfig::kMaxLineChars);
    return true;
}

bool isHostChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_';
}

bool isIPv6Char(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
}

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}
}  // namespace

ServerConfig ServerConfig::parse(std::istream& in) {
    ServerConfig config;
    std::string* fields[] = {&config.host, &config.listPath, &config.replayPath, &config.uploadPath};
    for (std::string* field : fields)
        if (!readLine(in, *field)) break;
    return config;
}

ServerConfig ServerConfig::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return ServerConfig{};
    return parse(in);
}

bool parseServerAddress(const std::string& line, ServerAddress& out) {
    const std::string text = trimmed(line);
    std::string host;
    std::string port;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string::npos) return false;
        host = text.substr(1, close - 1);
        const std::string rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return false;
            port = rest.substr(1);
            if (port.empty()) return false;
        }
        if (host.empty()) return false;
        for (char c : host)
            if (!isIPv6Char(c)) return false;
    } else {
        const auto colon = text.find(':');
        host = text.substr(0, colon);
        if (colon != std::string::npos) {
            port = text.substr(colon + 1);
            if (port.empty()) return false;
        }
        if (host.empty()) return false;
        for (char c : host)
            if (!isHostChar(c)) return false;
    }
    int number = 80;
    if (!port.empty()) {
        if (port.size() > 5) return false;
        number = 0;
        for (char c : port) {
            if (c < '0' || c > '9') return false;
            number = number * 10 + (c - '0');
        }
        if (number < 1 || number > 65535) return false;
    }
    out.host = host;
    out.port = number;
    return true;
}

bool isUsableRequestPath(const std::string& path) {
    if (path.empty() || path.front() != '/') return false;
    for (char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F || c == '#') return false;
    }
    return true;
}
