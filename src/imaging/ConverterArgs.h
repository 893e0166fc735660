// The arguments of one converter call gathered in a record, with the row addressing that
// every converter shares.
#pragma once

#include <cstdint>

#include "imaging/Transfer.h"

struct ConverterArgs {
    BYTE* destination;
    const BYTE* source;
    RECT rect;  // source rectangle in storage rows
    int32_t destX;
    int32_t destY;
    uint16_t destBytesPerPixel;
    uint16_t sourceBytesPerPixel;
    int32_t destStride;
    int32_t sourceStride;
    void* param1;
    void* param2;

    int32_t Width() const { return rect.right - rect.left; }
    int32_t Height() const { return rect.bottom - rect.top; }
    bool Empty() const { return !destination || !source || Width() <= 0 || Height() <= 0; }

    // Source row k of the rectangle, counted in storage order or from its last row.
    const BYTE* SourceRow(int32_t k, bool reversed = false) const {
        const int32_t row = reversed ? rect.bottom - 1 - k : rect.top + k;
        return source + static_cast<intptr_t>(row) * sourceStride +
               static_cast<intptr_t>(rect.left) * sourceBytesPerPixel;
    }
    // Source row at storage row `row` (absolute), first pixel of the rectangle.
    const BYTE* SourceRowAt(int32_t row) const {
        return source + static_cast<intptr_t>(row) * sourceStride +
               static_cast<intptr_t>(rect.left) * sourceBytesPerPixel;
    }
    BYTE* DestRow(int32_t k) const {
        return destination + static_cast<intptr_t>(destY + k) * destStride +
               static_cast<intptr_t>(destX) * destBytesPerPixel;
    }

    // The parameter record behind param1's slot, or null when either is missing.
    template <typename Record>
    Record* Params() const {
        if (!param1) return nullptr;
        return *static_cast<Record* const*>(param1);
    }
};

#define KELVRA_CONVERTER_ARGS                                                                              \
    ConverterArgs {                                                                                        \
        destination, source, sourceRect ? *sourceRect : RECT{0, 0, 0, 0}, destX, destY, destBytesPerPixel, \
            sourceBytesPerPixel, destStride, sourceStride, param1, param2                                  \
    }

// Runs rowFn(destRow, sourceRow, width, k) for each row of the rectangle.
template <typename RowFn>
inline void ForEachRow(const ConverterArgs& args, bool reversed, RowFn&& rowFn) {
    const int32_t width = args.Width();
    for (int32_t k = 0; k < args.Height(); ++k) rowFn(args.DestRow(k), args.SourceRow(k, reversed), width, k);
}

// Rows of 16-bit images are 2-byte aligned (strides are multiples of 4), so kernels
// address their samples directly.
inline const uint16_t* Samples16(const BYTE* row) { return reinterpret_cast<const uint16_t*>(row); }
inline uint16_t* Samples16(BYTE* row) { return reinterpret_cast<uint16_t*>(row); }
