#include "imaging/Transfer.h"

#include <algorithm>

#include "imaging/DibImage.h"

namespace {

bool Fail(RECT& sourceRect, int32_t& destX, int32_t& destY) {
    sourceRect = RECT{0, 0, 0, 0};
    destX = 0;
    destY = 0;
    return false;
}

bool Usable(const DibImage* image) { return image && image->bits && image->width > 0 && image->height > 0; }

}  // namespace

bool ClipTransfer(int32_t destWidth, int32_t destHeight, int32_t sourceWidth, int32_t sourceHeight, RECT& sourceRect,
                  int32_t& destX, int32_t& destY) {
    RECT& src = sourceRect;
    // 64-bit edges: a caller's rectangle near the int32 limits must not wrap while moved.
    int64_t dLeft = destX, dTop = destY;
    int64_t dRight = dLeft + (int64_t{src.right} - src.left), dBottom = dTop + (int64_t{src.bottom} - src.top);
    int64_t sLeft = src.left, sTop = src.top, sRight = src.right, sBottom = src.bottom;
    if (dRight <= 0 || dBottom <= 0 || dLeft >= destWidth || dTop >= destHeight) return Fail(src, destX, destY);

    // Keep both rectangles the same size and aligned while the destination is clipped...
    if (dLeft < 0) sLeft -= dLeft, dLeft = 0;
    if (dTop < 0) sTop -= dTop, dTop = 0;
    if (dRight > destWidth) sRight -= dRight - destWidth, dRight = destWidth;
    if (dBottom > destHeight) sBottom -= dBottom - destHeight, dBottom = destHeight;
    if (sLeft >= sRight || sTop >= sBottom || sRight <= 0 || sBottom <= 0 || sLeft >= sourceWidth ||
        sTop >= sourceHeight) {
        return Fail(src, destX, destY);
    }
    // ...and then the source.
    if (sLeft < 0) dLeft -= sLeft, sLeft = 0;
    if (sTop < 0) dTop -= sTop, sTop = 0;
    if (sRight > sourceWidth) dRight -= sRight - sourceWidth, sRight = sourceWidth;
    if (sBottom > sourceHeight) dBottom -= sBottom - sourceHeight, sBottom = sourceHeight;
    if (sLeft >= sRight || sTop >= sBottom || dLeft >= dRight || dTop >= dBottom) return Fail(src, destX, destY);

    // Storage rows count from the bottom of each image.
    destX = static_cast<int32_t>(dLeft);
    destY = static_cast<int32_t>(destHeight - dBottom);
    src = RECT{static_cast<LONG>(sLeft), static_cast<LONG>(sourceHeight - sBottom), static_cast<LONG>(sRight),
               static_cast<LONG>(sourceHeight - sTop)};
    return true;
}

int64_t TransferImage(DibImage* destination, ConverterFn converter, DibImage* source, const RECT* sourceRect,
                      int32_t destX, int32_t destY, void* param1, void* param2) {
    if (!converter || !Usable(destination) || !Usable(source)) return 0;
    RECT rect = sourceRect ? *sourceRect : RECT{0, 0, source->width, source->height};
    if (!ClipTransfer(destination->width, destination->height, source->width, source->height, rect, destX, destY)) {
        return 0;
    }
    return converter(
        destination->bits, source->bits, &rect, destX, destY, static_cast<uint16_t>(destination->bitsPerPixel / 8),
        static_cast<uint16_t>(source->bitsPerPixel / 8), destination->stride, source->stride, param1, param2);
}

int64_t TransferImageScaled(DibImage* destination, ScaledConverterFn converter, DibImage* source,
                            const RECT* sourceRect, const RECT* destRect, void* param1, void* param2) {
    if (!converter || !Usable(destination) || !Usable(source)) return 0;
    const RECT sourceWhole{0, 0, source->width, source->height};
    const RECT destWhole{0, 0, destination->width, destination->height};
    return converter(destination->bits, source->bits, destRect ? destRect : &destWhole,
                     sourceRect ? sourceRect : &sourceWhole, destination->width, destination->height, source->width,
                     source->height, static_cast<uint16_t>(destination->bitsPerPixel / 8),
                     static_cast<uint16_t>(source->bitsPerPixel / 8), destination->stride, source->stride, param1,
                     param2);
}
