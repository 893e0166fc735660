// Rows turned left to right: pixel x of the destination is pixel (pixels - 1 - x) of the source,
// all bytes of a pixel moving together. One pass over the row in word-sized blocks, for every
// pixel size the frame path has (1, 2, 3, 4, 6 and 8 bytes); other sizes go pixel by pixel.
#pragma once

#include <cstddef>
#include <cstdint>

// destination and source must not overlap.
void MirrorPixelRow(uint8_t* destination, const uint8_t* source, size_t pixels, uint32_t pixelBytes);
