#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "graphics/Surface.h"

class TextRenderer;

// The look of the game's own panels (the ranking entry form, the message boxes, the options
// page): deep blue panels with the double lavender edge of the menu bar, the gold of the cursor
// for what has the focus. Everything paints straight into an 800 x 600 picture and clips to it.
namespace panel {
constexpr std::uint32_t kPanel = 0x1A2448;
constexpr std::uint32_t kPanelLow = 0x0E1430;
constexpr std::uint32_t kPanelEdge = 0xB4BCEC;
constexpr std::uint32_t kPanelInner = 0x34448C;
constexpr std::uint32_t kCaptionTop = 0x30449C;
constexpr std::uint32_t kCaptionBottom = 0x121A4C;
constexpr std::uint32_t kFieldFill = 0x070A18;
constexpr std::uint32_t kFieldEdge = 0x4A5AA0;
constexpr std::uint32_t kGold = 0xF0C040;
constexpr std::uint32_t kSelection = 0x3452B8;
constexpr std::uint32_t kCaret = 0xF4F4FF;
constexpr std::uint32_t kButtonFill = 0x24347C;
constexpr std::uint32_t kButtonHover = 0x4460CC;
constexpr std::uint32_t kButtonDown = 0x141E52;
constexpr std::uint32_t kButtonEdge = 0x8C9CDC;

constexpr int kCaptionHeight = 24;
constexpr int kTextRise = 3;  // top margin of a line of text inside a box

struct Box {
    int x, y, w, h;
    bool contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

void fill(Surface& s, int x, int y, int w, int h, std::uint32_t colour);
void frame(Surface& s, int x, int y, int w, int h, std::uint32_t colour);
// a + (b - a) * t / range on each channel.
std::uint32_t mix(std::uint32_t a, std::uint32_t b, int t, int range);
// Darkens a whole picture so a panel over it stands out.
void shade(Surface& s);
// The panel with its caption bar and double edge.
void paintPanel(Surface& s, const Box& box);
// A push button: hover and down as the pointer leaves them, focused with the gold edge; the
// default button (Enter) wears a second frame. The label is drawn by the caller.
void paintButton(Surface& s, const Box& box, bool focused, bool hover, bool down, bool isDefault);
// One line of text cut to its box; nothing when the box leaves the picture.
void paintText(Surface& s, TextRenderer& text, const Box& box, const std::string& utf8, int offset = 0);
// Lines of text no wider than width. A line breaks after its last space (English words stay
// whole), or between characters where it has none (Japanese has no spaces).
std::vector<std::string> wrapped(const std::string& text, int width, TextRenderer& renderer);
}  // namespace panel
