#include "online/RankingProtocol.h"
#include <cstdio>
#include <sstream>
#include "records/Score.h"

namespace ranking {
namespace {
std::string delimiter() { return std::string("--") + kBoundary + "\r\n"; }

std::string field(const char* name) {
    return std::string("Content-Disposition: form-data; name=\"") + name + "\"\r\n\r\n";
}
}  // namespace

std::string listTarget(const std::string& path, std::int32_t version) {
    char query[32];
    std::snprintf(query, sizeof query, "?version=%d", version);
    return path + query;
}

std::string replayTarget(const std::string& path, std::int32_t id) {
    char query[32];
    std::snprintf(query, sizeof query, "?id=%d", id);
    return path + query;
}

std::string uploadBody(const std::string& name, const std::string& digest, const std::string& comment,
                       const std::vector<unsigned char>& record) {
    std::string body;
    body.reserve(700 + name.size() + comment.size() + record.size());
    body += delimiter();
    body += field("name") + name + "\r\n";
    body += delimiter();
    body += field("pass") + digest + "\r\n";
    body += delimiter();
    body += field("message") + comment + "\r\n";
    body += delimiter();
    body += field("max_file_size") + "1000000\r\n";
    body += delimiter();
    body += "Content-Disposition: form-data; name=\"replay_file\"; filename=\"replay_file\"\r\n";
    body += "Content-Type: application/octet-stream\r\n\r\n";
    body.append(reinterpret_cast<const char*>(record.data()), record.size());
    body += "\r\n";
    const std::string closing = std::string("--") + kBoundary + "--\r\n";
    body += closing + closing;
    return body;
}

UploadAnswer uploadAnswer(const std::string& body) {
    if (!body.empty() && body[0] == '1') return UploadAnswer::NameTakenOrWrongPassword;
    if (!body.empty() && body[0] == '2') return UploadAnswer::NotProcessed;
    return UploadAnswer::Stored;
}

bool readReplay(const std::string& body, Score& record) {
    std::istringstream in(body, std::ios::binary);
    return record.read(in);
}

}  // namespace ranking
