#!/usr/bin/python3
"""Sound-effect synthesiser for Nimbulon.

Reads effect descriptions (INI files, one per effect) from assets/sounds/ and
writes 8-bit unsigned mono 22050 Hz PCM WAV files.  Standard library only and
fully deterministic: noise comes from a seeded linear congruential generator,
so the same description always gives the same bytes.

Usage:
    /usr/bin/python3 tools/audio/sfxgen.py [--src assets/sounds] [--out data]

Description format (see assets/sounds/*.ini):

    [effect]
    length = 0.070        ; seconds
    peak   = 0.30         ; final peak amplitude, 0..1 of full scale
    fade   = 0.003        ; fade-in/out at the very edges, seconds
    highpass = 30         ; DC blocker corner in Hz (optional)

    [layer NAME]          ; any number of layers, mixed by their gain
    wave    = sine | square | triangle | saw | noise
    gain    = 1.0
    start   = 0.0         ; seconds from the start of the effect
    length  = 0.070       ; seconds (default: to the end of the effect)
    freq    = 1200 600    ; start and end frequency in Hz (exponential glide)
    notes   = 72 76 79    ; alternatively MIDI notes played one after another
    step    = 0.06        ; seconds per note when notes is given
    duty    = 0.5         ; pulse width for square
    attack  = 0.002       ; linear attack, seconds
    decay   = 0.05        ; exponential decay time constant, seconds (0 = hold)
    release = 0.01        ; linear fade at the end of the layer, seconds
    swell   = 0           ; 1: envelope rises linearly over the layer instead
    lowpass = 4000 800    ; one-pole low-pass cutoff, start and end Hz
    vibrato = 6 0.01      ; rate in Hz and depth as a frequency ratio
    tremolo = 12 0.3      ; rate in Hz and depth 0..1
    retrigger = 1         ; notes: restart the attack/decay on every note
    seed    = 1           ; noise seed
    hold    = 1           ; noise: samples each random value is held (grit)
"""

import argparse
import configparser
import math
import os
import struct
import sys

RATE = 22050


def _floats(text):
    return [float(v) for v in text.split()]


class Noise:
    """Deterministic white noise in -1..1 (32-bit LCG, Numerical Recipes)."""

    def __init__(self, seed):
        self.state = (int(seed) * 2654435761 + 12345) & 0xFFFFFFFF

    def next(self):
        self.state = (self.state * 1664525 + 1013904223) & 0xFFFFFFFF
        return (self.state >> 8) / float(1 << 23) - 1.0


def render_layer(sec, total):
    wave = sec.get("wave", "sine")
    gain = sec.getfloat("gain", 1.0)
    start = int(round(sec.getfloat("start", 0.0) * RATE))
    default_len = total / RATE - start / RATE
    n = int(round(sec.getfloat("length", default_len) * RATE))
    n = max(0, min(n, total - start))
    attack = sec.getfloat("attack", 0.002) * RATE
    decay = sec.getfloat("decay", 0.0) * RATE
    release = sec.getfloat("release", 0.005) * RATE
    swell = sec.getint("swell", 0)
    duty = sec.getfloat("duty", 0.5)
    hold = max(1, sec.getint("hold", 1))
    retrigger = sec.getint("retrigger", 0)

    step = None
    if "notes" in sec:
        notes = _floats(sec["notes"])
        step = sec.getfloat("step", 0.05) * RATE
        last_note_start = step * (len(notes) - 1)

        def freq_at(i):
            k = min(int(i / step), len(notes) - 1)
            return 440.0 * 2.0 ** ((notes[k] - 69.0) / 12.0)
    else:
        f = _floats(sec.get("freq", "440"))
        f0, f1 = f[0], f[-1]

        def freq_at(i):
            t = i / max(1, n - 1)
            return f0 * (f1 / f0) ** t

    lp = _floats(sec["lowpass"]) if "lowpass" in sec else None
    vib = _floats(sec["vibrato"]) if "vibrato" in sec else None
    trem = _floats(sec["tremolo"]) if "tremolo" in sec else None
    noise = Noise(sec.getint("seed", 1))

    out = [0.0] * n
    phase = 0.0
    held = 0.0
    lp_state = 0.0
    for i in range(n):
        t = i / RATE
        f = freq_at(i)
        if vib:
            f *= 1.0 + vib[1] * math.sin(2.0 * math.pi * vib[0] * t)
        phase += f / RATE
        phase -= math.floor(phase)
        if wave == "sine":
            v = math.sin(2.0 * math.pi * phase)
        elif wave == "square":
            v = 1.0 if phase < duty else -1.0
        elif wave == "triangle":
            v = 4.0 * phase - 1.0 if phase < 0.5 else 3.0 - 4.0 * phase
        elif wave == "saw":
            v = 2.0 * phase - 1.0
        elif wave == "noise":
            if i % hold == 0:
                held = noise.next()
            v = held
        else:
            raise ValueError("unknown wave: " + wave)

        if lp:
            frac = i / max(1, n - 1)
            cut = lp[0] * (lp[-1] / lp[0]) ** frac
            a = 1.0 - math.exp(-2.0 * math.pi * cut / RATE)
            lp_state += a * (v - lp_state)
            v = lp_state

        # envelope; e counts samples since the envelope was (re)started
        e = i
        if retrigger and step:
            e = i - last_note_start if i >= last_note_start else i % step
        if swell:
            env = (i + 1) / n
        else:
            env = 1.0
            if decay > 0:
                env = math.exp(-max(0.0, e - attack) / decay)
        if e < attack:
            env *= e / attack
        if release > 0 and i > n - release:
            env *= max(0.0, (n - i) / release)
        if trem:
            env *= 1.0 - trem[1] * 0.5 * (1.0 - math.cos(2.0 * math.pi * trem[0] * t))
        out[i] = v * env * gain
    return start, out


def render(cfg):
    eff = cfg["effect"]
    total = int(round(eff.getfloat("length") * RATE))
    mix = [0.0] * total
    for name in cfg.sections():
        if not name.startswith("layer"):
            continue
        start, data = render_layer(cfg[name], total)
        for i, v in enumerate(data):
            mix[start + i] += v

    # DC blocker: one-pole high-pass
    corner = eff.getfloat("highpass", 30.0)
    r = math.exp(-2.0 * math.pi * corner / RATE)
    prev_x = prev_y = 0.0
    for i, x in enumerate(mix):
        y = x - prev_x + r * prev_y
        prev_x, prev_y = x, y
        mix[i] = y
    mean = sum(mix) / len(mix)
    mix = [v - mean for v in mix]

    # edge fades so the effect neither starts nor stops with a click
    fade = max(1, int(eff.getfloat("fade", 0.003) * RATE))
    for i in range(min(fade, total)):
        g = i / fade
        mix[i] *= g
        mix[total - 1 - i] *= g

    peak = max(abs(v) for v in mix) or 1.0
    scale = eff.getfloat("peak") / peak
    return [v * scale for v in mix]


def to_u8(samples):
    out = bytearray(len(samples))
    for i, v in enumerate(samples):
        q = int(math.floor(128.0 + v * 127.0 + 0.5))
        out[i] = min(255, max(1, q))
    return bytes(out)


def wav_bytes(pcm):
    """RIFF/WAVE with an 18-byte "fmt " chunk (WAVEFORMATEX, cbSize 0) first."""
    fmt = struct.pack("<HHIIHHH", 1, 1, RATE, RATE, 1, 8, 0)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", len(pcm)) + pcm
    if len(pcm) % 2:
        body += b"\x00"  # RIFF pad byte
    return b"RIFF" + struct.pack("<I", len(body)) + body


def build(src_path):
    cfg = configparser.ConfigParser(inline_comment_prefixes=(";", "#"))
    with open(src_path, encoding="utf-8") as f:
        cfg.read_file(f)
    return wav_bytes(to_u8(render(cfg)))


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(os.path.dirname(here))
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--src", default=os.path.join(root, "assets", "sounds"))
    ap.add_argument("--out", default=os.path.join(root, "data"))
    ap.add_argument("names", nargs="*", help="effect names (default: all)")
    args = ap.parse_args(argv)
    names = args.names or sorted(
        f[:-4] for f in os.listdir(args.src) if f.endswith(".ini"))
    os.makedirs(args.out, exist_ok=True)
    for name in names:
        data = build(os.path.join(args.src, name + ".ini"))
        with open(os.path.join(args.out, name + ".wav"), "wb") as f:
            f.write(data)
        print("%-12s %6d bytes" % (name, len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
