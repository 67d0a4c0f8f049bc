#include "records/OptionsPage.h"
#include <algorithm>
#include <cstdio>
#include <iterator>
#include "app/Env.h"
#include "app/Log.h"
#include "app/Translation.h"
#include "sound/SoundId.h"

namespace {
constexpr const char* kSource = "OptionsPage";
constexpr int kLabelX = 40, kValueX = 250, kTop = 56, kRow = 22;
constexpr int kBindingFrames = 600;  // ten seconds to press the new key

struct EntryText {
    const char* label;
    const char* help;
};
// By OptionsPage::Entry.
constexpr EntryText kEntries[OptionsPage::kEntryCount] = {
    {"music volume", N_("音楽の音量。左右で変えると、すぐにその音量で聞こえます。")},
    {"effect volume", N_("効果音の音量。左右で変えると、その音量で音が鳴ります。")},
    {"screen", N_("ウィンドウか全画面か。F11 でもいつでも切り替えられます。")},
    {"window size", N_("ウィンドウの大きさ。fit は画面に収まる最大の大きさです。")},
    {"language", N_("表示の言語。locale はシステムの言語設定に従います。")},
    {"key: up", N_("このボタンのキー。ボタン1を押してから、新しいキーを押してください。")},
    {"key: down", N_("このボタンのキー。ボタン1を押してから、新しいキーを押してください。")},
    {"key: left", N_("このボタンのキー。ボタン1を押してから、新しいキーを押してください。")},
    {"key: right", N_("このボタンのキー。ボタン1を押してから、新しいキーを押してください。")},
    {"key: button1 (fire)", N_("このボタンのキー。ボタン1を押してから、新しいキーを押してください。")},
    {"key: button2 (size)", N_("このボタンのキー。ボタン1を押してから、新しいキーを押してください。")},
    {"key: button3 (pause)", N_("このボタンのキー。ボタン1を押してから、新しいキーを押してください。")},
    {"reset keys", N_("すべてのキーを最初の設定に戻します。")},
    {"pad buttons", N_("ゲームパッドの撃つボタンと弾の大きさのボタン（南のAか東のB）を左右で入れ替えます。Start で一時停止、Back でオプション。")},
    {"online question", N_("ランキングのためにインターネットに接続する前に確認するかどうか。")},
    {"frame-rate line", N_("プレイ中にフレームレートの行を表示するかどうか。")},
    {"return", N_("設定を保存して戻ります。ボタン2でも戻れます。")},
};
constexpr const char* kPressNewKey = N_("新しいキーを押してください。");
constexpr const char* kKeyTaken = N_("そのキーは他のボタンに使われています: ");
constexpr const char* kKeyReserved = N_("そのキーは使えません: ");

// The settings' entry and the input button of each key entry.
struct KeyEntry {
    const char* name;
    int button;
};
constexpr KeyEntry kKeyEntries[] = {
    {"UP", Up}, {"DOWN", Down}, {"LEFT", Left}, {"RIGHT", Right}, {"BUTTON1", Button1}, {"BUTTON2", Button2}, {"BUTTON3", Button3},
};
const KeyEntry* keyEntryOf(int entry) {
    return entry >= OptionsPage::KeyUp && entry <= OptionsPage::KeyButton3 ? &kKeyEntries[entry - OptionsPage::KeyUp] : nullptr;
}

// Keys that already mean something to the program whatever the bindings say.
bool reserved(const std::string& name) { return name == "Escape" || name == "F11" || name == "Tab" || name.empty(); }

const char* const kLanguages[] = {"", "ja", "en"};
const char* languageName(const std::string& code) { return code == "ja" ? "Japanese" : code == "en" ? "English" : "locale"; }

int stepped(int value, int direction, int lo, int hi, int step) { return std::clamp(value + direction * step, lo, hi); }

template <typename T, std::size_t N>
int indexIn(const T (&list)[N], const T& value) {
    for (std::size_t i = 0; i < N; ++i)
        if (list[i] == value) return static_cast<int>(i);
    return 0;
}
}  // namespace

OptionsPage::OptionsPage(Env* env, Log* log) : env_(env), log_(log) {}

void OptionsPage::open() {
    current_ = 0;
    binding_ = false;
    notice_.clear();
    env_->input.clearLivePresses();
    LOG_WRITE(log_, kSource, "オプションを開く");
}

std::string OptionsPage::valueText(int entry) const {
    const Settings& s = env_->settings;
    char text[48];
    switch (entry) {
        case MusicVolume: std::snprintf(text, sizeof text, "< %3d >", s.musicVolume); return text;
        case EffectVolume: std::snprintf(text, sizeof text, "< %3d >", s.effectVolume); return text;
        case ScreenMode: return s.fullScreen ? "full screen" : "window";
        case WindowSize:
            if (s.windowScale == 0) return "fit";
            std::snprintf(text, sizeof text, s.windowScale % 100 ? "%d.%dx" : "%dx", s.windowScale / 100, s.windowScale % 100 / 10);
            return text;
        case LanguageEntry: return languageName(s.language);
        case ResetKeys: return "";
        case PadButtons: return s.padSwapped ? "< B fire  A size >" : "< A fire  B size >";
        case OnlineQuestion: return s.confirmOnline ? "ask" : "do not ask";
        case FrameRateLine: return s.showFrameRate ? "shown" : "hidden";
        case Return: return "";
        default: break;
    }
    if (const KeyEntry* key = keyEntryOf(entry)) {
        if (binding_ && current_ == entry) return "press a key...";
        return env_->input.keyNameOf(key->button);
    }
    return "";
}

void OptionsPage::keysChanged() {
    env_->saveSettings();
    LOG_WRITE(log_, kSource, "キー設定を変更");
}

void OptionsPage::bindKey(int code) {
    binding_ = false;
    const KeyEntry* key = keyEntryOf(current_);
    const std::string name = env_->input.keyNameOfCode(code);
    if (key == nullptr) return;
    if (reserved(name)) {
        notice_ = tr(kKeyReserved) + (name.empty() ? std::string("?") : name);
        LOG_WRITE(log_, kSource, "使えないキーを断った: " + name);
        return;
    }
    const int owner = env_->input.buttonOfKey(code);
    if (owner >= 0 && owner != key->button) {
        // A key that already drives another button is refused: one key, one button.
        for (const KeyEntry& other : kKeyEntries)
            if (other.button == owner) notice_ = tr(kKeyTaken) + std::string(other.name);
        LOG_WRITE(log_, kSource, "他のボタンのキーを断った: " + name);
        env_->sound.play(Click, false);
        return;
    }
    env_->settings.setKeys(key->name, name);
    env_->input.bindKeys({{key->name, name}});
    // The new key is still down: held, not a press of its button on this page.
    env_->input.settleLive();
    notice_.clear();
    keysChanged();
}

void OptionsPage::change(int direction) {
    Settings& s = env_->settings;
    switch (current_) {
        case MusicVolume:
            s.musicVolume = stepped(s.musicVolume, direction, 0, 100, 10);
            env_->bgm.setVolume(s.musicVolume);
            break;
        case EffectVolume:
            s.effectVolume = stepped(s.effectVolume, direction, 0, 100, 10);
            env_->sound.setVolume(s.effectVolume);
            break;
        case ScreenMode:
            s.fullScreen = !s.fullScreen;
            env_->platform().screen().setFullScreen(s.fullScreen);
            break;
        case WindowSize: {
            const int n = static_cast<int>(std::size(kWindowScales));
            s.windowScale = kWindowScales[(indexIn(kWindowScales, s.windowScale) + direction + n) % n];
            env_->platform().screen().setWindowScale(s.windowScale);
            break;
        }
        case LanguageEntry: {
            const int n = static_cast<int>(std::size(kLanguages));
            int i = 0;
            while (i < n && s.language != kLanguages[i]) ++i;
            s.language = kLanguages[((i < n ? i : 0) + direction + n) % n];
            env_->applyLanguage(s.language);
            break;
        }
        case PadButtons:
            s.padSwapped = !s.padSwapped;
            env_->input.setPadSwapped(s.padSwapped);
            break;
        case OnlineQuestion: s.confirmOnline = !s.confirmOnline; break;
        case FrameRateLine: s.showFrameRate = !s.showFrameRate; break;
        default: return;  // nothing to change by Left and Right
    }
    env_->sound.play(Click, false);  // at the effects' new level, when that is what changed
    env_->saveSettings();
}

void OptionsPage::choose() {
    env_->sound.play(Click, false);
    if (keyEntryOf(current_) != nullptr) {
        binding_ = true;
        bindingFrames_ = 0;
        notice_ = tr(kPressNewKey);
        LOG_WRITE(log_, kSource, std::string("キー待ち: ") + kEntries[current_].label);
        env_->input.newlyPressedKey();  // what is held now (the key that chose) is not the answer
        return;
    }
    if (current_ == ResetKeys) {
        for (const KeyEntry& key : kKeyEntries) env_->settings.setKeys(key.name, "");
        env_->input.resetKeys();
        env_->input.settleLive();
        notice_.clear();
        keysChanged();
        return;
    }
    change(1);
}

bool OptionsPage::step() {
    ++frame_;
    Input& input = env_->input;
    bool stay = true;
    if (binding_) {
        const int code = input.newlyPressedKey();
        if (code >= 0) bindKey(code);
        else if (++bindingFrames_ >= kBindingFrames) {
            binding_ = false;
            notice_.clear();
        }
        // The key being bound moves nothing, now or at the next poll: the page may see it go down
        // before the poll does, and a refused X must not then close the page as Button2.
        if (binding_) input.clearLivePresses();
        else input.settleLive();
    } else {
        const int was = current_;
        if (input.takePressLive(Down)) current_ = (current_ + 1) % kEntryCount;
        if (input.takePressLive(Up)) current_ = (current_ + kEntryCount - 1) % kEntryCount;
        if (current_ != was) {
            env_->sound.play(Click, false);
            notice_.clear();
            LOG_WRITE(log_, kSource, std::string("項目: ") + kEntries[current_].label);
        }
        if (input.takePressLive(Right)) change(1);
        if (input.takePressLive(Left)) change(-1);
        if (input.takePressLive(Button1)) {
            if (current_ == Return) stay = false;
            else choose();
        }
        if (input.takePressLive(Button2)) stay = false;
    }
    if (!stay) {
        env_->sound.play(Click, false);
        env_->saveSettings();
        LOG_WRITE(log_, kSource, "オプションを閉じる");
        env_->input.clearLivePresses();
        return false;
    }
    draw();
    return true;
}

void OptionsPage::draw() const {
    Draw& d = env_->draw;
    auto text = [&d](int x, int y, const std::string& s) {
        for (std::size_t i = 0; i < s.size(); ++i)
            d.DrawSprite(toFixed(x + 8 * static_cast<int>(i)), toFixed(y), static_cast<signed char>(s[i]));
    };
    text(kLabelX - 8, kTop - 32, "OPTIONS");
    for (int e = 0; e < kEntryCount; ++e) {
        const int y = kTop + kRow * e;
        text(kLabelX, y, kEntries[e].label);
        text(kValueX, y, valueText(e));
    }
    // The menus' gold cursor.
    d.DrawSprite(toFixed(kLabelX - 16), toFixed(kTop + kRow * current_), 128 + ((frame_ >> 2) & 3));
    const std::string line = notice_.empty() ? std::string(tr(kEntries[current_].help)) : notice_;
    d.DrawTextBox(toFixed(kLabelX - 16), toFixed(kTop + kRow * kEntryCount + 8), toFixed(470), toFixed(590), line.c_str());
}
