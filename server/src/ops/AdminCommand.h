#pragma once

// nimbulon-server admin [--db PATH|URL | --config FILE] [--by WHO] COMMAND [ARGS]: the operator's
// moderation, listings and backups against the database a server uses, running or not. Every
// change is written to the audit table and printed as a log line. Takes the arguments after
// "admin"; returns the exit status (0 done, 1 refused or failed, 2 wrong usage).
int runAdminCommand(int argc, char** argv);
