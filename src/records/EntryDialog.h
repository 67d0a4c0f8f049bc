#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include "app/Translation.h"

class Env;
struct FormEvent;
struct Surface;
class TextRenderer;

// The ranking entry dialog: name, password and comment for sending the best play, with OK and
// Cancel. A modal form drawn over the game window with the game's own drawing: the game stands
// still while it is open. Text comes through the system's text input (an input method works, so
// a comment can be typed in Japanese); Tab and Shift+Tab move between the fields and buttons,
// Enter is OK (Cancel when Cancel has the focus), Escape and the close box cancel, and the mouse
// places the caret and presses the buttons.
//
// Limits, in bytes of UTF-8 (a character is never cut): name 8, password 20, comment 80.
class EntryDialog {
public:
    enum Control { NameField, PasswordField, CommentField, OkButton, CancelButton, kControlCount };
    enum class Result { Open, Ok, Cancel };
    static constexpr int kFieldCount = 3;
    static constexpr std::array<std::size_t, kFieldCount> kLimits = {8, 20, 80};

    static constexpr const char* kCaption = N_("スコア送信の情報");
    static constexpr const char* kNameLabel = N_("お名前　（半角英数で8文字まで）");
    static constexpr const char* kPasswordLabel = N_("パスワード　（２０バイトまで)");
    static constexpr const char* kPasswordNote = N_("パスワードは他の誰かが同じ名前を使うのを防ぐためのものです。");
    static constexpr const char* kCommentLabel = N_("コメント　（80バイトまで）");
    static constexpr const char* kOkText = "OK";
    static constexpr const char* kCancelText = N_("キャンセル");

    // The dialog's place on the 800 x 600 picture: centred on the playfield.
    static constexpr int kWidth = 420;
    static constexpr int kHeight = 370;
    static constexpr int kLeft = 160 + (480 - kWidth) / 2;
    static constexpr int kTop = (600 - kHeight) / 2;

    explicit EntryDialog(Env* env);

    // What the fields start with; after OK, what was entered.
    std::string name, password, comment;

    // Shows the dialog until OK (true), Cancel or closing (false). The picture behind it is
    // given back as it was.
    bool show();

    // The steps of show(), for tests: fill the fields from the strings, handle one event, draw.
    void open();
    Result handle(const FormEvent& event);
    void paint(Surface& target, bool caretOn);

    int focus() const { return focus_; }
    const std::string& fieldText(int field) const { return fields_[field].text; }
    std::size_t caret(int field) const { return fields_[field].caret; }
    bool allSelected(int field) const { return fields_[field].allSelected; }

    // A control's rectangle on the picture (x, y, w, h), for tests and pointer handling.
    struct Box {
        int x, y, w, h;
        bool contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
    };
    static Box boxOf(int control);
    static Box closeBox();

private:
    struct Field {
        std::string text;
        std::size_t caret = 0;   // byte offset, always on a character boundary
        int scroll = 0;          // pixels of text hidden left of the field
        bool allSelected = false;  // typing replaces the whole text (as on entering by Tab)

        // Removes a wholly selected text before it is typed over or erased; true when it did.
        bool dropSelection() {
            if (!allSelected) return false;
            text.clear();
            caret = 0;
            allSelected = false;
            return true;
        }
    };

    void setFocus(int control);
    void type(const std::string& utf8);
    void erase(bool forward);
    void moveCaret(int key);
    void caretAt(int field, int x);
    void keepCaretVisible(Field& field, int fieldIndex);
    std::string shown(int field) const;  // the text as drawn: the password masked
    // Where a byte offset of a field's text falls in the text as drawn.
    std::size_t shownOffset(int field, std::size_t offset) const;
    int widthOf(const std::string& utf8) const;
    Result pressButton(int control);

    void paintField(Surface& target, int field, bool caretOn);
    void paintButton(Surface& target, int control);
    void paintText(Surface& target, int x, int y, int w, int h, const std::string& utf8, int offset = 0);

    Env* env_;
    TextRenderer& text_;
    Field fields_[kFieldCount];
    int focus_ = NameField;
    std::string composition_;  // the input method's unfinished text at the caret
    int hover_ = -1;           // the button or close box under the pointer
    int pressed_ = -1;         // the button held down with the pointer
};
