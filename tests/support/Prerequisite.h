#pragma once
#include <gtest/gtest.h>
#include <cstdlib>
#include <string>

// What a test needs of the machine beyond the build: a Debian package that scripts/install-deps.sh
// installs, named as Debian names it (or a capability of the machine, named likewise). Missing, it
// fails the test and says what is missing; a developer without it who wants the rest to run asks
// for the skip by name, NIMBULON_SKIP=postgresql,fluid-soundfont-gm, and scripts/test.sh prints it.
namespace prerequisite {
inline bool skipAsked(const std::string& name) {
    const char* list = std::getenv("NIMBULON_SKIP");
    std::string item;
    for (const char* c = list ? list : "";; ++c) {
        if (*c == ',' || *c == '\0') {
            if (item == name) return true;
            item.clear();
            if (*c == '\0') return false;
        } else if (*c != ' ') {
            item += *c;
        }
    }
}
}  // namespace prerequisite

// NIMBULON_REQUIRE("package", present, what): in a test or its SetUp, before anything that needs it.
#define NIMBULON_REQUIRE(package, present, what)                                                   \
    if (present) {                                                                                 \
    } else if (prerequisite::skipAsked(package))                                                   \
        GTEST_SKIP() << "skipped as asked: NIMBULON_SKIP names " package;                          \
    else                                                                                           \
        FAIL() << "missing prerequisite " package " (scripts/install-deps.sh installs it): " << what
