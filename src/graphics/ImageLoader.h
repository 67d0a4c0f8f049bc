#pragma once

class Draw;
class Log;

// Copies a bitmap resource compiled into the program into a Draw surface of the bitmap's size,
// with pixel values 0 and 1 (black and the darkest blue) transparent.
class ImageLoader {
public:
    explicit ImageLoader(Log* log) : log_(log) {}
    virtual ~ImageLoader() = default;
    virtual bool Load(int resourceId, Draw* draw, int surfaceIndex);

private:
    Log* log_;
};
