// The 24-bit movie frame of an output image of any depth: blue-green-red, rows bottom-up as a
// DIB stores them (the output images hold the picture's top row in storage row 0).
#pragma once

#include "imaging/DibImage.h"

// frame must be a 24-bit image of source's size. Grey images give grey pixels, 16-bit samples
// their high byte. False for another pixel size or a frame of another size.
bool MakeAviFrame(const DibImage& source, DibImage& frame);
