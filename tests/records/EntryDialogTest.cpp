#include <gtest/gtest.h>
#include "FormEvents.h"
#include "app/Env.h"
#include "support/EnglishTexts.h"
#include "platform/headless/HeadlessPlatform.h"
#include "records/EntryDialog.h"
#include "support/TestEnv.h"

namespace {

FormEvent closing() {
    FormEvent e;
    e.kind = FormEvent::Close;
    return e;
}
FormEvent pad(int button) {
    FormEvent e;
    e.kind = FormEvent::Pad;
    e.key = button;
    return e;
}
FormEvent pointer(FormEvent::Kind kind, EntryDialog::Box box, int dx = 2) {
    FormEvent e;
    e.kind = kind;
    e.x = box.x + dx;
    e.y = box.y + box.h / 2;
    return e;
}

class EntryDialogTest : public ::testing::Test {
protected:
    EntryDialogTest() : dialog(&headless.env) {
        dialog.name = "saved";
        dialog.password = "pw";
        dialog.comment = "hello";
        dialog.open();
    }
    EntryDialog::Result feed(std::initializer_list<FormEvent> events) {
        EntryDialog::Result result = EntryDialog::Result::Open;
        for (const FormEvent& e : events) result = dialog.handle(e);
        return result;
    }

    HeadlessEnv headless;
    EntryDialog dialog;
};

TEST_F(EntryDialogTest, SavedValuesAreOfferedSelectedAndTypingReplacesThem) {
    EXPECT_EQ(dialog.focus(), EntryDialog::NameField);
    EXPECT_EQ(dialog.fieldText(EntryDialog::NameField), "saved");
    EXPECT_TRUE(dialog.allSelected(EntryDialog::NameField));
    feed({text("ab"), text("c")});
    EXPECT_EQ(dialog.fieldText(EntryDialog::NameField), "abc");

    // Tab selects the next field's text too; Backspace on a selection clears it.
    feed({key(FormEvent::Tab), key(FormEvent::Backspace), text("secret")});
    EXPECT_EQ(dialog.fieldText(EntryDialog::PasswordField), "secret");
    // Arrows leave the selection and move through the text by whole characters.
    feed({key(FormEvent::Tab), key(FormEvent::End), text(" 日本"), key(FormEvent::Left), key(FormEvent::Backspace),
          key(FormEvent::Home), key(FormEvent::Delete), text("H")});
    EXPECT_EQ(dialog.fieldText(EntryDialog::CommentField), "Hello 本");
    EXPECT_EQ(dialog.caret(EntryDialog::CommentField), 1u);
}

TEST_F(EntryDialogTest, LimitsCountBytesAndNeverCutACharacter) {
    feed({text("abcdefghij")});
    EXPECT_EQ(dialog.fieldText(EntryDialog::NameField), "abcdefgh");
    feed({key(FormEvent::Tab), text(std::string(25, 'p'))});
    EXPECT_EQ(dialog.fieldText(EntryDialog::PasswordField), std::string(20, 'p'));
    std::string many;
    for (int i = 0; i < 30; ++i) many += "あ";  // three bytes each
    feed({key(FormEvent::Tab), text(many)});
    EXPECT_EQ(dialog.fieldText(EntryDialog::CommentField).size(), 78u);
    // Control characters and broken UTF-8 never enter a field.
    feed({key(FormEvent::Tab, true), key(FormEvent::Backspace), text("a\tb\x01" "c\xE3\x81" "d\r\n")});
    EXPECT_EQ(dialog.fieldText(EntryDialog::PasswordField), "abcd");
}

TEST_F(EntryDialogTest, KeysThatCloseTheDialog) {
    struct Case {
        const char* name;
        std::vector<FormEvent> events;
        EntryDialog::Result result;
    } cases[] = {
        {"Enter in a field is OK", {key(FormEvent::Enter)}, EntryDialog::Result::Ok},
        {"Escape cancels", {key(FormEvent::Escape)}, EntryDialog::Result::Cancel},
        {"Shift+Tab from the name reaches Cancel; Enter presses it",
         {key(FormEvent::Tab, true), key(FormEvent::Enter)}, EntryDialog::Result::Cancel},
        {"Space presses the focused OK", {key(FormEvent::Tab), key(FormEvent::Tab), key(FormEvent::Tab), key(FormEvent::Space)},
         EntryDialog::Result::Ok},
        {"Space in a field types", {key(FormEvent::Space)}, EntryDialog::Result::Open},
        {"closing the window cancels", {closing()}, EntryDialog::Result::Cancel},
        {"a pad's south button sends what was offered", {pad(FormEvent::PadSouth)}, EntryDialog::Result::Ok},
        {"a pad's east button cancels", {pad(FormEvent::PadEast)}, EntryDialog::Result::Cancel},
        {"the d-pad goes back round to Cancel; south presses it", {pad(FormEvent::PadUp), pad(FormEvent::PadSouth)},
         EntryDialog::Result::Cancel},
        {"a key the form has no use for does nothing", {key(FormEvent::OtherKey)}, EntryDialog::Result::Open},
    };
    for (const Case& c : cases) {
        dialog.open();
        EntryDialog::Result result = EntryDialog::Result::Open;
        for (const FormEvent& e : c.events) result = dialog.handle(e);
        EXPECT_EQ(result, c.result) << c.name;
    }
}

TEST_F(EntryDialogTest, ThePointerFocusesFieldsAndPressesButtons) {
    feed({pointer(FormEvent::Press, EntryDialog::boxOf(EntryDialog::CommentField), 1)});
    EXPECT_EQ(dialog.focus(), EntryDialog::CommentField);
    EXPECT_FALSE(dialog.allSelected(EntryDialog::CommentField));
    EXPECT_EQ(dialog.caret(EntryDialog::CommentField), 0u);  // the click left of the first letter

    // A press that slides off the button does nothing; a press and release on it acts.
    const auto ok = EntryDialog::boxOf(EntryDialog::OkButton);
    EXPECT_EQ(feed({pointer(FormEvent::Press, ok), pointer(FormEvent::Release, EntryDialog::boxOf(EntryDialog::NameField))}),
              EntryDialog::Result::Open);
    EXPECT_EQ(feed({pointer(FormEvent::Press, ok), pointer(FormEvent::Release, ok)}), EntryDialog::Result::Ok);
    EXPECT_EQ(feed({pointer(FormEvent::Press, EntryDialog::boxOf(EntryDialog::CancelButton)),
                    pointer(FormEvent::Release, EntryDialog::boxOf(EntryDialog::CancelButton))}),
              EntryDialog::Result::Cancel);
    EXPECT_EQ(feed({pointer(FormEvent::Press, EntryDialog::closeBox()), pointer(FormEvent::Release, EntryDialog::closeBox())}),
              EntryDialog::Result::Cancel);
}

TEST_F(EntryDialogTest, ShowRunsUntilOkMasksThePasswordAndGivesThePictureBack) {
    auto& platform = headless.platform;
    Surface& back = headless.env.draw.backBuffer();
    for (std::size_t i = 0; i < back.pixels.size(); ++i) back.pixels[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0xFFFFFF;
    const std::vector<std::uint32_t> before = back.pixels;

    platform.formInput().events = {text("ace"), key(FormEvent::Tab), text("hunter2"), key(FormEvent::Tab), text("gg"),
                                   key(FormEvent::Enter)};
    EXPECT_TRUE(dialog.show());
    EXPECT_EQ(dialog.name, "ace");
    EXPECT_EQ(dialog.password, "hunter2");
    EXPECT_EQ(dialog.comment, "gg");
    EXPECT_FALSE(platform.formInput().textOn);
    EXPECT_EQ(back.pixels, before);

    // Drawn and shown while open: the labels, one dot per password character, never the password.
    const auto& drawn = platform.textRenderer().texts;
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), EntryDialog::kCaption), drawn.end());
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), EntryDialog::kCommentLabel), drawn.end());
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), "●●●●●●●"), drawn.end());
    for (const std::string& t : drawn) EXPECT_EQ(t.find("hunter"), std::string::npos) << t;
    EXPECT_GT(platform.screen().presents, 0);

    // Cancelled, the strings keep what the caller gave.
    dialog.name = "keep";
    platform.formInput().events = {text("zzz"), key(FormEvent::Escape)};
    EXPECT_FALSE(dialog.show());
    EXPECT_EQ(dialog.name, "keep");
}

// The password's note is wrapped to its box: in English between words, never inside one; in
// Japanese between characters. (The test renderer gives every character 8 pixels: 46 a line.)
TEST_F(EntryDialogTest, TheNoteWrapsBetweenWordsInEnglish) {
    auto& platform = headless.platform;
    const auto noteLines = [&platform] {
        std::vector<std::string> lines;
        for (const std::string& t : platform.textRenderer().texts)
            if (t.find("password keeps") != std::string::npos || t.find("name.") != std::string::npos ||
                t.find("パスワードは") != std::string::npos)
                lines.push_back(t);
        return lines;
    };
    platform.formInput().events = {key(FormEvent::Escape)};
    dialog.show();
    EXPECT_EQ(noteLines(), (std::vector<std::string>{EntryDialog::kPasswordNote}));

    const EnglishTexts english;
    ASSERT_TRUE(english.loaded);
    platform.textRenderer().texts.clear();
    platform.formInput().events = {key(FormEvent::Escape)};
    dialog.show();
    const std::vector<std::string> lines = noteLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines, (std::vector<std::string>{"The password keeps anyone else from using the", "same name."}));
}

}  // namespace
