#pragma once
#include <iosfwd>
#include <string>

// ./data/server.txt: where the ranking server is, four lines each ending with a line end:
//
//   127.0.0.1:8080      host, or host:port (port 80 when absent); an IPv6 address in brackets
//   /ranking            path of the ranking list ("?version=N" is appended)
//   /replay             path of a stored replay ("?id=N" is appended)
//   /upload             path of the upload
//
// The file is the installer's to write; the game only reads it. Each line counts up to its first
// 98 characters; a missing line leaves its value empty (the requests needing it then fail).
struct ServerConfig {
    static constexpr const char* kDefaultPath = "./data/server.txt";
    static constexpr std::size_t kMaxLineChars = 98;

    std::string host;  // line 1 as written
    std::string listPath;
    std::string replayPath;
    std::string uploadPath;

    // All four strings empty when the file cannot be opened.
    static ServerConfig load(const std::string& path = kDefaultPath);
    static ServerConfig parse(std::istream& in);
};

// Line 1 taken apart: "example.org", "example.org:8080", "10.0.0.2:80", "[::1]:8080".
struct ServerAddress {
    std::string host;  // without brackets
    int port = 80;
};

// False for an empty host, a port that is not a number in 1..65535, or characters that have no
// place in a host name or address (so nothing typed into the file can change the request's URL).
bool parseServerAddress(const std::string& line, ServerAddress& out);

// A request path is usable when it starts with '/' and holds only printable ASCII other than
// space and '#'.
bool isUsableRequestPath(const std::string& path);
