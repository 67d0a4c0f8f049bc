#include "music/Event.h"

namespace midiplayer {

EventLong::EventLong(std::uint8_t t, const std::uint8_t* bytes, std::uint32_t n) : type(t) {
    if (t == 0xF0) {
        data.reserve(static_cast<std::size_t>(n) + 1);
        data.push_back(0xF0);
    } else if (t != 0xF7) {
        throw EventLongException("Unknown type:" + std::to_string(t));
    }
    if (n > 0) data.insert(data.end(), bytes, bytes + n);
    length = static_cast<std::uint32_t>(data.size());
}

}  // namespace midiplayer
