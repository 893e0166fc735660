#include "device/FrameCopy.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kLastRevisionDroppingARow = 7;

template <size_t PixelBytes>
void MirrorPixels(uint8_t* destination, const uint8_t* source, size_t pixels) {
    for (size_t x = 0; x < pixels; ++x)
        std::memcpy(destination + x * PixelBytes, source + (pixels - 1 - x) * PixelBytes, PixelBytes);
}

// Pixels are one or two bytes, three times that on converter boards.
void MirrorRow(uint8_t* destination, const uint8_t* source, size_t rowBytes, uint32_t bytesPerPixel) {
    const size_t pixels = rowBytes / bytesPerPixel;
    switch (bytesPerPixel) {
        case 2:
            MirrorPixels<2>(destination, source, pixels);
            break;
        case 3:
            MirrorPixels<3>(destination, source, pixels);
            break;
        case 6:
            MirrorPixels<6>(destination, source, pixels);
            break;
        default:
            std::reverse_copy(source, source + rowBytes, destination);
            break;
    }
}

size_t SourceRow(size_t outputRow, size_t rows, RowOrder order) {
    switch (order) {
        case RowOrder::Reversed:
            return rows - 1 - outputRow;
        case RowOrder::ReversedDroppingLast:
            return outputRow == 0 ? (rows >= 2 ? rows - 2 : 0) : rows - 1 - outputRow;
        case RowOrder::Same:
        default:
            return outputRow;
    }
}

}  // namespace

FrameCopyPlan PlanForOrientation(int32_t orientation, int32_t keepOrder) {
    const bool mirrored = orientation == 2 || orientation == 4;
    const int32_t sentTopFirst = orientation != 3 && orientation != 4 ? 1 : 0;
    return {mirrored, keepOrder == sentTopFirst ? RowOrder::Same : RowOrder::Reversed};
}

FrameCopyPlan PlanForRevision(int32_t revision) {
    return {false, revision > kLastRevisionDroppingARow ? RowOrder::Reversed : RowOrder::ReversedDroppingLast};
}

void CopyFrameRows(uint8_t* destination, const uint8_t* source, const FrameLayout& layout, const FrameCopyPlan& plan) {
    if (!plan.mirror && plan.order == RowOrder::Same) {
        std::memcpy(destination, source, layout.rowBytes * layout.rows);
        return;
    }
    for (size_t row = 0; row < layout.rows; ++row) {
        const uint8_t* from = source + SourceRow(row, layout.rows, plan.order) * layout.rowBytes;
        uint8_t* to = destination + row * layout.rowBytes;
        if (plan.mirror) {
            MirrorRow(to, from, layout.rowBytes, layout.bytesPerPixel);
        } else {
            std::memcpy(to, from, layout.rowBytes);
        }
    }
}
