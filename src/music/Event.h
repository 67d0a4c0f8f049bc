#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "music/MidiException.h"

namespace midiplayer {

// One event of a song, at an absolute time in ticks.
class Event {
public:
    std::int32_t time = 0;   // ticks from the start of the song
    std::int32_t track = 0;  // track number

    virtual ~Event() = default;
    virtual void setTrack(int t) { track = t; }
    virtual int getTrack() const { return track; }
    // A new heap copy of the same concrete class.
    virtual std::unique_ptr<Event> clone() const = 0;

protected:
    Event() = default;
    Event(const Event&) = default;
    Event& operator=(const Event&) = default;
};

// A channel message that is not a note (and the base of the note events).
class EventShort : public Event {
public:
    std::uint8_t status = 0;
    std::uint8_t dataByte1 = 0;
    std::uint8_t dataByte2 = 0;

    EventShort() = default;
    EventShort(std::uint8_t s, std::uint8_t d1, std::uint8_t d2) : status(s), dataByte1(d1), dataByte2(d2) {}
    std::unique_ptr<Event> clone() const override { return std::make_unique<EventShort>(*this); }
};

// Status 0x9n with a velocity above 0.
class EventNoteOn : public EventShort {
public:
    using EventShort::EventShort;
    std::unique_ptr<Event> clone() const override { return std::make_unique<EventNoteOn>(*this); }
};

// A note release, always kept in note-on form: status 0x9n, the note, velocity 0.
class EventNoteOff : public EventShort {
public:
    using EventShort::EventShort;
    std::unique_ptr<Event> clone() const override { return std::make_unique<EventNoteOff>(*this); }
};

// A meta event other than tempo and end of track (its type and data are not kept).
class EventMeta : public Event {
public:
    std::unique_ptr<Event> clone() const override { return std::make_unique<EventMeta>(*this); }
};

// Meta type 0x51.
class EventTempo : public EventMeta {
public:
    std::uint32_t tempo = 0;  // microseconds per quarter note

    EventTempo() = default;
    explicit EventTempo(std::uint32_t t) : tempo(t) {}
    std::unique_ptr<Event> clone() const override { return std::make_unique<EventTempo>(*this); }
};

// Meta type 0x2F (end of track); never stored in a score.
class EventTrackTerminator : public EventMeta {
public:
    std::unique_ptr<Event> clone() const override { return std::make_unique<EventTrackTerminator>(*this); }
};

// A system-exclusive message. Type 0xF0 keeps 0xF0 followed by the file's bytes; type 0xF7 keeps
// the file's bytes as they are.
class EventLong : public Event {
public:
    class EventLongException : public MyException {
    public:
        using MyException::MyException;
        virtual std::string label() const { return "EventLongException"; }
    };

    // Throws EventLongException "Unknown type:<decimal>" for a type other than 0xF0 or 0xF7.
    EventLong(std::uint8_t type, const std::uint8_t* bytes, std::uint32_t length);
    std::unique_ptr<Event> clone() const override { return std::make_unique<EventLong>(*this); }

    std::uint8_t type = 0xF0;
    std::vector<std::uint8_t> data;  // owned bytes
    std::uint32_t length = 0;        // bytes in data
};

}  // namespace midiplayer
