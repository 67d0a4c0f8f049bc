#pragma once

class Log;
class Platform;

// The program once the log exists: the service hub on the platform, the side panels and icon,
// the scene loop from the credit scene, and the services torn down in reverse order before the
// caller closes the log. Returns the loop's exit status (0).
//
// A window that cannot be opened ends the program at once with 0: without it the player could
// neither see the game nor close it, and the loop would run on unseen.
int RunShell(Platform& platform, Log& log, bool fullScreen);
