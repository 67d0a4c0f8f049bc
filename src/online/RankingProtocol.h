#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class Score;

// The bytes of the three exchanges with the ranking server, and what the replies mean. Nothing
// here touches the network, so the replies can be checked (and fuzzed) on their own.
namespace ranking {

constexpr const char* kUserAgent = "nimbulon000";
// The upload's form boundary as the header gives it; every delimiter line in the body is this
// preceded by two more dashes.
constexpr const char* kBoundary = "---------------------------7d44f2d130918";
// The header line of the upload, without its line end.
constexpr const char* kContentTypeHeader =
    "Content-Type: multipart/form-data; boundary=\"---------------------------7d44f2d130918\"";

// The upload buffer of old held 102399 bytes; longer plays are sent from a buffer as large as
// they need, up to this bound, which the server enforces too.
constexpr std::size_t kClassicBufferBytes = 102399;
constexpr std::size_t kMaxUploadBytes = 1024 * 1024;
// A replay reply longer than this is not a replay of ours.
constexpr std::size_t kMaxReplayBytes = 1024 * 1024;
// The upload's answer matters by its first byte; the list may be long.
constexpr std::size_t kMaxUploadReplyBytes = kClassicBufferBytes;
constexpr std::size_t kMaxListBytes = 16 * 1024 * 1024;

// "path?version=N" and "path?id=N".
std::string listTarget(const std::string& path, std::int32_t version);
std::string replayTarget(const std::string& path, std::int32_t id);

// The multipart body of an upload: name, pass (the digest), message (the comment), max_file_size
// and replay_file (the record's bytes), closed by the final delimiter twice.
std::string uploadBody(const std::string& name, const std::string& digest, const std::string& comment,
                       const std::vector<unsigned char>& record);

// What the first byte of the upload's answer says.
enum class UploadAnswer { Stored, NameTakenOrWrongPassword, NotProcessed };
UploadAnswer uploadAnswer(const std::string& body);

// Whether an HTTP status is a successful answer (2xx); anything else carries no list, replay or
// upload result.
inline bool isSuccess(long status) { return status >= 200 && status < 300; }

// Reads a replay reply into record; false, with record unchanged, when the bytes are not a whole
// replay file.
bool readReplay(const std::string& body, Score& record);

}  // namespace ranking
