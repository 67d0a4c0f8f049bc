#pragma once

// `nimbulon-replay frames FILE --at N[,N...] --out PREFIX` (argv as main's). Exit status 0 every
// picture written; 1 the play ended before the last frame asked for; 2 a usage or file error.
int framesCommand(int argc, char** argv);
