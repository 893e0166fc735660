// The copy from a ring slot into a caller's buffer: the one place where rows are reversed and
// pixels mirrored, so a frame crosses memory only once on its way out of the ring.
#pragma once

#include <cstddef>
#include <cstdint>

struct FrameLayout {
    size_t rowBytes;
    size_t rows;
    uint32_t bytesPerPixel;  // all samples of one pixel: 1 or 2, three times that on converter boards
};

enum class RowOrder {
    Same,
    Reversed,
    // Reversed without the last source row, whose place the row above it takes (output rows 0
    // and 1 are both source row h - 2): how early boards of one model deliver their frames.
    ReversedDroppingLast,
};

struct FrameCopyPlan {
    bool mirror;
    RowOrder order;
};

// Readout orientation codes of a sensor: 1 normal, 2 mirrored, 3 upside down, 4 both.
// Rows keep the order they were sent in when keepOrder is 1 for a head that sends the top row
// first (codes 1 and 2) or 0 for one that sends it last (3 and 4); any other keepOrder reverses them.
FrameCopyPlan PlanForOrientation(int32_t orientation, int32_t keepOrder);
// The one model that turns its frames upside down itself, by sensor revision.
FrameCopyPlan PlanForRevision(int32_t revision);

void CopyFrameRows(uint8_t* destination, const uint8_t* source, const FrameLayout& layout, const FrameCopyPlan& plan);
