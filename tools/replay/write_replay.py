#!/usr/bin/env python3
"""Writes a replay file by hand: a game mode and the buttons held, as runs of frames.

    write_replay.py OUT.rep MODE RUN... [--result SCORE STAGES LIVES FRAMES]

Each RUN is COUNT*BUTTONS: the buttons held for COUNT frames, one letter each:
R right, D down, L left, U up, Z button 1 (fire), X button 2 (bullet size), C button 3 (pause);
"-" holds nothing. The first frame of a play is its loading frame. All runs form the trace of
the first stage; a stage reached through the pause menu's stage select goes on reading it, and
the play ends where the runs lead it (lives lost, "return to title"). Without --result the
header's result is left at zero, so `nimbulon-replay verify` reports what the play really gives;
write the file again with those numbers to get a replay that verifies.

Example, stage select of stage 3 in the second lap, then firing and weaving:
    write_replay.py s3.rep 5 30*- 1*C 1*- 1*U 1*- 1*Z 1*- 1*D 1*- 1*D 1*- 1*Z 1*- 600*ZR 600*ZL
"""
import struct
import sys

VERSIONS = {2: 104, 3: 105, 4: 106, 5: 107}
BITS = {'R': 0, 'D': 1, 'L': 2, 'U': 3, 'Z': 4, 'X': 5, 'C': 6}
MAX_REPEAT = 0xFFFF


def parse_run(text):
    count, _, buttons = text.partition('*')
    bits = 0
    for ch in buttons.upper():
        if ch == '-':
            continue
        if ch not in BITS:
            raise ValueError(f'unknown button {ch!r} in {text!r}')
        bits |= 1 << BITS[ch]
    n = int(count)
    if n < 1:
        raise ValueError(f'a run needs at least one frame: {text!r}')
    return n, bits


def encode(mode, runs, result=(0, 1, 0, 0)):
    score, stages, lives, frames = result
    out = bytearray(b'NimbulonScoreFile\0')
    out += struct.pack('<i', 32)
    out += struct.pack('<8i', VERSIONS[mode], mode, score, stages, lives, 1, 0, frames)
    # The ship's start position of each stage (only the first is known here: it is not read back
    # by the replay, which starts every stage where the play puts the ship).
    out += struct.pack('<2i', 240 << 16, 500 << 16) * stages
    # Adjacent runs of the same buttons merge; long runs split at the field's 16 bits.
    merged = []
    for n, bits in runs:
        if merged and merged[-1][1] == bits:
            merged[-1][0] += n
        else:
            merged.append([n, bits])
    # A run's repeat field counts the frames after its first one.
    pieces = []
    for n, bits in merged:
        while n > 0:
            take = min(n, MAX_REPEAT + 1)
            pieces.append((take - 1, bits))
            n -= take
    out += struct.pack('<i', len(pieces))
    for repeat, bits in pieces:
        out += struct.pack('<2H', repeat, bits)
    # Stages after the first carry empty traces.
    for _ in range(stages - 1):
        out += struct.pack('<i', 0)
    return bytes(out)


def main(argv):
    if len(argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    out, mode = argv[1], int(argv[2])
    if mode not in VERSIONS:
        print(f'write_replay.py: mode {mode} has no replays', file=sys.stderr)
        return 2
    args = argv[3:]
    result = (0, 1, 0, 0)
    if '--result' in args:
        i = args.index('--result')
        result = tuple(int(v) for v in args[i + 1:i + 5])
        if len(result) != 4 or not 1 <= result[1] <= 10:
            print('write_replay.py: --result SCORE STAGES(1..10) LIVES FRAMES', file=sys.stderr)
            return 2
        args = args[:i] + args[i + 5:]
    try:
        runs = [parse_run(a) for a in args]
    except ValueError as e:
        print(f'write_replay.py: {e}', file=sys.stderr)
        return 2
    with open(out, 'wb') as f:
        f.write(encode(mode, runs, result))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
