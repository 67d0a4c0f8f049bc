#include "storage/PathMatch.h"
#include <optional>
#include "core/PlayPath.h"
#include "core/UploadForm.h"

namespace pathmatch {
namespace {
std::optional<PlayPath> read(const std::string& path) { return PlayPath::decode(path, kDefaultMaxFrames + 1); }

std::string list(const std::vector<std::int64_t>& keys, char open, char close) {
    std::string out(1, open);
    for (std::size_t i = 0; i < keys.size(); ++i) out += (i ? "," : "") + std::to_string(keys[i]);
    return out + close;
}
}  // namespace

std::vector<std::int64_t> keys(std::int32_t mode, std::int32_t version, const std::string& path) {
    const std::optional<PlayPath> p = read(path);
    return p ? pathKeys(*p, mode, version) : std::vector<std::int64_t>{};
}

std::vector<std::int64_t> lookup(std::int32_t mode, std::int32_t version, const std::string& path) {
    return lookupKeys(keys(mode, version, path));
}

const Candidate* samePlay(const std::vector<Candidate>& candidates, const std::string& path) {
    const std::optional<PlayPath> upload = read(path);
    if (!upload) return nullptr;
    for (const Candidate& c : candidates) {
        const std::optional<PlayPath> stored = read(c.path);
        if (stored && PathLikeness::of(*upload, *stored).samePlay()) return &c;
    }
    return nullptr;
}

std::string jsonList(const std::vector<std::int64_t>& keys) { return list(keys, '[', ']'); }
std::string arrayLiteral(const std::vector<std::int64_t>& keys) { return list(keys, '{', '}'); }

}  // namespace pathmatch
