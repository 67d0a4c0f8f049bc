#pragma once
#include <string>
#include "app/Translation.h"

// The built English catalogue in force for a test's scope; the original texts again after it.
struct EnglishTexts {
    EnglishTexts() {
        Catalogue english;
        loaded = english.load(std::string(NIMBULON_BINARY_DIR) + "/locale/en/LC_MESSAGES/nimbulon.mo");
        setCatalogue(std::move(english));
    }
    ~EnglishTexts() { setCatalogue(Catalogue()); }
    EnglishTexts(const EnglishTexts&) = delete;
    EnglishTexts& operator=(const EnglishTexts&) = delete;
    bool loaded = false;
};
