#pragma once

// The system calls a check process may make once it holds the replay: memory, the clock, writing
// its verdict to standard output (and the sanitizers' reports to standard error), and ending.
// Opening a file only to read it fails as if there were no such file: the game's code looks for
// optional files (sound effects, the system save, the records kept beside a play) and goes on
// without them, and a check must never depend on what lies on the server's disk. Any other call
// (a socket, creating or writing a file, starting a program or a process, signalling another
// process) ends the whole process at once. Applies to every thread of the process; cannot be
// undone. False when the kernel refused the filter (the check must not run then).
bool enterCheckSandbox();
