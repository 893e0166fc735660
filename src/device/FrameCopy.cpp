#include "device/FrameCopy.h"

#include "imaging/RowReversal.h"

#include <cstring>

namespace {

constexpr int32_t kLastRevisionDroppingARow = 7;

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
            MirrorPixelRow(to, from, layout.rowBytes / layout.bytesPerPixel, layout.bytesPerPixel);
        } else {
            std::memcpy(to, from, layout.rowBytes);
        }
    }
}
