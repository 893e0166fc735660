#include "device/FrameCopy.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kLastRevisionDroppingARow = 7;

void MirrorRow(uint8_t* destination, const uint8_t* source, size_t rowBytes, uint32_t bytesPerPixel) {
    if (bytesPerPixel == 2) {
        const size_t pixels = rowBytes / 2;
        for (size_t x = 0; x < pixels; ++x) {
            const uint8_t* pixel = source + (pixels - 1 - x) * 2;
            destination[x * 2] = pixel[0];
            destination[x * 2 + 1] = pixel[1];
        }
    } else {
        std::reverse_copy(source, source + rowBytes, destination);
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

FrameCopyPlan PlanForOrientation(int32_t orientation, bool keepOrder) {
    const bool mirrored = orientation == 2 || orientation == 4;
    const bool sentTopFirst = orientation != 3 && orientation != 4;
    return {mirrored, keepOrder == sentTopFirst ? RowOrder::Same : RowOrder::Reversed};
}

FrameCopyPlan PlanForRevision(int32_t revision) {
    return {false, revision > kLastRevisionDroppingARow ? RowOrder::Reversed : RowOrder::ReversedDroppingLast};
}

void CopyFrameRows(uint8_t* destination, const uint8_t* source, const FrameLayout& layout,
                   const FrameCopyPlan& plan) {
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
