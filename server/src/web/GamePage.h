#pragma once
#include <string>
#include "web/WatchPage.h"

// The whole game in a page under /game/: the page (/game/), the game's module and its script,
// the page's script and style sheet, and the songs rendered for it (/game/music/), read from the
// folder the emscripten build writes (build-web/game) at the first request that finds them all.
// As under /watch/, the files are fetched under a query naming their version and cached for a
// year; the page is checked again every time. The page is told that this server ranks its plays
// (same origin); opened as static files elsewhere, it plays without the online ranking.
//
// What answers GET path (without the query): 301 to /game/ for /game, 404 for a path under
// /game/ that is not one of the game's. Replies carry kWatchSecurityPolicy.
WatchReply gameReply(const std::string& path);
