#pragma once

class Draw;
class ImageLoader;

// The in-game font: bitmap 107 in off-screen surface 0, its 128 glyphs (8 x 16, 16 a row) as
// sprites 0 to 127, which CharacterString draws by character code. The title and records scenes
// load it, and a play keeps what the scene before it loaded; a replay run on its own (the replay
// tool, the browser's player) loads it as the records scene would before its replay.
constexpr int kFontSurface = 0;
void LoadGameFont(Draw& draw, ImageLoader& loader);
