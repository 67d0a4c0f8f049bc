#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A decoded picture: XRGB pixels, top row first.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// What the two headers of a BMP file say, before any pixel is read.
struct BmpHeader {
    std::uint32_t pixelOffset = 0;
    std::uint32_t infoSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;  // negative for a top-down picture
    std::uint16_t bitsPerPixel = 0;
    std::uint32_t compression = 0;
};

// Reads the file header and the 40-byte information header. False when the data is too short
// for them or does not start with "BM".
bool readBmpHeader(const unsigned char* data, std::size_t size, BmpHeader& out);

// Decodes an uncompressed 24- or 32-bit BMP (bottom-up or top-down; 32-bit also with the plain
// 8-8-8 bit fields). False, leaving out untouched, on anything else: a bad header, a size beyond
// 16384, an offset or row data past the end of the buffer.
bool decodeBmp(const unsigned char* data, std::size_t size, Bitmap& out);

// The bytes of bitmap resource id compiled into the program, or null.
const unsigned char* findBitmapResource(int id, std::size_t& size);

// Takes the pages of the compiled-in bitmap files out of the process's resident memory once a
// scene has decoded what it needs (6 MB in a play): they are read-only pages of the program file,
// read again from the system's file cache when the next scene decodes, unchanged.
void releaseBitmapResourcePages();
