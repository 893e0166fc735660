// Converter dispatch: every pixel step of the library is a converter run once over a
// clipped rectangle by TransferImage (or TransferImageScaled for the resizing converters).
#pragma once

#include <cstdint>

#include "kelvra/win32.h"

struct DibImage;

// Rectangle rows are storage rows (counted from the bottom image row); param1 is, by
// convention, the address of a slot holding the address of the converter's parameter record.
using ConverterFn = int64_t (*)(BYTE* destination, const BYTE* source, const RECT* sourceRect, int32_t destX,
                                int32_t destY, uint16_t destBytesPerPixel, uint16_t sourceBytesPerPixel,
                                int32_t destStride, int32_t sourceStride, void* param1, void* param2);

using ScaledConverterFn = int64_t (*)(BYTE* destination, const BYTE* source, const RECT* destRect,
                                      const RECT* sourceRect, int32_t destWidth, int32_t destHeight,
                                      int32_t sourceWidth, int32_t sourceHeight, uint16_t destBytesPerPixel,
                                      uint16_t sourceBytesPerPixel, int32_t destStride, int32_t sourceStride,
                                      void* param1, void* param2);

// Declares or defines a converter with the ConverterFn signature.
#define KELVRA_CONVERTER(name)                                                                                       \
    int64_t name(BYTE* destination, const BYTE* source, const RECT* sourceRect, int32_t destX, int32_t destY,        \
                 uint16_t destBytesPerPixel, uint16_t sourceBytesPerPixel, int32_t destStride, int32_t sourceStride, \
                 void* param1, void* param2)

#define KELVRA_SCALED_CONVERTER(name)                                                                                \
    int64_t name(BYTE* destination, const BYTE* source, const RECT* destRect, const RECT* sourceRect,                \
                 int32_t destWidth, int32_t destHeight, int32_t sourceWidth, int32_t sourceHeight,                   \
                 uint16_t destBytesPerPixel, uint16_t sourceBytesPerPixel, int32_t destStride, int32_t sourceStride, \
                 void* param1, void* param2)

// Clips sourceRect (top-down image coordinates, null = whole source) and the destination
// placement against both images, converts rows to storage rows and runs the converter once.
// Returns 0 without calling it when nothing is left, the converter is null or an image is empty.
int64_t TransferImage(DibImage* destination, ConverterFn converter, DibImage* source, const RECT* sourceRect,
                      int32_t destX, int32_t destY, void* param1, void* param2);

// Unclipped dispatch for the resizing converters; a null rectangle stands for the whole image.
int64_t TransferImageScaled(DibImage* destination, ScaledConverterFn converter, DibImage* source,
                            const RECT* sourceRect, const RECT* destRect, void* param1, void* param2);

// The clipping of TransferImage on its own: on success sourceRect holds storage rows and
// destX/destY the clipped placement (destY as a storage row); on failure the rectangle is
// empty, destX = destY = 0 and the result is false.
bool ClipTransfer(int32_t destWidth, int32_t destHeight, int32_t sourceWidth, int32_t sourceHeight, RECT& sourceRect,
                  int32_t& destX, int32_t& destY);
