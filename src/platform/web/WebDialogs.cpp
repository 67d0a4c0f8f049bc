// Message boxes as boxes over the canvas; the game waits for the answer while the browser runs.
#include <emscripten/emscripten.h>
#include "platform/web/WebPlatform.h"

EM_JS(void, web_box_show, (const char* text, const char* caption, int buttons), {
    Module.page.messageBox(UTF8ToString(text), UTF8ToString(caption), buttons);
});
// 0 while the box is still open, else the Dialogs::Answer chosen.
EM_JS(int, web_box_answer, (), { return Module.page.messageAnswer(); });

Dialogs::Answer WebDialogs::messageBox(const std::string& text, const std::string& caption, Buttons buttons) {
    web_box_show(text.c_str(), caption.c_str(), buttons);
    int answer;
    while ((answer = web_box_answer()) == 0) webYield(16);
    return static_cast<Answer>(answer);
}
