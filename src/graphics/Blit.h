#pragma once
#include <cstdint>
#include "graphics/Surface.h"

// The pixel loops behind Draw: plain and colour-keyed copies (scaled when the rectangles differ
// in size), the white flash rows, the dot-pattern shade and fills. Every loop walks rows and
// stays inside both buffers: callers pass rectangles already clipped with clipToArea and
// checked with fitsInside.

// Clips dst to a w x h area in the order top, bottom, left, right, moving the matching edge of
// src by the same number of pixels.
void clipToArea(Rect& dst, Rect& src, int w, int h);

// True when r is non-empty and lies wholly inside a w x h buffer.
bool fitsInside(const Rect& r, int w, int h);

// Nearest-neighbour mapping of position i of a run of dstLen pixels onto a run of srcLen: the
// centre of each destination pixel samples the source, so equal lengths map one to one and a
// source one pixel longer loses its middle pixel rather than an edge.
inline int scaledIndex(int i, int dstLen, int srcLen) {
    return static_cast<int>((2 * static_cast<std::int64_t>(i) + 1) * srcLen / (2 * static_cast<std::int64_t>(dstLen)));
}

// Copies src rectangle s into dst rectangle d, scaling when their sizes differ. With useKey,
// source pixels whose low 24 bits lie in the source's key range are left out.
void blitRect(const Surface& src, const Rect& s, Surface& dst, const Rect& d, bool useKey);

// The two effects walk s and d together pixel for pixel, without scaling, over the smaller of
// their extents (for an odd-sized sprite, d: the source's last row and column are not read).

// For rows 0, 2, 4 ... counted from the top of s (the clipped source), whitens (0xFFFFFF) the
// destination pixel of every source pixel that is not 0.
void flashRows(const Surface& src, const Rect& s, Surface& dst, const Rect& d);

// Writes each walked pixel as its source pixel with every colour channel scaled by
// f = sin(r / 3) * sin(c / 3) + percent / 100, clamped to [0, 1] (r, c counted from the corner,
// real division), truncating; bits above 23 are kept. No colour key.
void shadeRect(const Surface& src, const Rect& s, Surface& dst, const Rect& d, int percent);

// Fills the part of r inside the surface with value.
void fillRect(Surface& surface, Rect r, std::uint32_t value);
