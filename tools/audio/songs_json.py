#!/usr/bin/env python3
"""Lists the browser's songs with their loop points: songs_json.py OUT.json NAME.loop...

Each NAME.loop holds midi_render --loop's line "loop START END" (seconds); OUT.json maps each
song's name to {"file": "NAME.ogg", "loopStart": START, "loopEnd": END}.
"""
import json, os, sys

songs = {}
for path in sys.argv[2:]:
    name = os.path.splitext(os.path.basename(path))[0]
    words = open(path).read().split()
    if len(words) != 3 or words[0] != "loop":
        sys.exit("%s: no loop line" % path)
    start, end = float(words[1]), float(words[2])
    if not 0 < start < end:
        sys.exit("%s: loop points out of order" % path)
    songs[name] = {"file": name + ".ogg", "loopStart": start, "loopEnd": end}
with open(sys.argv[1], "w") as f:
    json.dump(songs, f, indent=1, sort_keys=True)
