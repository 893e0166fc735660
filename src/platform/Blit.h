// Copying pixels between surfaces, GDI style: nearest-neighbour stretching, mirroring for
// negative extents and clipping to both surfaces.
#pragma once

#include "Surface.h"

namespace kelvra::platform {

// A rectangle as GDI takes it: the origin pixel is the first one copied, and a negative
// width or height runs back from it (so -h rows from row h - 1 walk up to row 0).
struct Extent {
    int x;
    int y;
    int width;
    int height;
};

// Copies source to destination; pixels whose source or destination falls outside its surface
// stay untouched. Locks both surfaces (and copes with one surface on both sides).
void StretchSurface(Surface& destination, const Extent& to, const Surface& source, const Extent& from);

// Fills the part of rect that lies on the surface with one colour (0x00RRGGBB).
void FillSurface(Surface& destination, const RECT& rect, uint32_t rgb);

// 0x00RRGGBB of one pixel, false outside the surface.
bool ReadPixel(const Surface& surface, int x, int y, uint32_t& rgb);
// Writes one pixel and reports the colour it got (the nearest table colour of indexed pixels).
bool WritePixel(Surface& surface, int x, int y, uint32_t rgb, uint32_t& written);

}  // namespace kelvra::platform
