#pragma once
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include "music/Event.h"

namespace midiplayer {

// One parsed Standard MIDI File: every event of every track in one list ordered by time (among
// equal times, lower tracks first, file order within a track).
class Score {
public:
    class ScoreException : public MyException {
    public:
        using MyException::MyException;
        virtual std::string label() const { return "ScoreException:"; }
    };

    using EventList = std::list<std::unique_ptr<Event>>;
    using Position = EventList::const_iterator;

    // Holds a single tempo of 1000000 us per quarter note at tick 0.
    Score();
    virtual ~Score();
    Score(const Score&) = delete;
    Score& operator=(const Score&) = delete;

    // Replaces the content by the parsed file; throws ScoreException on failure (the score is
    // then empty).
    void load(const std::string& path);
    void clear();
    // Inserts a copy after every event whose time is <= its own; raises trackCount to track + 1.
    void addEvent(const Event& event);
    // The tempo in force at the event at `position` (a tempo later in the list at the same tick
    // counts). Throws ScoreException "start tempo undefined" when no tempo event precedes it.
    std::uint32_t tempoAt(Position position) const;

    Position first() const { return events.begin(); }
    Position end() const { return events.end(); }
    std::uint16_t getDivision() const { return division; }
    const EventList& list() const { return events; }

    static std::unique_ptr<Event> makeShort(std::uint8_t status, std::uint8_t dataByte1, std::uint8_t dataByte2);
    static std::unique_ptr<Event> makeMeta(std::uint8_t type, const std::uint8_t* bytes, std::uint32_t length);
    static std::unique_ptr<Event> makeLong(std::uint8_t type, const std::uint8_t* bytes, std::uint32_t length);

    EventList events;
    std::uint16_t format = 1;
    std::uint16_t trackCount = 1;
    std::uint16_t division = 480;
};

}  // namespace midiplayer
