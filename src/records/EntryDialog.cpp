#include "records/EntryDialog.h"
#include <algorithm>
#include <chrono>
#include <vector>
#include "app/Env.h"
#include "graphics/PanelLook.h"
#include "graphics/Surface.h"
#include "platform/Platform.h"

namespace {
using namespace panel;

constexpr int kCloseControl = EntryDialog::kControlCount;
constexpr int kTextInset = 5;    // left margin of the text inside a field
constexpr const char* kMask = "\xE2\x97\x8F";  // one dot per character of the password

// The controls on the client area below the caption, laid out from the dialog units of the
// Windows dialog (x 1.75, y 2 pixels per unit), so the form keeps its familiar shape.
struct Placed {
    int x, y, w, h;
};
constexpr Placed kControls[EntryDialog::kControlCount] = {
    {40, 40, 126, 24},   // name
    {40, 110, 126, 24},  // password
    {40, 228, 368, 24},  // comment
    {203, 304, 88, 28},  // OK
    {320, 304, 88, 28},  // Cancel
};
struct Label {
    int x, y;
    const char* text;
};
constexpr Label kLabels[] = {
    {12, 14, EntryDialog::kNameLabel},
    {12, 84, EntryDialog::kPasswordLabel},
    {12, 200, EntryDialog::kCommentLabel},
};
constexpr Placed kNote = {40, 140, 368, 44};

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

std::size_t previousBoundary(const std::string& s, std::size_t at) {
    if (at == 0) return 0;
    --at;
    while (at > 0 && isContinuation(static_cast<unsigned char>(s[at]))) --at;
    return at;
}

std::size_t nextBoundary(const std::string& s, std::size_t at) {
    if (at >= s.size()) return s.size();
    ++at;
    while (at < s.size() && isContinuation(static_cast<unsigned char>(s[at]))) ++at;
    return at;
}

// The text as it may enter a field: whole, valid UTF-8 characters, no control characters.
std::string cleaned(const std::string& utf8) {
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        bool whole = length != 0 && i + length <= utf8.size();
        for (std::size_t k = 1; whole && k < length; ++k) whole = isContinuation(static_cast<unsigned char>(utf8[i + k]));
        if (!whole) {
            ++i;
            continue;
        }
        if (length > 1 || (c >= 0x20 && c != 0x7F)) out.append(utf8, i, length);
        i += length;
    }
    return out;
}

// The longest start of text that fits limit bytes without cutting a character.
std::string fitting(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && isContinuation(static_cast<unsigned char>(text[end]))) --end;
    return text.substr(0, end);
}

}  // namespace

EntryDialog::EntryDialog(Env* env) : env_(env), text_(env->platform().textRenderer()) {}

EntryDialog::Box EntryDialog::boxOf(int control) {
    const Placed& p = kControls[control];
    return Box{kLeft + p.x, kTop + kCaptionHeight + p.y, p.w, p.h};
}

EntryDialog::Box EntryDialog::closeBox() { return Box{kLeft + kWidth - 24, kTop + 3, 19, 18}; }

void EntryDialog::open() {
    const std::string* sources[kFieldCount] = {&name, &password, &comment};
    for (int i = 0; i < kFieldCount; ++i) {
        fields_[i] = Field{};
        fields_[i].text = fitting(cleaned(*sources[i]), kLimits[i]);
    }
    composition_.clear();
    hover_ = pressed_ = -1;
    setFocus(NameField);
}

int EntryDialog::widthOf(const std::string& utf8) const { return utf8.empty() ? 0 : text_.textWidth(utf8); }

std::string EntryDialog::shown(int field) const {
    const std::string& text = fields_[field].text;
    if (field != PasswordField) return text;
    std::string masked;
    for (std::size_t i = 0; i < text.size(); i = nextBoundary(text, i)) masked += kMask;
    return masked;
}

std::size_t EntryDialog::shownOffset(int field, std::size_t offset) const {
    if (field != PasswordField) return offset;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < offset; i = nextBoundary(fields_[field].text, i)) ++characters;
    return characters * std::char_traits<char>::length(kMask);
}

void EntryDialog::setFocus(int control) {
    focus_ = control;
    composition_.clear();
    if (control < kFieldCount) {
        // Entering a field selects its text, so typing replaces what was offered.
        Field& field = fields_[control];
        field.caret = field.text.size();
        field.allSelected = !field.text.empty();
        keepCaretVisible(field, control);
    }
}

void EntryDialog::keepCaretVisible(Field& field, int index) {
    const int visible = boxOf(index).w - 2 * kTextInset;
    const std::string text = shown(index);
    const std::size_t shownCaret = shownOffset(index, field.caret);
    const int caretX = widthOf(text.substr(0, shownCaret)) + widthOf(composition_);
    if (caretX - field.scroll > visible) field.scroll = caretX - visible;
    if (caretX < field.scroll) field.scroll = caretX;
    const int total = widthOf(text) + widthOf(composition_);
    if (field.scroll > 0 && total - field.scroll < visible) field.scroll = std::max(0, total - visible);
}

void EntryDialog::type(const std::string& utf8) {
    if (focus_ >= kFieldCount) return;
    Field& field = fields_[focus_];
    field.dropSelection();
    const std::size_t room = kLimits[focus_] - std::min(kLimits[focus_], field.text.size());
    const std::string insert = fitting(cleaned(utf8), room);
    field.text.insert(field.caret, insert);
    field.caret += insert.size();
    keepCaretVisible(field, focus_);
}

void EntryDialog::erase(bool forward) {
    if (focus_ >= kFieldCount) return;
    Field& field = fields_[focus_];
    // A wholly selected text goes as one; otherwise one character beside the caret.
    if (!field.dropSelection()) {
        if (forward) {
            field.text.erase(field.caret, nextBoundary(field.text, field.caret) - field.caret);
        } else {
            const std::size_t from = previousBoundary(field.text, field.caret);
            field.text.erase(from, field.caret - from);
            field.caret = from;
        }
    }
    keepCaretVisible(field, focus_);
}

void EntryDialog::moveCaret(int key) {
    if (focus_ >= kFieldCount) return;
    Field& field = fields_[focus_];
    const bool wasSelected = field.allSelected;
    field.allSelected = false;
    switch (key) {
        case FormEvent::Left: field.caret = wasSelected ? 0 : previousBoundary(field.text, field.caret); break;
        case FormEvent::Right: field.caret = wasSelected ? field.text.size() : nextBoundary(field.text, field.caret); break;
        case FormEvent::Home: field.caret = 0; break;
        case FormEvent::End: field.caret = field.text.size(); break;
        default: break;
    }
    keepCaretVisible(field, focus_);
}

void EntryDialog::caretAt(int index, int x) {
    Field& field = fields_[index];
    const int target = x - (boxOf(index).x + kTextInset) + field.scroll;
    // The character boundary nearest to the pointer.
    std::size_t best = 0;
    int bestDistance = std::abs(target);
    const std::string text = shown(index);
    for (std::size_t i = 0; i < field.text.size();) {
        i = nextBoundary(field.text, i);
        const int w = widthOf(text.substr(0, shownOffset(index, i)));
        if (std::abs(target - w) < bestDistance) {
            bestDistance = std::abs(target - w);
            best = i;
        }
    }
    field.caret = best;
    field.allSelected = false;
    keepCaretVisible(field, index);
}

EntryDialog::Result EntryDialog::pressButton(int control) {
    if (control == OkButton) return Result::Ok;
    if (control == CancelButton || control == kCloseControl) return Result::Cancel;
    return Result::Open;
}

EntryDialog::Result EntryDialog::handle(const FormEvent& event) {
    switch (event.kind) {
        case FormEvent::Close: return Result::Cancel;
        case FormEvent::Text:
            composition_.clear();
            type(event.text);
            return Result::Open;
        case FormEvent::Composition:
            if (focus_ < kFieldCount) {
                composition_ = cleaned(event.text);
                keepCaretVisible(fields_[focus_], focus_);
            }
            return Result::Open;
        case FormEvent::Key:
            switch (event.key) {
                case FormEvent::Tab:
                    setFocus((focus_ + (event.shift ? kControlCount - 1 : 1)) % kControlCount);
                    return Result::Open;
                case FormEvent::Enter: return focus_ == CancelButton ? Result::Cancel : Result::Ok;
                case FormEvent::Escape: return Result::Cancel;
                case FormEvent::Space: return focus_ >= kFieldCount ? pressButton(focus_) : Result::Open;
                case FormEvent::Backspace: erase(false); return Result::Open;
                case FormEvent::Delete: erase(true); return Result::Open;
                case FormEvent::Left:
                case FormEvent::Right:
                case FormEvent::Home:
                case FormEvent::End: moveCaret(event.key); return Result::Open;
                default: return Result::Open;
            }
        case FormEvent::Pad:
            // A pad cannot type, but it can send what was offered or leave: south or Start is
            // Enter, east is Escape, the d-pad moves between the fields and buttons.
            switch (event.key) {
                case FormEvent::PadSouth:
                case FormEvent::PadStart: return focus_ == CancelButton ? Result::Cancel : Result::Ok;
                case FormEvent::PadEast: return Result::Cancel;
                case FormEvent::PadUp:
                case FormEvent::PadLeft: setFocus((focus_ + kControlCount - 1) % kControlCount); return Result::Open;
                case FormEvent::PadDown:
                case FormEvent::PadRight: setFocus((focus_ + 1) % kControlCount); return Result::Open;
                default: return Result::Open;
            }
        case FormEvent::Press: {
            pressed_ = -1;
            if (closeBox().contains(event.x, event.y)) {
                pressed_ = kCloseControl;
                return Result::Open;
            }
            for (int c = 0; c < kControlCount; ++c) {
                if (!boxOf(c).contains(event.x, event.y)) continue;
                if (c < kFieldCount) {
                    focus_ = c;
                    composition_.clear();
                    caretAt(c, event.x);
                } else {
                    focus_ = c;
                    pressed_ = c;
                }
            }
            return Result::Open;
        }
        case FormEvent::Release: {
            // A button acts when the pointer is let go over the button it went down on.
            const int held = pressed_;
            pressed_ = -1;
            if (held == kCloseControl && closeBox().contains(event.x, event.y)) return Result::Cancel;
            if (held >= kFieldCount && held < kControlCount && boxOf(held).contains(event.x, event.y))
                return pressButton(held);
            return Result::Open;
        }
        case FormEvent::Motion:
            hover_ = closeBox().contains(event.x, event.y) ? kCloseControl : -1;
            for (int c = kFieldCount; c < kControlCount; ++c)
                if (boxOf(c).contains(event.x, event.y)) hover_ = c;
            return Result::Open;
        default: return Result::Open;
    }
}

void EntryDialog::paintText(Surface& target, int x, int y, int w, int h, const std::string& utf8, int offset) {
    if (utf8.empty() || w <= 0 || h <= 0 || x < 0 || y < 0 || x + w > target.width || y + h > target.height) return;
    // Drawn into the box's own window of the picture, so anything beyond the box is cut off.
    text_.drawText(target.row(y) + x, w, h, target.width, -offset, kTextRise, utf8);
}

void EntryDialog::paintField(Surface& target, int index, bool caretOn) {
    const Box box = boxOf(index);
    const Field& field = fields_[index];
    const bool focused = focus_ == index;
    fill(target, box.x, box.y, box.w, box.h, kFieldFill);
    frame(target, box.x, box.y, box.w, box.h, focused ? kGold : kFieldEdge);
    const int innerX = box.x + kTextInset, innerW = box.w - 2 * kTextInset;
    const std::string text = shown(index);
    const std::size_t shownCaret = shownOffset(index, field.caret);
    const std::string before = text.substr(0, shownCaret);
    const std::string after = text.substr(shownCaret);
    if (focused && field.allSelected) {
        const int w = std::min(innerW, widthOf(text) - field.scroll);
        fill(target, innerX, box.y + 3, w, box.h - 6, kSelection);
    }
    const std::string line = focused ? before + composition_ + after : text;
    paintText(target, innerX, box.y + 1, innerW, box.h - 2, line, field.scroll);
    if (!focused) return;
    const int caretX = innerX + widthOf(before) - field.scroll;
    if (!composition_.empty()) {
        // The input method's unfinished text is underlined in place.
        const int w = widthOf(composition_);
        fill(target, std::max(innerX, caretX), box.y + box.h - 5, std::min(w, innerX + innerW - caretX), 1, kCaret);
    } else if (caretOn && caretX >= innerX && caretX < innerX + innerW) {
        fill(target, caretX, box.y + 4, 2, box.h - 8, kCaret);
    }
}

void EntryDialog::paintButton(Surface& target, int control) {
    const Box box = boxOf(control);
    const bool down = pressed_ == control && hover_ == control;
    // OK is the default button: Enter presses it.
    panel::paintButton(target, panel::Box{box.x, box.y, box.w, box.h}, focus_ == control, hover_ == control, down,
                       control == OkButton);
    const char* label = tr(control == OkButton ? kOkText : kCancelText);
    const int w = widthOf(label);
    paintText(target, box.x + (box.w - w) / 2 + (down ? 1 : 0), box.y + 2 + (down ? 1 : 0), box.w - 2, box.h - 4, label);
}

void EntryDialog::paint(Surface& target, bool caretOn) {
    const int x = kLeft, y = kTop;
    panel::paintPanel(target, panel::Box{x, y, kWidth, kHeight});
    paintText(target, x + 10, y + 1, kWidth - 40, kCaptionHeight - 1, tr(kCaption));

    const Box close = closeBox();
    fill(target, close.x, close.y, close.w, close.h, hover_ == kCloseControl ? kButtonHover : kButtonFill);
    frame(target, close.x, close.y, close.w, close.h, kButtonEdge);
    for (int i = 4; i < close.w - 4; ++i) {  // the cross
        const int cy = close.y + 3 + (i - 4) * (close.h - 6) / (close.w - 8);
        fill(target, close.x + i, cy, 2, 2, kPanelEdge);
        fill(target, close.x + close.w - 1 - i - 1, cy, 2, 2, kPanelEdge);
    }

    const int top = y + kCaptionHeight;
    for (const Label& label : kLabels) paintText(target, x + label.x, top + label.y - kTextRise, kWidth - label.x - 8, 22, tr(label.text));
    int lineY = top + kNote.y;
    for (const std::string& line : wrapped(tr(kPasswordNote), kNote.w, text_)) {
        paintText(target, x + kNote.x, lineY - kTextRise, kNote.w, 22, line);
        lineY += 20;
    }
    for (int f = 0; f < kFieldCount; ++f) paintField(target, f, caretOn);
    paintButton(target, OkButton);
    paintButton(target, CancelButton);

    // The game's gold cursor points at the control that has the focus.
    const Box focused = boxOf(focus_);
    if (env_->draw.sprite(128 + 0) != nullptr) {
        const auto frameNo = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  std::chrono::steady_clock::now().time_since_epoch()).count() / 120 % 4);
        env_->draw.DrawSprite(toFixed(focused.x - 12 - 160), toFixed(focused.y + focused.h / 2), 128 + frameNo);
    }
}

bool EntryDialog::show() {
    Draw& draw = env_->draw;
    Surface& back = draw.backBuffer();
    std::vector<std::uint32_t> behind = back.pixels;
    shade(back);
    const std::vector<std::uint32_t> shaded = back.pixels;
    const bool skip = draw.skip();
    draw.SetSkip(false);

    open();
    FormInput& forms = env_->platform().formInput();
    forms.beginText();
    const auto start = std::chrono::steady_clock::now();
    Result result = Result::Open;
    while (result == Result::Open) {
        back.pixels = shaded;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        paint(back, ms / 530 % 2 == 0);
        if (focus_ < kFieldCount) {
            const Box box = boxOf(focus_);
            forms.setCaret(box.x, box.y, box.w, box.h);
        }
        draw.Present();
        // One event per picture, so every keystroke shows.
        FormEvent event;
        if (forms.next(event, 40)) result = handle(event);
    }
    forms.endText();

    // The page comes back at once: whatever follows (a message box, the request) happens over the
    // page, not over a dialog that is gone.
    back.pixels = std::move(behind);
    draw.Present();
    draw.SetSkip(skip);
    if (result != Result::Ok) return false;
    name = fields_[NameField].text;
    password = fields_[PasswordField].text;
    comment = fields_[CommentField].text;
    return true;
}
