#pragma once
// One line of text per event, for readable expectations and for the comparison with mido.
#include <cstdio>
#include <string>
#include <vector>
#include "music/Score.h"

namespace miditest {

inline std::string hexBytes(const std::uint8_t* p, std::size_t n) {
    std::string s;
    char b[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, i ? " %02x" : "%02x", p[i]);
        s += b;
    }
    return s;
}

// "<time> <track> <kind> <detail>": kind is on, off, short, tempo, meta or long.
inline std::string eventText(const midiplayer::Event& e, bool withTrack = true) {
    using namespace midiplayer;
    std::string kind, detail;
    if (const auto* s = dynamic_cast<const EventShort*>(&e)) {
        kind = dynamic_cast<const EventNoteOn*>(&e) ? "on" : dynamic_cast<const EventNoteOff*>(&e) ? "off" : "short";
        const std::uint8_t b[3] = {s->status, s->dataByte1, s->dataByte2};
        detail = hexBytes(b, 3);
    } else if (const auto* t = dynamic_cast<const EventTempo*>(&e)) {
        kind = "tempo";
        detail = std::to_string(t->tempo);
    } else if (const auto* l = dynamic_cast<const EventLong*>(&e)) {
        kind = "long";
        detail = hexBytes(l->data.data(), l->length);
    } else {
        kind = "meta";
    }
    std::string line = std::to_string(e.time) + " ";
    if (withTrack) line += std::to_string(e.track) + " ";
    return line + kind + (detail.empty() ? "" : " " + detail);
}

inline std::vector<std::string> scoreText(const midiplayer::Score& score, bool withTrack = true) {
    std::vector<std::string> out;
    for (const auto& e : score.list()) out.push_back(eventText(*e, withTrack));
    return out;
}

}  // namespace miditest
