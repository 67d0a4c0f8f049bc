#pragma once
#include <map>
#include <string>
#include "app/Paths.h"

// The player's language. The texts are written in Japanese in the code; an English catalogue
// (po/en.po, compiled to <locale dir>/en/LC_MESSAGES/nimbulon.mo) translates them. The log is never
// translated.
enum class Language { Original, English };

// LANGUAGE=ja|en from the ini wins; otherwise the locale decides as gettext would look it up
// (LC_ALL, then LC_MESSAGES, then LANG; LANGUAGE's first entry names the language when the locale
// is not C): no locale, C, POSIX and C.<codeset> keep the original texts, a Japanese one ("ja",
// "ja_JP.UTF-8") too, and every other locale reads English.
Language chooseLanguage(const std::string& iniLanguage, const EnvLookup& env);

// A compiled gettext catalogue (.mo), original text to translation.
class Catalogue {
public:
    // False, leaving the catalogue empty, when the file is missing or not a well-formed .mo file.
    bool load(const std::string& moFile);
    // The translation, or the text itself when the catalogue has none.
    const char* translate(const char* text) const;
    bool empty() const { return entries_.empty(); }

private:
    std::map<std::string, std::string, std::less<>> entries_;
};

// The game's catalogue: empty (original texts) until setCatalogue.
void setCatalogue(Catalogue catalogue);
// Marks a text the player reads, for xgettext (po/): it is translated where it is shown.
#define N_(text) text

// A text as the player reads it.
const char* tr(const char* text);

// A translated text with "{button2}" replaced by "button 2 (<key>)", naming the first key the
// player has for it ("button 2" alone without one). The original texts say "２ボタン" and carry
// no placeholder.
std::string withButton2(const std::string& text, const std::string& keyName);

// The same for any button: "{buttonN}" becomes "button N (<key>)" ("button N" alone without one).
std::string withButton(const std::string& text, int number, const std::string& keyName);

// The catalogue file for a language under a locale folder ("" for the original texts).
std::string catalogueFileOf(Language language, const std::string& localeDir);
