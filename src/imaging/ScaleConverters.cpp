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
    // RECT members are LONG, which is not int32_t on every platform.
    const int32_t destLeft = destRect->left, destTop = destRect->top;
    const int32_t sourceLeft = sourceRect->left, sourceBottom = sourceRect->bottom;
    const int32_t destRectWidth = destRect->right - destLeft;
    const int32_t destRectHeight = destRect->bottom - destTop;
    if (destRectWidth <= 0 || destRectHeight <= 0) return 0;
    const float stepX = static_cast<float>(sourceRect->right - sourceLeft) / static_cast<float>(destRectWidth);
    const float stepY = static_cast<float>(sourceBottom - sourceRect->top) / static_cast<float>(destRectHeight);
    // The rectangles come unclipped from the caller; pixels outside either image are skipped
    // rather than written or read out of bounds.
    const int32_t firstColumn = std::max(0, -destLeft);
    const int32_t lastColumn = std::min(destRectWidth, destWidth - destLeft);
    for (int32_t k = std::max(0, -destTop); k < destRectHeight && destTop + k < destHeight; ++k) {
        const int32_t index = std::clamp(static_cast<int32_t>(static_cast<float>(k) * stepY), 0, sourceHeight - 1);
        const int32_t sourceRowIndex = std::clamp(sourceBottom - index - 1, 0, sourceHeight - 1);
        const BYTE* sourceRow = source + static_cast<intptr_t>(sourceRowIndex) * sourceStride;
        BYTE* destRow = destination + static_cast<intptr_t>(destTop + k) * destStride +
                        static_cast<intptr_t>(destLeft) * BytesPerPixel;
        for (int32_t c = firstColumn; c < lastColumn; ++c) {
            const int32_t column =
                std::clamp(sourceLeft + static_cast<int32_t>(static_cast<float>(c) * stepX), 0, sourceWidth - 1);
            std::memcpy(destRow + c * BytesPerPixel, sourceRow + column * BytesPerPixel, BytesPerPixel);
        }
    }
    return 1;
}

}  // namespace

KELVRA_SCALED_CONVERTER(ScaleNearest24) {
    (void)destBytesPerPixel, (void)sourceBytesPerPixel, (void)param1, (void)param2;
    return ScaleNearest<3>(destination, source, destRect, sourceRect, destWidth, destHeight, sourceWidth, sourceHeight,
                           destStride, sourceStride);
}

KELVRA_SCALED_CONVERTER(ScaleNearest8) {
    (void)destBytesPerPixel, (void)sourceBytesPerPixel, (void)param1, (void)param2;
    return ScaleNearest<1>(destination, source, destRect, sourceRect, destWidth, destHeight, sourceWidth, sourceHeight,
                           destStride, sourceStride);
}
