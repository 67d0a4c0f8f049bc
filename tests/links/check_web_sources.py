#!/usr/bin/env python3
"""The game in the page is compiled from the native game's sources, not a copy of them.

  check_web_sources.py SOURCE_DIR NATIVE_LIST WEB_LIST

Each list names the files one build compiles into its game, one a line. Only the backends may
differ: the native game's SDL backend, synthesizer (the page plays songs rendered at build time)
and libcurl client and entry point; the page's browser backend and entry point. Every other file
must be in both, and the page's game must hold the scenes, play and records code at all.
"""
import os, re, sys

root, native_list, web_list = sys.argv[1:4]
def read(path):
    try:
        lines = open(path).read().split()
    except OSError:
        sys.exit("FAIL: %s is missing (is the browser build configured?)" % path)
    return {os.path.relpath(os.path.realpath(p), os.path.realpath(root)) for p in lines}

native, web = read(native_list), read(web_list)
NATIVE_ONLY = re.compile(r"^src/(platform/sdl/|music/|online/Curl[^/]*\.cpp$|online/RankingConnecterCurl\.cpp$|app/main\.cpp$)")
WEB_ONLY = re.compile(r"^(src/platform/web/|web/game/main\.cpp$)")
failures = ["only in the native game: " + p for p in sorted(native - web) if not NATIVE_ONLY.match(p)]
failures += ["only in the page's game: " + p for p in sorted(web - native) if not WEB_ONLY.match(p)]
for needed in ("src/app/SceneLoop.cpp", "src/play/GameMain.cpp", "src/records/GameScore.cpp", "src/online/RankingConnecter.cpp"):
    if needed not in web:
        failures.append("the page's game lacks " + needed)
for f in failures:
    print("FAIL: " + f)
print("%d files shared, %d native backend files, %d browser backend files" %
      (len(native & web), len(native - web), len(web - native)))
sys.exit(1 if failures else 0)
