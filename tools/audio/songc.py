#!/usr/bin/python3
"""Song compiler for Nimbulon: text scores (assets/music/*.song) to Standard MIDI Files.

Usage:
    /usr/bin/python3 tools/audio/songc.py [--src assets/music] [--out data] [names...]

Standard library only and deterministic.  Output is SMF format 1 with 480
ticks per quarter note: track 0 carries the tempo, time signature and a
"loop" marker at the final bar line; every instrument track starts with its
program change and controllers at tick 0.  Every track's End of Track sits on
the same final bar line, and the last note-offs land exactly there, so a
player that restarts at tick 0 right after the last stored event loops the
song seamlessly.

Score format (whitespace-separated; '#' starts a comment):

    title  Stage 1
    tempo  132                 # quarter notes per minute
    meter  4 4

    track Lead channel 1 program 62 volume 96 pan 64 reverb 40 chorus 10 gate 0.9
    track Drums channel 10 volume 110

    phrase NAME                # melodic phrase; body lines are indented
        o5 l8 v96 e g a b > c4 < b a | g2 r2 |

    drums NAME 16              # drum grid, 16 steps per bar
        kick  x... x... x... x...
        snare .... x... .... x...
        hat   x.x. x.x. x.x. x.x.

    play Lead  intro A A@2 B*2 rest*4

Phrase language: notes c d e f g a b with '+'/'#' (sharp) or '-' (flat),
then an optional length (1 2 4 8 16 32, or 3 6 12 24 for triplets), dots,
and ties '^length'.  'r' is a rest.  '[ceg]2' is a chord ('<' '>' inside
a chord act within it only).  'o4' sets the octave (c in o4 is middle C,
MIDI 60), '<' and '>' step it, 'l8' sets the default length, 'v90' the
velocity.  '(...)3' repeats a group.  '|' asserts a bar line.

Drum grid: one line per instrument (names in DRUMS), a cell per step:
'X' accent, 'x' normal, 'o' ghost, '-' or '.' silent.  Spaces are ignored.

Play items: a phrase or grid name, optionally '@N' to transpose a phrase by
N semitones and '*N' to repeat it; 'rest' or 'rest*N' is N silent bars.
Every phrase and every track must be whole bars, and all tracks the same
length; anything else is an error.
"""

import argparse
import os
import re
import struct
import sys

PPQ = 480

DRUMS = {
    "kick": 36, "kick2": 35, "rim": 37, "snare": 38, "clap": 39,
    "snare2": 40, "tom4": 41, "hat": 42, "tom3": 43, "pedal": 44,
    "tom2": 45, "open": 46, "tom1": 48, "crash": 49, "tom0": 50,
    "ride": 51, "china": 52, "bell": 53, "tamb": 54, "splash": 55,
    "cowbell": 56, "crash2": 57, "shaker": 82, "triangle": 81,
    "timbale": 65, "agogo": 67,
}
DRUM_VEL = {"X": 118, "x": 92, "o": 58}
PC = {"c": 0, "d": 2, "e": 4, "f": 5, "g": 7, "a": 9, "b": 11}


class SongError(Exception):
    pass


class Phrase:
    def __init__(self, name, length, notes):
        self.name = name
        self.length = length      # ticks
        self.notes = notes        # (start, duration, key, velocity)


def _len_ticks(num, dots):
    n = int(num)
    if n <= 0 or (4 * PPQ) % n:
        raise SongError("bad length %s" % num)
    t = 4 * PPQ // n
    add = t
    for _ in range(dots):
        add //= 2
        t += add
    return t


NOTE_RE = re.compile(r"([a-gr])([+#-]*)(\d*)(\.*)((?:\^\d+\.*)*)")
TIE_RE = re.compile(r"\^(\d+)(\.*)")


def parse_phrase(name, text, bar):
    """Parse the phrase language into a Phrase."""
    text = re.sub(r"\s+", " ", text)
    state = {"oct": 4, "len": PPQ, "vel": 96}
    notes = []
    pos = [0]

    def duration(num, dots, ties):
        t = _len_ticks(num, len(dots)) if num else state["len"]
        if not num and dots:
            add = t
            for _ in dots:
                add //= 2
                t += add
        for m in TIE_RE.finditer(ties):
            t += _len_ticks(m.group(1), len(m.group(2)))
        return t

    def pitch(letter, acc, octave):
        k = 12 * (octave + 1) + PC[letter]
        k += acc.count("+") + acc.count("#") - acc.count("-")
        if not 0 <= k <= 127:
            raise SongError("%s: note out of range" % name)
        return k

    def run(s):
        i = 0
        while i < len(s):
            ch = s[i]
            if ch in " \t":
                i += 1
            elif ch == "|":
                if pos[0] % bar:
                    raise SongError("%s: bar line at tick %d is %d ticks off the bar"
                                    % (name, pos[0], pos[0] % bar))
                i += 1
            elif ch == "<":
                state["oct"] -= 1
                i += 1
            elif ch == ">":
                state["oct"] += 1
                i += 1
            elif ch in "olv":
                m = re.match(r"[olv](\d+)", s[i:])
                if not m:
                    raise SongError("%s: bad command near %r" % (name, s[i:i + 10]))
                v = int(m.group(1))
                if ch == "o":
                    state["oct"] = v
                elif ch == "l":
                    state["len"] = _len_ticks(v, 0)
                else:
                    state["vel"] = max(1, min(127, v))
                i += m.end()
            elif ch == "(":
                depth, j = 1, i + 1
                while depth:
                    if j >= len(s):
                        raise SongError("%s: unclosed (" % name)
                    depth += {"(": 1, ")": -1}.get(s[j], 0)
                    j += 1
                m = re.match(r"\d+", s[j:])
                count = int(m.group(0)) if m else 2
                for _ in range(count):
                    run(s[i + 1:j - 1])
                i = j + (m.end() if m else 0)
            elif ch == "[":
                j = s.index("]", i)
                body = s[i + 1:j]
                m = re.match(r"(\d*)(\.*)((?:\^\d+\.*)*)", s[j + 1:])
                dur = duration(m.group(1), m.group(2), m.group(3))
                octave = state["oct"]
                for tok in re.finditer(r"([<>])|([a-g])([+#-]*)", body):
                    if tok.group(1):
                        octave += 1 if tok.group(1) == ">" else -1
                    else:
                        notes.append((pos[0], dur, pitch(tok.group(2), tok.group(3), octave),
                                      state["vel"]))
                pos[0] += dur
                i = j + 1 + m.end()
            else:
                m = NOTE_RE.match(s, i)
                if not m:
                    raise SongError("%s: cannot read %r" % (name, s[i:i + 10]))
                dur = duration(m.group(3), m.group(4), m.group(5))
                if m.group(1) != "r":
                    notes.append((pos[0], dur, pitch(m.group(1), m.group(2), state["oct"]),
                                  state["vel"]))
                pos[0] += dur
                i = m.end()

    run(text)
    if pos[0] % bar:
        raise SongError("%s: length %d ticks is not whole bars" % (name, pos[0]))
    return Phrase(name, pos[0], notes)


def parse_grid(name, steps, lines, bar):
    step = bar // steps
    if step * steps != bar:
        raise SongError("%s: %d steps do not divide the bar" % (name, steps))
    notes = []
    length = None
    for line in lines:
        parts = line.split(None, 1)
        if parts[0] not in DRUMS:
            raise SongError("%s: unknown drum %s" % (name, parts[0]))
        cells = re.sub(r"\s+", "", parts[1])
        if len(cells) % steps:
            raise SongError("%s: %s row is not whole bars" % (name, parts[0]))
        if length is not None and len(cells) * step != length:
            raise SongError("%s: rows differ in length" % name)
        length = len(cells) * step
        for k, c in enumerate(cells):
            if c in DRUM_VEL:
                notes.append((k * step, min(step, PPQ // 4), DRUMS[parts[0]], DRUM_VEL[c]))
            elif c not in ".-":
                raise SongError("%s: bad cell %r" % (name, c))
    return Phrase(name, length or 0, notes)


class Song:
    def __init__(self):
        self.title = ""
        self.tempo = 120.0
        self.meter = (4, 4)
        self.tracks = []          # dicts in declaration order
        self.phrases = {}
        self.plays = {}

    @property
    def bar(self):
        return PPQ * 4 * self.meter[0] // self.meter[1]


def parse_song(text):
    song = Song()
    lines = [re.sub(r"#.*", "", l).rstrip() for l in text.split("\n")]
    i = 0
    pending_blocks = []
    while i < len(lines):
        line = lines[i]
        i += 1
        if not line.strip():
            continue
        if line[0] in " \t":
            raise SongError("unexpected indented line: %r" % line)
        w = line.split()
        body = []
        while i < len(lines) and (not lines[i].strip() or lines[i][0] in " \t"):
            if lines[i].strip():
                body.append(lines[i].strip())
            i += 1
        kw = w[0]
        if kw == "title":
            song.title = " ".join(w[1:])
        elif kw == "tempo":
            song.tempo = float(w[1])
        elif kw == "meter":
            song.meter = (int(w[1]), int(w[2]))
        elif kw == "track":
            t = {"name": w[1], "channel": 1, "program": None, "volume": 100,
                 "pan": 64, "reverb": 40, "chorus": 0, "gate": 0.92}
            for k in range(2, len(w), 2):
                key = w[k]
                if key not in t:
                    raise SongError("track %s: unknown setting %s" % (w[1], key))
                t[key] = float(w[k + 1]) if key == "gate" else int(w[k + 1])
            if not 1 <= t["channel"] <= 16:
                raise SongError("track %s: channel must be 1..16" % w[1])
            song.tracks.append(t)
            song.plays[t["name"]] = []
        elif kw in ("phrase", "drums"):
            pending_blocks.append((kw, w, body))
        elif kw == "play":
            if w[1] not in song.plays:
                raise SongError("play for unknown track %s" % w[1])
            song.plays[w[1]].extend(w[2:])
        else:
            raise SongError("unknown keyword %s" % kw)
    for kw, w, body in pending_blocks:
        if w[1] in song.phrases:
            raise SongError("phrase %s defined twice" % w[1])
        if kw == "phrase":
            song.phrases[w[1]] = parse_phrase(w[1], " ".join(body), song.bar)
        else:
            song.phrases[w[1]] = parse_grid(w[1], int(w[2]), body, song.bar)
    return song


def arrange(song):
    """Lay out every track's notes; returns (end tick, {track name: notes})."""
    out = {}
    ends = {}
    for t in song.tracks:
        pos = 0
        notes = []
        for item in song.plays[t["name"]]:
            m = re.fullmatch(r"([A-Za-z_][\w]*)(?:@([+-]?\d+))?(?:\*(\d+))?", item)
            if not m:
                raise SongError("bad play item %s" % item)
            name, trans, count = m.group(1), int(m.group(2) or 0), int(m.group(3) or 1)
            for _ in range(count):
                if name == "rest":
                    pos += song.bar
                    continue
                if name not in song.phrases:
                    raise SongError("unknown phrase %s" % name)
                ph = song.phrases[name]
                for s, d, k, v in ph.notes:
                    if t["channel"] != 10:
                        k += trans
                    notes.append((pos + s, d, k, v))
                pos += ph.length
        out[t["name"]] = notes
        ends[t["name"]] = pos
    if len(set(ends.values())) != 1:
        raise SongError("tracks differ in length (bars): " + ", ".join(
            "%s %g" % (k, v / song.bar) for k, v in ends.items()))
    end = next(iter(ends.values()))
    if end == 0:
        raise SongError("empty song")
    return end, out


def vlq(n):
    b = [n & 0x7F]
    n >>= 7
    while n:
        b.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(b))


def track_chunk(events, end):
    """events: (tick, order, bytes); End of Track goes at end."""
    events = sorted(events, key=lambda e: (e[0], e[1]))
    data = bytearray()
    now = 0
    for tick, _, msg in events:
        if tick > end:
            raise SongError("event after the end of the song")
        data += vlq(tick - now) + msg
        now = tick
    data += vlq(end - now) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + bytes(data)


def meta(kind, payload):
    return bytes([0xFF, kind]) + vlq(len(payload)) + payload


def compile_song(text):
    song = parse_song(text)
    end, laid = arrange(song)
    chunks = []
    usec = int(round(60000000 / song.tempo))
    denom_pow = {1: 0, 2: 1, 4: 2, 8: 3, 16: 4}[song.meter[1]]
    cond = [
        (0, 0, meta(0x03, song.title.encode("ascii"))),
        (0, 1, meta(0x58, bytes([song.meter[0], denom_pow, 24, 8]))),
        (0, 2, meta(0x51, usec.to_bytes(3, "big"))),
        (end, 9, meta(0x06, b"loop")),
    ]
    chunks.append(track_chunk(cond, end))
    for t in song.tracks:
        ch = t["channel"] - 1
        ev = [(0, 0, meta(0x03, t["name"].encode("ascii")))]
        setup = [(0xB0, 121, 0), (0xB0, 0, 0)]
        setup.append((0xC0, t["program"] if t["program"] is not None else 0, None))
        setup += [(0xB0, 7, t["volume"]), (0xB0, 10, t["pan"]),
                  (0xB0, 91, t["reverb"]), (0xB0, 93, t["chorus"])]
        for k, (st, a, b) in enumerate(setup):
            msg = bytes([st | ch, a]) + (bytes([b]) if b is not None else b"")
            ev.append((0, 1 + k, msg))
        for s, d, key, vel in laid[t["name"]]:
            off = s + d
            if off < end and ch != 9:
                off = s + max(1, min(d, int(d * t["gate"])))
            ev.append((s, 20, bytes([0x90 | ch, key, vel])))
            ev.append((off, 10, bytes([0x80 | ch, key, 0x40])))
        chunks.append(track_chunk(ev, end))
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(chunks), PPQ)
    return header + b"".join(chunks), song, end


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(os.path.dirname(here))
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--src", default=os.path.join(root, "assets", "music"))
    ap.add_argument("--out", default=os.path.join(root, "data"))
    ap.add_argument("names", nargs="*", help="song names (default: all)")
    args = ap.parse_args(argv)
    names = args.names or sorted(
        f[:-5] for f in os.listdir(args.src) if f.endswith(".song"))
    os.makedirs(args.out, exist_ok=True)
    status = 0
    for name in names:
        with open(os.path.join(args.src, name + ".song"), encoding="utf-8") as f:
            text = f.read()
        try:
            data, song, end = compile_song(text)
        except SongError as e:
            print("%s: %s" % (name, e), file=sys.stderr)
            status = 1
            continue
        with open(os.path.join(args.out, name + ".mid"), "wb") as f:
            f.write(data)
        secs = end / PPQ * 60.0 / song.tempo
        print("%-8s %3d bars %6.1f s %6d bytes" % (name, end // song.bar, secs, len(data)))
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
