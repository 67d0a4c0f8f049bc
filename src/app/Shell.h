#pragma once
#include "app/MusicService.h"
#include "records/RankingClient.h"

class Log;
class Platform;
struct EnvOptions;

// The program once the log exists: the service hub on the platform, the side panels and icon,
// the scene loop from the credit scene, and the services torn down in reverse order before the
// caller closes the log. Returns the loop's exit status (0).
//
// A window that cannot be opened ends the program at once with 0: without it the player could
// neither see the game nor close it, and the loop would run on unseen.
//
// music and ranking build the game's synthesiser and ranking client; without them the game runs
// silent and offline.
int RunShell(Platform& platform, Log& log, bool fullScreen, const MusicFactory& music = {},
             const RankingClientFactory& ranking = {});
// The same with every setting of the service hub (full screen, volumes, keys, music, ranking).
int RunShell(Platform& platform, Log& log, const EnvOptions& options);
