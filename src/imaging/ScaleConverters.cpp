// Nearest-neighbour resizing for the preview, reading source rows bottom-up.
#include <algorithm>
#include <cstring>

#include "imaging/Converters.h"

namespace {

template <int BytesPerPixel>
int64_t ScaleNearest(BYTE* destination, const BYTE* source, const RECT* destRect, const RECT* sourceRect,
                     int32_t destWidth, int32_t destHeight, int32_t sourceWidth, int32_t sourceHeight,
                     int32_t destStride, int32_t sourceStride) {
    if (!destination || !source || !destRect || !sourceRect || sourceWidth <= 0 || sourceHeight <= 0) return 0;
    const int32_t destRectWidth = destRect->right - destRect->left;
    const int32_t destRectHeight = destRect->bottom - destRect->top;
    if (destRectWidth <= 0 || destRectHeight <= 0) return 0;
    const float stepX = static_cast<float>(sourceRect->right - sourceRect->left) / static_cast<float>(destRectWidth);
    const float stepY = static_cast<float>(sourceRect->bottom - sourceRect->top) / static_cast<float>(destRectHeight);
    // The rectangles come unclipped from the caller; pixels outside either image are skipped
    // rather than written or read out of bounds.
    const int32_t firstColumn = std::max(0, -destRect->left);
    const int32_t lastColumn = std::min(destRectWidth, destWidth - destRect->left);
    for (int32_t k = std::max(0, -destRect->top); k < destRectHeight && destRect->top + k < destHeight; ++k) {
        const int32_t index = std::clamp(static_cast<int32_t>(static_cast<float>(k) * stepY), 0, sourceHeight - 1);
        const int32_t sourceRowIndex = std::clamp(sourceRect->bottom - index - 1, 0, sourceHeight - 1);
        const BYTE* sourceRow = source + static_cast<intptr_t>(sourceRowIndex) * sourceStride;
        BYTE* destRow = destination + static_cast<intptr_t>(destRect->top + k) * destStride +
                        static_cast<intptr_t>(destRect->left) * BytesPerPixel;
        for (int32_t c = firstColumn; c < lastColumn; ++c) {
            const int32_t column = std::clamp(sourceRect->left + static_cast<int32_t>(static_cast<float>(c) * stepX), 0,
                                              sourceWidth - 1);
            std::memcpy(destRow + c * BytesPerPixel, sourceRow + column * BytesPerPixel, BytesPerPixel);
        }
    }
    return 1;
}

}  // namespace

KELVRA_SCALED_CONVERTER(ScaleNearest24) {
    (void)destBytesPerPixel, (void)sourceBytesPerPixel, (void)param1, (void)param2;
    return ScaleNearest<3>(destination, source, destRect, sourceRect, destWidth, destHeight, sourceWidth,
                           sourceHeight, destStride, sourceStride);
}

KELVRA_SCALED_CONVERTER(ScaleNearest8) {
    (void)destBytesPerPixel, (void)sourceBytesPerPixel, (void)param1, (void)param2;
    return ScaleNearest<1>(destination, source, destRect, sourceRect, destWidth, destHeight, sourceWidth,
                           sourceHeight, destStride, sourceStride);
}
