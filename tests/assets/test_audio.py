#!/usr/bin/python3
"""Checks of the game's sound effects and music and of their generators.

Run with /usr/bin/python3 (needs Debian's python3-mido).  Prints one line per
failure and ends with "N passed, M failed"; exits non-zero on any failure.
"""

import os
import struct
import subprocess
import sys
import tempfile
import traceback

import mido

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DATA = os.path.join(ROOT, "data")
TOOLS = os.path.join(ROOT, "tools", "audio")
sys.path.insert(0, TOOLS)

import songc  # noqa: E402

EFFECTS = {  # name: (min seconds, max seconds)
    "se_click": (0.02, 0.08),
    "se_burst1": (0.5, 1.5),
    "se_burst2": (0.3, 1.0),
    "se_hit": (0.03, 0.15),
    "se_charge": (0.9, 1.3),
    "se_rupee": (0.15, 0.6),
    "se_extend": (0.6, 1.6),
    "se_shot": (0.06, 0.08),
}
SONGS = ["title", "stage1", "stage2", "stage3", "stage4", "stage5"]


class Failed(Exception):
    pass


def check(cond, what):
    if not cond:
        raise Failed(what)


# ---------------------------------------------------------------- WAV files

def read_wav(path):
    """Parse a WAV file the way the game does: the first subchunk is the format."""
    with open(path, "rb") as f:
        raw = f.read()
    check(raw[:4] == b"RIFF" and raw[8:12] == b"WAVE", "%s: not RIFF/WAVE" % path)
    riff_size = struct.unpack_from("<I", raw, 4)[0]
    check(riff_size + 8 == len(raw), "%s: RIFF size %d but file is %d bytes"
          % (path, riff_size, len(raw)))
    chunks = []
    pos = 12
    while pos + 8 <= len(raw):
        cid, size = raw[pos:pos + 4], struct.unpack_from("<I", raw, pos + 4)[0]
        check(pos + 8 + size <= len(raw), "%s: chunk %r runs past the end" % (path, cid))
        chunks.append((cid, raw[pos + 8:pos + 8 + size]))
        pos += 8 + size + (size & 1)
    check([c for c, _ in chunks[:2]] == [b"fmt ", b"data"],
          "%s: chunks are %r, want fmt then data" % (path, [c for c, _ in chunks]))
    fmt = chunks[0][1]
    check(len(fmt) in (16, 18), "%s: fmt chunk of %d bytes" % (path, len(fmt)))
    return struct.unpack_from("<HHIIHH", fmt), chunks[1][1]


def test_effect_formats():
    for name in EFFECTS:
        (tag, chans, rate, byte_rate, align, bits), pcm = read_wav(
            os.path.join(DATA, name + ".wav"))
        check((tag, chans, rate, byte_rate, align, bits) == (1, 1, 22050, 22050, 1, 8),
              "%s: format %r, want PCM mono 22050 Hz 8-bit" % (
                  name, (tag, chans, rate, byte_rate, align, bits)))
        check(len(pcm) > 0, "%s: no samples" % name)


def test_effect_levels_and_edges():
    peaks = {}
    for name, (lo, hi) in EFFECTS.items():
        _, pcm = read_wav(os.path.join(DATA, name + ".wav"))
        secs = len(pcm) / 22050.0
        check(lo <= secs <= hi, "%s: %.3f s, want %.2f..%.2f s" % (name, secs, lo, hi))
        check(min(pcm) > 0 and max(pcm) < 255, "%s: clipped" % name)
        mean = sum(pcm) / len(pcm)
        check(abs(mean - 128) < 1.0, "%s: DC offset, mean %.2f" % (name, mean))
        for edge, s in (("start", pcm[:3]), ("end", pcm[-3:])):
            check(all(abs(v - 128) <= 2 for v in s), "%s: click at the %s %r" % (name, edge, s))
        peaks[name] = max(abs(v - 128) for v in pcm)
        check(peaks[name] >= 32, "%s: nearly silent (peak %d)" % (name, peaks[name]))
    check(peaks["se_shot"] < min(peaks["se_burst1"], peaks["se_burst2"], peaks["se_hit"]),
          "the shot must be quieter than bursts and hits: %r" % peaks)


def zero_crossings(pcm):
    return sum(1 for a, b in zip(pcm, pcm[1:]) if (a - 128) * (b - 128) < 0)


def test_effect_character():
    _, charge = read_wav(os.path.join(DATA, "se_charge.wav"))
    q = len(charge) // 4
    check(zero_crossings(charge[-q:]) > 2 * zero_crossings(charge[:q]),
          "se_charge: pitch does not rise")
    for name in ("se_burst1", "se_burst2"):
        _, pcm = read_wav(os.path.join(DATA, name + ".wav"))
        first, last = pcm[:len(pcm) // 4], pcm[-len(pcm) // 4:]
        loud = sum(abs(v - 128) for v in first) / len(first)
        tail = sum(abs(v - 128) for v in last) / len(last)
        check(tail < loud / 3, "%s: does not die away" % name)
    seen = {}
    for name in EFFECTS:
        with open(os.path.join(DATA, name + ".wav"), "rb") as f:
            data = f.read()
        check(data not in seen, "%s is a copy of %s" % (name, seen.get(data)))
        seen[data] = name


# ---------------------------------------------------------------- MIDI files

def song_facts(path):
    mid = mido.MidiFile(path)
    per_track = []
    for track in mid.tracks:
        tick, events, eot = 0, [], None
        for msg in track:
            tick += msg.time
            if msg.type == "end_of_track":
                eot = tick
            else:
                events.append((tick, msg))
        per_track.append((events, eot))
    return mid, per_track


def test_song_structure():
    for name in SONGS:
        path = os.path.join(DATA, name + ".mid")
        mid, tracks = song_facts(path)
        check(mid.type in (0, 1), "%s: SMF type %d" % (name, mid.type))
        ppq = mid.ticks_per_beat
        events = [(t, m) for evs, _ in tracks for t, m in evs]
        tempos = [(t, m.tempo) for t, m in events if m.type == "set_tempo"]
        check(tempos and tempos[0][0] == 0, "%s: no tempo at tick 0" % name)
        check(len(tempos) == 1, "%s: tempo changes; a loop would keep the last one" % name)
        sigs = [m for t, m in events if m.type == "time_signature" and t == 0]
        num, den = (sigs[0].numerator, sigs[0].denominator) if sigs else (4, 4)
        bar = ppq * 4 * num // den

        ends = {eot for _, eot in tracks}
        check(None not in ends, "%s: a track has no End of Track" % name)
        check(len(ends) == 1, "%s: tracks end at different ticks %r" % (name, sorted(ends)))
        end = ends.pop()
        check(end % bar == 0, "%s: end tick %d is not on a bar line" % (name, end))
        # The player loops right after the last stored event: it must be the final bar line.
        last = max(t for t, _ in events)
        check(last == end, "%s: last event at %d but the song ends at %d" % (name, last, end))

        secs = end / ppq * tempos[0][1] / 1e6
        check(secs >= 60.0, "%s: %.1f s before the loop" % (name, secs))

        sounding = {}
        programs = {}
        notes_by_channel = {}
        for t, m in sorted(events, key=lambda e: e[0]):
            if m.type == "program_change" and t == 0:
                programs[m.channel] = m.program
            if m.type == "note_on" and m.velocity > 0:
                notes_by_channel[m.channel] = notes_by_channel.get(m.channel, 0) + 1
                sounding[(m.channel, m.note)] = sounding.get((m.channel, m.note), 0) + 1
            elif m.type in ("note_off", "note_on"):
                key = (m.channel, m.note)
                check(sounding.get(key), "%s: note-off without note-on %r" % (name, key))
                sounding[key] -= 1
        check(not any(sounding.values()), "%s: notes still sounding at the loop" % name)
        check(notes_by_channel.get(9, 0) > 0, "%s: no drums on channel 10" % name)
        melodic = [c for c in notes_by_channel if c != 9]
        check(len(melodic) >= 3, "%s: fewer than three melodic parts" % name)
        for c in melodic:
            check(c in programs, "%s: channel %d plays without a program change at tick 0"
                  % (name, c + 1))
        density = sum(notes_by_channel.values()) / secs
        check(density < 40, "%s: %.0f notes per second" % (name, density))
    # each song has its own sound
    sets = {}
    for name in SONGS:
        mid, tracks = song_facts(os.path.join(DATA, name + ".mid"))
        progs = tuple(sorted({m.program for evs, _ in tracks for _, m in evs
                              if m.type == "program_change" and m.channel != 9}))
        check(progs not in sets, "%s uses the same instruments as %s" % (name, sets.get(progs)))
        sets[progs] = name


# ---------------------------------------------------------------- compiler

BASE = "tempo 120\nmeter 4 4\ntrack A channel 1 program 0 gate 1.0\n"


def test_compiler_timing():
    src = BASE + ("track D channel 10\n"
                  "phrase p\n    o4 l8 c4 d e [ceg]2 |\n"
                  "drums g 4\n    kick x.X.\n"
                  "play A p p@2\nplay D g*2\n")
    data, _, end = songc.compile_song(src)
    with tempfile.NamedTemporaryFile(suffix=".mid", delete=False) as f:
        f.write(data)
    try:
        _, tracks = song_facts(f.name)
    finally:
        os.unlink(f.name)
    check(end == 2 * 1920, "song of two bars ends at %d" % end)
    ons = [(t, m.note) for t, m in tracks[1][0] if m.type == "note_on" and m.velocity]
    check(ons == [(0, 60), (480, 62), (720, 64), (960, 60), (960, 64), (960, 67),
                  (1920, 62), (2400, 64), (2640, 66), (2880, 62), (2880, 66), (2880, 69)],
          "note times and transposition: %r" % ons)
    offs = [t for t, m in tracks[1][0] if m.type == "note_off"]
    check(max(offs) == end, "the last note-off is not on the final bar line")
    drums = [(t, m.note, m.velocity, m.channel) for t, m in tracks[2][0]
             if m.type == "note_on" and m.velocity]
    check(drums == [(0, 36, 92, 9), (960, 36, 118, 9), (1920, 36, 92, 9), (2880, 36, 118, 9)],
          "drum grid: %r" % drums)
    check(all(eot == end for _, eot in tracks), "End of Track not on the final bar line")


def test_compiler_rejects_bad_scores():
    cases = {
        "phrase not whole bars": BASE + "phrase p\n    c4 d4 e4\nplay A p\n",
        "bar line off the bar": BASE + "phrase p\n    c2 | c2 c2 c2 |\nplay A p\n",
        "tracks of different length": BASE + "track B channel 2\n"
                                              "phrase p\n    c1\nplay A p*2\nplay B p\n",
        "unknown phrase": BASE + "play A nothing\n",
        "unknown drum": BASE + "drums g 4\n    cymbal x...\nplay A g\n",
        "note out of range": BASE + "phrase p\n    o10 c1\nplay A p\n",
        "unknown track setting": "track A channel 1 loudness 3\n",
    }
    for what, src in cases.items():
        try:
            songc.compile_song(src)
        except songc.SongError:
            continue
        raise Failed("accepted a score with " + what)


# ---------------------------------------------------------------- determinism

# The effect synthesiser computes in floating point through the C maths library, whose sin, exp
# and pow take FMA or non-FMA paths by processor; an 8-bit sample that lands on a rounding
# boundary can then come out one level apart on another machine.  The songs are integer work and
# must match to the byte.  A regenerated effect matches the committed one when the headers are
# identical, no sample is more than one level off, and such samples are rare.
MAX_OFF_BY_ONE_SAMPLES = 64


def wav_regeneration_difference(new, old):
    if len(new) != len(old):
        return "size %d, committed %d" % (len(new), len(old))
    header = old.find(b"data", 12) + 8
    if header < 8 or new[:header] != old[:header]:
        return "headers differ"
    off = [(i, a, b) for i, (a, b) in enumerate(zip(new[header:], old[header:]), header) if a != b]
    for i, a, b in off:
        if abs(a - b) > 1:
            return "byte %d is %d, committed %d" % (i, a, b)
    if len(off) > MAX_OFF_BY_ONE_SAMPLES:
        return "%d samples one level off (at most %d)" % (len(off), MAX_OFF_BY_ONE_SAMPLES)
    return None


def test_generators_reproduce_committed_files():
    for tool, ext, names in (("sfxgen.py", ".wav", list(EFFECTS)), ("songc.py", ".mid", SONGS)):
        outs = []
        for _ in range(2):
            d = tempfile.mkdtemp()
            subprocess.run([sys.executable, os.path.join(TOOLS, tool), "--out", d],
                           check=True, stdout=subprocess.DEVNULL)
            outs.append(d)
        for name in names:
            blobs = []
            for d in outs + [DATA]:
                with open(os.path.join(d, name + ext), "rb") as f:
                    blobs.append(f.read())
            check(blobs[0] == blobs[1], "%s%s differs between two runs" % (name, ext))
            if ext == ".wav":
                problem = wav_regeneration_difference(blobs[0], blobs[2])
                check(problem is None, "data/%s%s is not what the generator makes (%s; "
                      "regenerate and commit)" % (name, ext, problem))
            else:
                check(blobs[0] == blobs[2], "data/%s%s is not what the generator makes "
                      "(regenerate and commit)" % (name, ext))
        for d in outs:
            for fn in os.listdir(d):
                os.unlink(os.path.join(d, fn))
            os.rmdir(d)


def main():
    tests = [(k, v) for k, v in globals().items() if k.startswith("test_") and callable(v)]
    passed = failed = 0
    for name, fn in tests:
        try:
            fn()
            passed += 1
        except Failed as e:
            failed += 1
            print("FAIL %s: %s" % (name, e))
        except Exception:
            failed += 1
            print("ERROR %s:\n%s" % (name, traceback.format_exc()))
    print("%d passed, %d failed" % (passed, failed))
    if os.environ.get("NIMBULON_CHECKS"):  # scripts/test.sh counts each suite's checks
        with open(os.environ["NIMBULON_CHECKS"], "a") as f:
            f.write("%d %d 0\n" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
