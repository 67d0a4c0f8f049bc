#include "platform/Platform.h"

int TextRenderer::textWidth(const std::string& utf8) {
    // Eight pixels per character, as the game's own font.
    int characters = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++characters;
    return 8 * characters;
}

namespace {
class ClosedForms : public FormInput {
public:
    bool next(FormEvent& event, int) override {
        event = FormEvent{};
        event.kind = FormEvent::Close;
        return true;
    }
};
}  // namespace

FormInput& Platform::formInput() {
    static ClosedForms forms;
    return forms;
}
