#include <gtest/gtest.h>
#include <algorithm>
#include "app/PictureDialogs.h"
#include "support/TestEnv.h"

namespace {

FormEvent keyEvent(int key, int code = -1) {
    FormEvent e;
    e.kind = FormEvent::Key;
    e.key = key;
    e.code = code;
    return e;
}
FormEvent padEvent(int button) {
    FormEvent e;
    e.kind = FormEvent::Pad;
    e.key = button;
    return e;
}
FormEvent pointerEvent(FormEvent::Kind kind, const panel::Box& b) {
    FormEvent e;
    e.kind = kind;
    e.x = b.x + b.w / 2;
    e.y = b.y + b.h / 2;
    return e;
}

class PictureDialogsTest : public ::testing::Test {
protected:
    HeadlessEnv headless;
    PictureDialogs boxes{&headless.env, &headless.log};
    HeadlessInputDevices& devices() { return headless.platform.inputDevices(); }
};

TEST_F(PictureDialogsTest, KeysPadAndPointerAnswerEachKindOfBox) {
    const int z = devices().keyCode("Z"), x = devices().keyCode("X"), right = devices().keyCode("Right");
    struct Case {
        const char* what;
        Dialogs::Buttons buttons;
        std::vector<FormEvent> events;
        Dialogs::Answer answer;
    };
    const Case cases[] = {
        {"Enter on the only button", Dialogs::Ok, {keyEvent(FormEvent::Enter)}, Dialogs::AnswerOk},
        {"Escape on a notice is still OK", Dialogs::Ok, {keyEvent(FormEvent::Escape)}, Dialogs::AnswerOk},
        {"the Button1 key chooses the focus", Dialogs::OkCancel, {keyEvent(FormEvent::OtherKey, z)}, Dialogs::AnswerOk},
        {"the Button2 key cancels", Dialogs::OkCancel, {keyEvent(FormEvent::OtherKey, x)}, Dialogs::AnswerCancel},
        {"Right then Enter", Dialogs::OkCancel, {keyEvent(FormEvent::Right), keyEvent(FormEvent::Enter)}, Dialogs::AnswerCancel},
        {"Tab wraps round", Dialogs::OkCancel,
         {keyEvent(FormEvent::Tab), keyEvent(FormEvent::Tab), keyEvent(FormEvent::Space)}, Dialogs::AnswerOk},
        {"pad south", Dialogs::OkCancel, {padEvent(FormEvent::PadSouth)}, Dialogs::AnswerOk},
        {"pad east", Dialogs::OkCancel, {padEvent(FormEvent::PadEast)}, Dialogs::AnswerCancel},
        {"d-pad right, south", Dialogs::YesNo, {padEvent(FormEvent::PadRight), padEvent(FormEvent::PadSouth)}, Dialogs::AnswerNo},
        {"a bound direction key moves", Dialogs::YesNo,
         {keyEvent(FormEvent::OtherKey, right), keyEvent(FormEvent::OtherKey, z)}, Dialogs::AnswerNo},
        {"moving stops at the last button", Dialogs::YesNo,
         {padEvent(FormEvent::PadRight), padEvent(FormEvent::PadRight), padEvent(FormEvent::PadLeft),
          padEvent(FormEvent::PadSouth)}, Dialogs::AnswerYes},
        {"closing the window declines", Dialogs::YesNo, {FormEvent{FormEvent::Close}}, Dialogs::AnswerNo},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.open("text", "caption", c.buttons);
        bool answered = false;
        for (const FormEvent& e : c.events) {
            ASSERT_FALSE(answered) << "answered before its last event";
            answered = boxes.handle(e);
        }
        EXPECT_TRUE(answered);
        EXPECT_EQ(boxes.answer(), c.answer);
    }

    // The pointer: a press and a release on the same button; let go elsewhere, nothing.
    boxes.open("text", "caption", Dialogs::OkCancel);
    EXPECT_FALSE(boxes.handle(pointerEvent(FormEvent::Press, boxes.buttonBox(1))));
    EXPECT_FALSE(boxes.handle(pointerEvent(FormEvent::Release, boxes.buttonBox(0))));
    EXPECT_FALSE(boxes.handle(pointerEvent(FormEvent::Press, boxes.buttonBox(1))));
    EXPECT_TRUE(boxes.handle(pointerEvent(FormEvent::Release, boxes.buttonBox(1))));
    EXPECT_EQ(boxes.answer(), Dialogs::AnswerCancel);
}

TEST_F(PictureDialogsTest, ABoxGrowsWithItsTextAndStaysInsideThePlayfield) {
    boxes.open("short", "caption", Dialogs::Ok);
    const panel::Box small = boxes.box();
    // The headless text renderer measures 8 pixels a byte: this wraps to several lines.
    boxes.open(std::string(200, 'w') + " and more words to wrap", "caption", Dialogs::OkCancel);
    const panel::Box big = boxes.box();
    EXPECT_GT(big.h, small.h);
    for (const panel::Box& b : {small, big}) {
        EXPECT_GE(b.x, 160);
        EXPECT_LE(b.x + b.w, 640);
        EXPECT_GE(b.y, 0);
        EXPECT_LE(b.y + b.h, 600);
    }
    for (int i = 0; i < boxes.buttonCount(); ++i) {
        const panel::Box b = boxes.buttonBox(i);
        EXPECT_TRUE(big.contains(b.x, b.y) && big.contains(b.x + b.w - 1, b.y + b.h - 1));
    }
    EXPECT_LE(boxes.buttonBox(0).x + boxes.buttonBox(0).w, boxes.buttonBox(1).x);
}

TEST_F(PictureDialogsTest, TheBoxIsShownOverThePictureWhichComesBackAndTheAnsweringKeyIsNoPress) {
    Draw& draw = headless.env.draw;
    Surface& back = draw.backBuffer();
    std::fill(back.pixels.begin(), back.pixels.end(), 0x808080u);
    const std::vector<std::uint32_t> before = back.pixels;
    // The player still holds Z, with which the box was answered, when it closes.
    devices().keys[devices().keyCode("Z")] = true;
    headless.platform.formInput().events = {padEvent(FormEvent::PadRight), keyEvent(FormEvent::OtherKey, devices().keyCode("Z"))};
    const int presents = headless.platform.screen().presents;

    EXPECT_EQ(boxes.messageBox("ランキングサーバーが設定されていません。", "スコア送信", Dialogs::OkCancel), Dialogs::AnswerCancel);

    // Shown at least once per event with the panel over the shaded picture: its middle is the
    // panel's blue, its corner the picture shaded.
    HeadlessScreen& screen = headless.platform.screen();
    EXPECT_GE(screen.presents - presents, 3);
    EXPECT_EQ(back.pixels, before);
    EXPECT_EQ(screen.strip[0], 0x808080u);  // the last present is the picture given back
    const auto& texts = headless.platform.textRenderer().texts;
    EXPECT_NE(std::find(texts.begin(), texts.end(), "スコア送信"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "キャンセル"), texts.end());
    EXPECT_TRUE(headless.env.input.isDown(Button1));
    EXPECT_FALSE(headless.env.input.takePress(Button1));
}

TEST_F(PictureDialogsTest, PaintingPutsThePanelOverTheShadedPicture) {
    Surface picture(800, 600);
    std::fill(picture.pixels.begin(), picture.pixels.end(), 0x404040u);
    boxes.open("text", "caption", Dialogs::Ok);
    panel::shade(picture);
    boxes.paint(picture);
    const panel::Box b = boxes.box();
    EXPECT_EQ(picture.at(10, 10), 0x202020u);
    EXPECT_EQ(picture.at(b.x, b.y + b.h / 2), panel::kPanelEdge);
    const panel::Box ok = boxes.buttonBox(0);
    EXPECT_EQ(picture.at(ok.x, ok.y + ok.h / 2), panel::kGold);  // the focused button's edge
}
}  // namespace
