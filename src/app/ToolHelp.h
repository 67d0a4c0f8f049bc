#pragma once
#include <cstdio>
#include <cstring>

// Every program of the project answers --help (or -h) anywhere on its command line with its usage
// on standard output and exit status 0, before it reads, writes or starts anything: a tool that
// took "--help" for a file name would write a file of that name.
inline bool answeredHelp(int argc, char** argv, const char* usage) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return false;  // what follows is operands only
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return true;
        }
    }
    return false;
}
