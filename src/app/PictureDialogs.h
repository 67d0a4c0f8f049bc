#pragma once
#include <string>
#include <vector>
#include "graphics/PanelLook.h"
#include "platform/Platform.h"

class Env;
class Log;
struct Surface;

// Message boxes drawn by the game inside its own picture, in the look of its panels, over the
// picture of the moment (shaded): in a window and in full screen alike. A box answers to the
// keyboard (Enter or the Button1 keys choose the button with the focus, Escape or the Button2
// keys cancel, the arrows and Tab move between the buttons) and to a pad (south chooses, east
// cancels, the d-pad moves), and to the pointer on its buttons. While it is open the game stands
// still: it is shown between two frames, the frame timer starts again after it, and keys still
// held when it closes count as held, not as new presses, so the answer never reaches the scene.
class PictureDialogs : public Dialogs {
public:
    PictureDialogs(Env* env, Log* log);
    Answer messageBox(const std::string& text, const std::string& caption, Buttons buttons) override;

    // The steps of messageBox, for tests: open a box, hand it one event (true once answered),
    // paint it, read the answer.
    void open(const std::string& text, const std::string& caption, Buttons buttons);
    bool handle(const FormEvent& event);
    void paint(Surface& target);
    Answer answer() const { return answer_; }
    int focus() const { return focus_; }
    int buttonCount() const { return buttonCount_; }
    // Where the box and its buttons lie on the 800 x 600 picture once open.
    panel::Box box() const { return box_; }
    panel::Box buttonBox(int index) const;

    static constexpr int kWidth = 380;

private:
    bool isKeyOf(int code, int button) const;
    bool choose(int index);
    bool cancel();
    const char* labelOf(int index) const;

    Env* env_;
    Log* log_;
    std::string text_, caption_;
    Buttons buttons_ = Ok;
    int buttonCount_ = 1;
    int focus_ = 0;
    int pressed_ = -1;  // the button held down with the pointer
    Answer answer_ = AnswerOk;
    panel::Box box_{0, 0, 0, 0};
    std::vector<std::string> lines_;
    int ticks_ = 0;  // pictures shown, for the cursor's animation
};
