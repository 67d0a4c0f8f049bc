#!/usr/bin/python3
"""Prints the merged, time-ordered event list of a Standard MIDI File as read by mido, one event a
line, in the form of the music tests: "<time> <track> <kind> <detail>".

Our reader differs from mido by design in three ways, applied here to mido's events:
- a note release is kept in note-on form: note_off (any velocity) and note_on with velocity 0 both
  become "off 9n kk 00";
- end-of-track events are not stored;
- a file of one track is split by channel: channel messages get track = channel + 1, all other
  events track 0.
"""
import sys
import mido


def describe(msg):
    if msg.is_meta:
        if msg.type == 'end_of_track':
            return None
        if msg.type == 'set_tempo':
            return 'tempo %d' % msg.tempo
        return 'meta'
    data = msg.bytes()
    if msg.type == 'sysex':
        return 'long ' + ' '.join('%02x' % b for b in data)
    if msg.type in ('note_off', 'note_on') and (msg.type == 'note_off' or msg.velocity == 0):
        return 'off %02x %02x 00' % (0x90 | msg.channel, msg.note)
    data = (data + [0, 0])[:3]
    kind = 'on' if msg.type == 'note_on' else 'short'
    return kind + ' ' + ' '.join('%02x' % b for b in data)


def main(path):
    mid = mido.MidiFile(path)
    events = []
    for index, track in enumerate(mid.tracks):
        now = 0
        for msg in track:
            now += msg.time
            text = describe(msg)
            if text is None:
                continue
            number = index
            if len(mid.tracks) == 1:
                number = msg.channel + 1 if hasattr(msg, 'channel') else 0
            events.append((now, len(events), '%d %d %s' % (now, number, text)))
    events.sort(key=lambda e: (e[0], e[1]))  # by time; equal times keep track, then file order
    for _, _, line in events:
        print(line)


if __name__ == '__main__':
    main(sys.argv[1])
