#include "graphics/PanelLook.h"
#include <algorithm>
#include "platform/Platform.h"

namespace panel {
namespace {
std::size_t nextCharacter(const std::string& s, std::size_t at) {
    if (at >= s.size()) return s.size();
    ++at;
    while (at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80) ++at;
    return at;
}
}  // namespace

void fill(Surface& s, int x, int y, int w, int h, std::uint32_t colour) {
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const int x1 = std::min(s.width, x + w), y1 = std::min(s.height, y + h);
    for (int yy = y0; yy < y1; ++yy) std::fill(s.row(yy) + x0, s.row(yy) + x1, colour);
}

void frame(Surface& s, int x, int y, int w, int h, std::uint32_t colour) {
    fill(s, x, y, w, 1, colour);
    fill(s, x, y + h - 1, w, 1, colour);
    fill(s, x, y, 1, h, colour);
    fill(s, x + w - 1, y, 1, h, colour);
}

std::uint32_t mix(std::uint32_t a, std::uint32_t b, int t, int range) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
        out |= static_cast<std::uint32_t>(ca + (cb - ca) * t / range) << shift;
    }
    return out;
}

void shade(Surface& s) {
    for (std::uint32_t& p : s.pixels) p = (p >> 1) & 0x7F7F7F;
}

void paintPanel(Surface& s, const Box& box) {
    for (int row = 0; row < box.h; ++row) fill(s, box.x, box.y + row, box.w, 1, mix(kPanel, kPanelLow, row, box.h));
    for (int row = 0; row < kCaptionHeight; ++row)
        fill(s, box.x, box.y + row, box.w, 1, mix(kCaptionTop, kCaptionBottom, row, kCaptionHeight));
    fill(s, box.x, box.y + kCaptionHeight, box.w, 1, kPanelInner);
    frame(s, box.x, box.y, box.w, box.h, kPanelEdge);
    frame(s, box.x + 1, box.y + 1, box.w - 2, box.h - 2, kPanelInner);
}

void paintButton(Surface& s, const Box& box, bool focused, bool hover, bool down, bool isDefault) {
    const std::uint32_t body = down ? kButtonDown : hover ? kButtonHover : kButtonFill;
    fill(s, box.x, box.y, box.w, box.h, body);
    // A lighter top half gives the buttons the rounded sheen of the game's menu bar.
    for (int y = 1; y < box.h / 2; ++y) fill(s, box.x + 1, box.y + y, box.w - 2, 1, mix(body, kButtonEdge, box.h / 2 - y, box.h * 2));
    frame(s, box.x, box.y, box.w, box.h, focused ? kGold : kButtonEdge);
    if (isDefault) frame(s, box.x - 2, box.y - 2, box.w + 4, box.h + 4, kPanelInner);
}

void paintText(Surface& s, TextRenderer& text, const Box& box, const std::string& utf8, int offset) {
    if (utf8.empty() || box.w <= 0 || box.h <= 0 || box.x < 0 || box.y < 0 || box.x + box.w > s.width ||
        box.y + box.h > s.height)
        return;
    // Drawn into the box's own window of the picture, so anything beyond the box is cut off.
    text.drawText(s.row(box.y) + box.x, box.w, box.h, s.width, -offset, kTextRise, utf8);
}

std::vector<std::string> wrapped(const std::string& text, int width, TextRenderer& renderer) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t next = nextCharacter(text, i);
        const std::string character = text.substr(i, next - i);
        i = next;
        if (character == "\n") {  // a line end in the text ends the line
            lines.push_back(line);
            line.clear();
            continue;
        }
        if (line.empty() && character == " " && !lines.empty()) continue;  // no line starts with a space
        const std::string candidate = line + character;
        if (line.empty() || renderer.textWidth(candidate) <= width) {
            line = candidate;
            continue;
        }
        // A space that would not fit ends the line itself.
        const std::size_t space = character == " " ? std::string::npos : line.rfind(' ');
        if (space != std::string::npos && space > 0) {
            lines.push_back(line.substr(0, space));
            line = line.substr(space + 1) + character;
        } else {
            lines.push_back(line);
            line = character == " " ? std::string() : character;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}
}  // namespace panel
