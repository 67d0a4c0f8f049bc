#include "app/PictureDialogs.h"
#include <algorithm>
#include <vector>
#include "app/Env.h"
#include "app/Log.h"
#include "app/Translation.h"
#include "graphics/Surface.h"

using namespace panel;

namespace {
constexpr const char* kSource = "PictureDialogs";
constexpr int kMargin = 20;        // between the panel's edge and its text
constexpr int kLineHeight = 20;
constexpr int kButtonWidth = 96;
constexpr int kButtonHeight = 28;
constexpr int kButtonGap = 24;

struct ButtonSet {
    int count;
    const char* labels[2];
    Dialogs::Answer answers[2];
    Dialogs::Answer cancelled;  // Escape, Button2, the close request
};
// By Dialogs::Buttons.
const ButtonSet kButtonSets[] = {
    {1, {"OK", nullptr}, {Dialogs::AnswerOk, Dialogs::AnswerOk}, Dialogs::AnswerOk},
    {2, {"OK", N_("キャンセル")}, {Dialogs::AnswerOk, Dialogs::AnswerCancel}, Dialogs::AnswerCancel},
    {2, {N_("はい"), N_("いいえ")}, {Dialogs::AnswerYes, Dialogs::AnswerNo}, Dialogs::AnswerNo},
};

const char* answerName(Dialogs::Answer answer) {
    switch (answer) {
        case Dialogs::AnswerOk: return "OK";
        case Dialogs::AnswerCancel: return "Cancel";
        case Dialogs::AnswerYes: return "Yes";
        case Dialogs::AnswerNo: return "No";
    }
    return "?";
}
}  // namespace

PictureDialogs::PictureDialogs(Env* env, Log* log) : env_(env), log_(log) {}

void PictureDialogs::open(const std::string& text, const std::string& caption, Buttons buttons) {
    text_ = tr(text.c_str());
    caption_ = tr(caption.c_str());
    buttons_ = buttons;
    buttonCount_ = kButtonSets[buttons].count;
    focus_ = 0;
    pressed_ = -1;
    answer_ = kButtonSets[buttons].cancelled;
    lines_ = wrapped(text_, kWidth - 2 * kMargin, env_->platform().textRenderer());
    const int lines = std::max<int>(1, static_cast<int>(lines_.size()));
    const int height = kCaptionHeight + kMargin + lines * kLineHeight + kMargin + kButtonHeight + kMargin;
    // Centred on the playfield, where the player is looking.
    box_ = Box{160 + (480 - kWidth) / 2, (600 - height) / 2, kWidth, height};
}

Box PictureDialogs::buttonBox(int index) const {
    const int row = buttonCount_ * kButtonWidth + (buttonCount_ - 1) * kButtonGap;
    const int left = box_.x + (box_.w - row) / 2;
    return Box{left + index * (kButtonWidth + kButtonGap), box_.y + box_.h - kMargin - kButtonHeight, kButtonWidth,
               kButtonHeight};
}

const char* PictureDialogs::labelOf(int index) const { return tr(kButtonSets[buttons_].labels[index]); }

bool PictureDialogs::isKeyOf(int code, int button) const {
    if (code < 0) return false;
    const std::vector<int>& keys = env_->input.keysOf(button);
    return std::find(keys.begin(), keys.end(), code) != keys.end();
}

bool PictureDialogs::choose(int index) {
    answer_ = kButtonSets[buttons_].answers[index];
    return true;
}

bool PictureDialogs::cancel() {
    answer_ = kButtonSets[buttons_].cancelled;
    return true;
}

bool PictureDialogs::handle(const FormEvent& event) {
    const int last = buttonCount_ - 1;
    switch (event.kind) {
        case FormEvent::Close: return cancel();
        case FormEvent::Key:
            switch (event.key) {
                case FormEvent::Enter:
                case FormEvent::Space: return choose(focus_);
                case FormEvent::Escape: return cancel();
                case FormEvent::Left:
                case FormEvent::Up: focus_ = std::max(0, focus_ - 1); return false;
                case FormEvent::Right:
                case FormEvent::Down: focus_ = std::min(last, focus_ + 1); return false;
                case FormEvent::Tab: focus_ = (focus_ + 1) % buttonCount_; return false;
                default: break;
            }
            // The game's own keys, as the player has bound them.
            if (isKeyOf(event.code, Button1)) return choose(focus_);
            if (isKeyOf(event.code, Button2)) return cancel();
            if (isKeyOf(event.code, Left) || isKeyOf(event.code, Up)) focus_ = std::max(0, focus_ - 1);
            if (isKeyOf(event.code, Right) || isKeyOf(event.code, Down)) focus_ = std::min(last, focus_ + 1);
            return false;
        case FormEvent::Pad:
            switch (event.key) {
                case FormEvent::PadSouth:
                case FormEvent::PadStart: return choose(focus_);
                case FormEvent::PadEast: return cancel();
                case FormEvent::PadLeft:
                case FormEvent::PadUp: focus_ = std::max(0, focus_ - 1); return false;
                case FormEvent::PadRight:
                case FormEvent::PadDown: focus_ = std::min(last, focus_ + 1); return false;
                default: return false;
            }
        case FormEvent::Press:
            pressed_ = -1;
            for (int i = 0; i < buttonCount_; ++i)
                if (buttonBox(i).contains(event.x, event.y)) pressed_ = focus_ = i;
            return false;
        case FormEvent::Release: {
            // A button acts when the pointer is let go over the button it went down on.
            const int held = pressed_;
            pressed_ = -1;
            return held >= 0 && buttonBox(held).contains(event.x, event.y) && choose(held);
        }
        default: return false;
    }
}

void PictureDialogs::paint(Surface& target) {
    TextRenderer& text = env_->platform().textRenderer();
    paintPanel(target, box_);
    paintText(target, text, Box{box_.x + 10, box_.y + 1, box_.w - 20, kCaptionHeight - 1}, caption_);
    int y = box_.y + kCaptionHeight + kMargin;
    for (const std::string& line : lines_) {
        paintText(target, text, Box{box_.x + kMargin, y - kTextRise, box_.w - 2 * kMargin, kLineHeight + 2}, line);
        y += kLineHeight;
    }
    for (int i = 0; i < buttonCount_; ++i) {
        const Box b = buttonBox(i);
        paintButton(target, b, focus_ == i, false, pressed_ == i, i == 0);
        const int w = text.textWidth(labelOf(i));
        paintText(target, text, Box{b.x + std::max(1, (b.w - w) / 2), b.y + 2, std::min(b.w - 2, w + 2), b.h - 4}, labelOf(i));
    }
    // The game's gold cursor points at the button that has the focus.
    if (env_->draw.sprite(128) != nullptr) {
        const Box focused = buttonBox(focus_);
        env_->draw.DrawSprite(toFixed(focused.x - 14 - 160), toFixed(focused.y + focused.h / 2), 128 + (ticks_ / 3) % 4);
    }
}

Dialogs::Answer PictureDialogs::messageBox(const std::string& text, const std::string& caption, Buttons buttons) {
    Draw& draw = env_->draw;
    Surface& back = draw.backBuffer();
    const std::vector<std::uint32_t> behind = back.pixels;
    shade(back);
    const std::vector<std::uint32_t> shaded = back.pixels;
    const bool skip = draw.skip();
    draw.SetSkip(false);

    open(text, caption, buttons);
    if (log_ != nullptr) {
        // What the player is asked, on one line, as they read it.
        std::string line = "メッセージ表示 " + caption_ + ": " + text_;
        std::replace(line.begin(), line.end(), '\n', ' ');
        LOG_WRITE(log_, kSource, line);
    }
    FormInput& forms = env_->platform().formInput();
    forms.beginText();
    bool answered = false;
    while (!answered) {
        back.pixels = shaded;
        paint(back);
        ++ticks_;
        draw.Present();
        FormEvent event;
        if (forms.next(event, 40)) answered = handle(event);
    }
    forms.endText();
    if (log_ != nullptr) LOG_WRITE(log_, kSource, "メッセージの答え " + caption_ + " -> " + answerName(answer_));

    // The page comes back at once, and the game goes on from where it stood: the time the box
    // was open is not caught up on, and the key or button that answered is not a press for the
    // scene behind it.
    back.pixels = behind;
    draw.Present();
    draw.SetSkip(skip);
    env_->input.settle();
    env_->timer.Reset();
    return answer_;
}
