// Reading a caller's BITMAPINFO: size, row order, pixel format and colour table.
#pragma once

#include "Surface.h"

namespace kelvra::platform {

struct DibLayout {
    int width = 0;
    int height = 0;  // rows, always positive
    bool bottomUp = true;
    PixelFormat format;
};

// False with the last error set for what the subset cannot draw: compressed or unknown formats,
// 48- and 64-bit pixels, palette-index colour tables (DIB_PAL_COLORS) of indexed pixels.
bool ReadDibLayout(const BITMAPINFO* info, UINT usage, DibLayout& layout);

}  // namespace kelvra::platform
