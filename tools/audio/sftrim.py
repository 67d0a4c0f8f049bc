#!/usr/bin/python3
"""Cuts a General MIDI soundfont down to what the game's songs play.

    sftrim.py SOURCE.sf2 OUT.sf2 SONG.mid...

FluidSynth loads a whole instrument when a song selects it: every key zone's samples, although a
song plays a dozen keys of it. The songs are fixed, so the zones they can never sound are cut at
build time: each preset a song selects (bank 0 for melodic channels, bank 128 on channel 10) keeps
its global zones and the zones whose key range holds a key the song plays with it, and each
instrument the same for the keys that reach it. Everything kept is copied as it stands (generators,
modulators, zone order, sample data and loop points), so FluidSynth picks the same zones with the
same parameters for every note and a song renders exactly as with the full soundfont.
"""
import struct
import sys

import mido

DRUM_CHANNEL = 9
GEN_KEY_RANGE, GEN_INSTRUMENT, GEN_SAMPLE_ID = 43, 41, 53
SAMPLE_PAD = 46  # zero points the format asks after each sample


def used_keys(paths):
    """{(bank, program): set of keys} over the songs, following program changes in time order."""
    used = {}
    for path in paths:
        program = [0] * 16
        for msg in mido.merge_tracks(mido.MidiFile(path).tracks):
            if msg.type == 'program_change':
                program[msg.channel] = msg.program
            elif msg.type == 'note_on' and msg.velocity > 0:
                bank = 128 if msg.channel == DRUM_CHANNEL else 0
                used.setdefault((bank, program[msg.channel]), set()).add(msg.note)
    return used


def chunks(data, offset, end):
    while offset + 8 <= end:
        cid, size = struct.unpack_from('<4sI', data, offset)
        yield cid, offset + 8, size
        offset += 8 + size + (size & 1)


def read_soundfont(path):
    with open(path, 'rb') as f:
        data = f.read()
    riff, size, form = struct.unpack_from('<4sI4s', data, 0)
    if riff != b'RIFF' or form != b'sfbk':
        raise SystemExit(f'{path}: not a soundfont')
    parts = {}
    for cid, start, size in chunks(data, 12, min(len(data), 8 + size)):
        if cid == b'LIST':
            kind = data[start:start + 4]
            parts[kind] = (start + 4, size - 4)
    info_start, info_size = parts[b'INFO']
    sdta = {cid: (s, n) for cid, s, n in chunks(data, parts[b'sdta'][0], sum(parts[b'sdta']))}
    pdta = {cid: data[s:s + n] for cid, s, n in chunks(data, parts[b'pdta'][0], sum(parts[b'pdta']))}
    if b'sm24' in sdta:
        raise SystemExit(f'{path}: 24-bit samples are not handled')
    return data, data[info_start - 4:info_start + info_size], sdta[b'smpl'], pdta


def records(raw, size):
    return [raw[i:i + size] for i in range(0, len(raw), size)]


def gens_of(bags, gens, index):
    """The generators of bag `index` as (oper, amount bytes)."""
    first, last = struct.unpack_from('<H', bags[index])[0], struct.unpack_from('<H', bags[index + 1])[0]
    return [(struct.unpack_from('<H', g)[0], g[2:4]) for g in gens[first:last]]


def key_range(zone_gens):
    for oper, amount in zone_gens:
        if oper == GEN_KEY_RANGE:
            return amount[0], amount[1]
    return 0, 127


def wanted(zone_gens, keys, link_oper):
    """Whether a zone stays: a global zone (no link to an instrument or sample) always does."""
    if not any(oper == link_oper for oper, _ in zone_gens):
        return True
    lo, hi = key_range(zone_gens)
    return any(lo <= k <= hi for k in keys)


class Writer:
    """Collects headers, bags, generators and modulators of one level (presets or instruments)."""

    def __init__(self):
        self.headers, self.bags, self.gens, self.mods = [], [], [], []

    def add(self, header_prefix, header_suffix, zones):
        self.headers.append(header_prefix + struct.pack('<H', len(self.bags)) + header_suffix)
        for zone_gens, zone_mods in zones:
            self.bags.append(struct.pack('<HH', len(self.gens), len(self.mods)))
            self.gens.extend(zone_gens)
            self.mods.extend(zone_mods)


def trim(source, out, songs):
    data, info, (smpl_start, smpl_size), pdta = read_soundfont(source)
    phdr, pbag, pmod, pgen = (records(pdta[k], n) for k, n in
                              ((b'phdr', 38), (b'pbag', 4), (b'pmod', 10), (b'pgen', 4)))
    inst, ibag, imod, igen = (records(pdta[k], n) for k, n in
                              ((b'inst', 22), (b'ibag', 4), (b'imod', 10), (b'igen', 4)))
    shdr = records(pdta[b'shdr'], 46)
    used = used_keys(songs)

    def mods_of(bags, mods, index):
        first, last = struct.unpack_from('<H', bags[index], 2)[0], struct.unpack_from('<H', bags[index + 1], 2)[0]
        return mods[first:last]

    # Presets, in their order, with the keys each kept instrument is reached by.
    instrument_keys = {}
    preset_zones = []
    for p in range(len(phdr) - 1):
        program, bank, first_bag = struct.unpack_from('<HHH', phdr[p], 20)
        keys = used.get((bank, program))
        if not keys:
            continue
        next_bag = struct.unpack_from('<H', phdr[p + 1], 24)[0]
        zones = []
        for b in range(first_bag, next_bag):
            zone_gens = gens_of(pbag, pgen, b)
            if not wanted(zone_gens, keys, GEN_INSTRUMENT):
                continue
            zones.append((b, zone_gens))
            lo, hi = key_range(zone_gens)
            for oper, amount in zone_gens:
                if oper == GEN_INSTRUMENT:
                    index = struct.unpack('<H', amount)[0]
                    instrument_keys.setdefault(index, set()).update(k for k in keys if lo <= k <= hi)
        preset_zones.append((p, zones))

    # Instruments reached, in their order, and the samples their kept zones play.
    instrument_map, sample_ids = {}, set()
    instrument_zones = []
    for i in sorted(instrument_keys):
        first_bag = struct.unpack_from('<H', inst[i], 20)[0]
        next_bag = struct.unpack_from('<H', inst[i + 1], 20)[0]
        zones = []
        for b in range(first_bag, next_bag):
            zone_gens = gens_of(ibag, igen, b)
            if wanted(zone_gens, instrument_keys[i], GEN_SAMPLE_ID):
                zones.append((b, zone_gens))
                sample_ids.update(struct.unpack('<H', a)[0] for o, a in zone_gens if o == GEN_SAMPLE_ID)
        instrument_map[i] = len(instrument_zones)
        instrument_zones.append((i, zones))
    # A stereo sample keeps its partner, so links stay valid.
    for s in list(sample_ids):
        sample_ids.add(struct.unpack_from('<H', shdr[s], 42)[0] if struct.unpack_from('<H', shdr[s], 44)[0] & 6 else s)

    # Sample data: each kept sample's points and the zero pad after them, offsets rebased.
    sample_map, smpl, headers = {}, bytearray(), []
    for s in sorted(sample_ids):
        name = shdr[s][:20]
        start, end, loop_start, loop_end, rate = struct.unpack_from('<5I', shdr[s], 20)
        tail = shdr[s][40:]
        base = len(smpl) // 2
        smpl += data[smpl_start + 2 * start:smpl_start + 2 * end] + bytes(2 * SAMPLE_PAD)
        moved = base - start
        sample_map[s] = len(headers)
        headers.append([name, (start + moved, end + moved, loop_start + moved, loop_end + moved, rate), tail])
    for h in headers:
        link = struct.unpack_from('<H', h[2], 2)[0]
        h[2] = h[2][:2] + struct.pack('<H', sample_map.get(link, 0)) + h[2][4:]
    shdr_out = b''.join(n + struct.pack('<5I', *v) + t for n, v, t in headers)
    shdr_out += b'EOS'.ljust(20, b'\0') + bytes(26)

    def relink(zone_gens, oper_link, mapping):
        return [struct.pack('<H', o) + (struct.pack('<H', mapping[struct.unpack('<H', a)[0]]) if o == oper_link else a)
                for o, a in zone_gens]

    presets = Writer()
    for p, zones in preset_zones:
        presets.add(phdr[p][:24], phdr[p][26:], [(relink(g, GEN_INSTRUMENT, instrument_map), mods_of(pbag, pmod, b))
                                                for b, g in zones])
    presets.add(b'EOP'.ljust(24, b'\0'), bytes(12), [])
    instruments = Writer()
    for i, zones in instrument_zones:
        instruments.add(inst[i][:20], b'', [(relink(g, GEN_SAMPLE_ID, sample_map), mods_of(ibag, imod, b))
                                           for b, g in zones])
    instruments.add(b'EOI'.ljust(20, b'\0'), b'', [])
    for level, mod_size in ((presets, 10), (instruments, 10)):
        level.bags.append(struct.pack('<HH', len(level.gens), len(level.mods)))
        level.gens.append(bytes(4))
        level.mods.append(bytes(mod_size))

    def chunk(cid, body):
        return cid + struct.pack('<I', len(body)) + body + (b'\0' if len(body) & 1 else b'')

    def listed(kind, body):
        return chunk(b'LIST', kind + body)

    pdta_out = b''.join(chunk(cid, b''.join(parts)) for cid, parts in (
        (b'phdr', presets.headers), (b'pbag', presets.bags), (b'pmod', presets.mods), (b'pgen', presets.gens),
        (b'inst', instruments.headers), (b'ibag', instruments.bags), (b'imod', instruments.mods),
        (b'igen', instruments.gens), (b'shdr', [shdr_out])))
    body = b'sfbk' + listed(b'INFO', info[4:]) + listed(b'sdta', chunk(b'smpl', bytes(smpl))) + listed(b'pdta', pdta_out)
    with open(out + '.tmp', 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', len(body)) + body)
    import os
    os.replace(out + '.tmp', out)
    print(f'{out}: {len(preset_zones)} presets, {len(instrument_zones)} instruments, {len(headers)} samples, '
          f'{len(smpl) / 1e6:.1f} MB of sample data')


if __name__ == '__main__':
    if len(sys.argv) < 4:
        raise SystemExit(__doc__)
    trim(sys.argv[1], sys.argv[2], sys.argv[3:])
