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

// Decodes an uncompressed 24- or 32-bit BMP (bottom-up or top-down). False on anything else or on
// a file too short for the size its header claims.
bool decodeBmp(const unsigned char* data, std::size_t size, Bitmap& out);

// The bytes of bitmap resource id compiled into the program, or null.
const unsigned char* findBitmapResource(int id, std::size_t& size);
