#pragma once
#include <cstddef>

// One bitmap resource compiled into the executable (assets/bitmaps/<id>.bmp).
struct EmbeddedBitmap {
    int id;
    const unsigned char* data;
    std::size_t size;
};

// Terminated by an entry whose data is null.
extern const EmbeddedBitmap kEmbeddedBitmaps[];
