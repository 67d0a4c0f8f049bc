#include "app/Translation.h"
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {
Catalogue& current() {
    static Catalogue catalogue;
    return catalogue;
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

const char* nonEmpty(const EnvLookup& env, const char* name) {
    const char* value = env(name);
    return value != nullptr && value[0] != '\0' ? value : nullptr;
}

bool isCLocale(const std::string& locale) {
    return locale.empty() || locale == "C" || locale == "POSIX" || locale.rfind("C.", 0) == 0;
}

// A .mo file is read as a whole: it is small, and every offset in it is checked against its size.
class MoReader {
public:
    explicit MoReader(std::vector<char> bytes) : bytes_(std::move(bytes)) {}

    bool word(std::size_t at, std::uint32_t& out) const {
        if (at > bytes_.size() || bytes_.size() - at < 4) return false;
        const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + at);
        out = swapped_ ? (std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3])
                       : (std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0]);
        return true;
    }
    bool text(std::size_t tableAt, std::string& out) const {
        std::uint32_t length = 0, offset = 0;
        if (!word(tableAt, length) || !word(tableAt + 4, offset)) return false;
        if (offset > bytes_.size() || bytes_.size() - offset < std::size_t{length}) return false;
        out.assign(bytes_.data() + offset, length);
        return true;
    }
    bool readMagic() {
        std::uint32_t magic = 0;
        if (!word(0, magic)) return false;
        if (magic == 0x950412deu) return true;
        swapped_ = true;
        return word(0, magic) && magic == 0x950412deu;
    }

private:
    std::vector<char> bytes_;
    bool swapped_ = false;
};
}  // namespace

Language chooseLanguage(const std::string& iniLanguage, const EnvLookup& env) {
    const std::string chosen = lower(iniLanguage);
    if (chosen == "ja") return Language::Original;
    if (chosen == "en") return Language::English;
    const char* locale = nonEmpty(env, "LC_ALL");
    if (locale == nullptr) locale = nonEmpty(env, "LC_MESSAGES");
    if (locale == nullptr) locale = nonEmpty(env, "LANG");
    if (locale == nullptr || isCLocale(locale)) return Language::Original;
    std::string language = locale;
    if (const char* list = nonEmpty(env, "LANGUAGE")) {
        const std::string first = std::string(list).substr(0, std::string(list).find(':'));
        if (!first.empty()) language = first;
    }
    return lower(language).rfind("ja", 0) == 0 ? Language::Original : Language::English;
}

bool Catalogue::load(const std::string& moFile) {
    entries_.clear();
    std::ifstream in(moFile, std::ios::binary);
    if (!in) return false;
    MoReader mo(std::vector<char>(std::istreambuf_iterator<char>(in), {}));
    std::uint32_t count = 0, originals = 0, translations = 0;
    if (!mo.readMagic() || !mo.word(8, count) || !mo.word(12, originals) || !mo.word(16, translations)) return false;
    std::map<std::string, std::string, std::less<>> entries;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string original, translation;
        if (!mo.text(originals + std::size_t{i} * 8, original) || !mo.text(translations + std::size_t{i} * 8, translation))
            return false;
        // The header (empty original) and untranslated entries leave the text as it is.
        if (!original.empty() && !translation.empty()) entries.emplace(std::move(original), std::move(translation));
    }
    entries_ = std::move(entries);
    return true;
}

const char* Catalogue::translate(const char* text) const {
    const auto found = entries_.find(std::string_view(text));
    return found == entries_.end() ? text : found->second.c_str();
}

void setCatalogue(Catalogue catalogue) { current() = std::move(catalogue); }

const char* tr(const char* text) { return current().translate(text); }

std::string withButton2(const std::string& text, const std::string& keyName) { return withButton(text, 2, keyName); }

std::string withButton(const std::string& text, int number, const std::string& keyName) {
    const std::string placeholder = "{button" + std::to_string(number) + "}";
    const std::string plain = "button " + std::to_string(number);
    const std::string button = keyName.empty() ? plain : plain + " (" + keyName + ")";
    std::string out = text;
    for (std::size_t at = out.find(placeholder); at != std::string::npos; at = out.find(placeholder, at + button.size()))
        out.replace(at, placeholder.size(), button);
    return out;
}

std::string catalogueFileOf(Language language, const std::string& localeDir) {
    if (language == Language::Original) return "";
    return localeDir + "en/LC_MESSAGES/nimbulon.mo";
}
