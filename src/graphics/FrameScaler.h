#pragma once
#include <cstdint>
#include <vector>

// Fitting the game's 800 x 600 picture into a window of any size, whole and undistorted.
//
// Enlarging is sharp: a whole multiple is plain pixel replication; anything between two multiples
// is replicated up to the next multiple and then brought down to the window with linear
// filtering, so only the seams between source pixels are blended ("sharp bilinear"). Shrinking
// averages every source pixel an output pixel covers, so one-pixel strokes (the font) fade to grey
// instead of vanishing.

// Where the picture lands inside a window: as large as fits, aspect kept, centred.
struct PictureRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const PictureRect&) const = default;
};
PictureRect fitPicture(int pictureW, int pictureH, int windowW, int windowH);

// The size of the picture a new window opens at, in percent, in steps of half the picture: the
// largest that fits the usable desktop with room left for the window's frame and title bar, at
// least 100 (150 on a 1920 x 1080 desktop). Whole multiples show the picture sharp, the halves
// between them through the sharp-bilinear enlargement below.
int windowPercentFor(int pictureW, int pictureH, int desktopW, int desktopH);

class FrameScaler {
public:
    // Scales src (srcW x srcH, pitch in pixels) into dst (dstW x dstH, pitch in pixels): the
    // picture into its fitPicture rectangle, black bars around it. XRGB pixels; the top byte of
    // every written pixel is 0.
    void scale(const std::uint32_t* src, int srcW, int srcH, int srcPitch, std::uint32_t* dst, int dstW, int dstH,
               int dstPitch);

    // The filter taps of one axis: for output pixel o, the source pixels
    // index[begin[o] .. begin[o + 1]) with weights (out of 256) at the same positions.
    struct Pair {
        int first, second;
        std::uint32_t weight;  // of second, out of 256
    };
    struct Axis {
        int from = 0, to = 0;
        std::vector<int> begin;
        std::vector<int> index;
        std::vector<std::uint32_t> weight;
        std::vector<Pair> pairs;  // the same taps as pairs, when enlarging (never more than two)
        bool identity() const { return from == to; }
    };
    static Axis makeAxis(int from, int to);

private:
    Axis xAxis_, yAxis_;
    std::vector<std::uint32_t> rows_;  // the horizontal pass: srcH rows of the picture's width
    std::vector<std::uint32_t> accRb_, accG_;  // one output row of the vertical pass, summing
};
