// The 2 x 2 colour filter pattern of a Bayer frame, as row and column parities.
// Position (row parity, column parity): (0, 0) green 1, (0, 1) blue, (1, 0) red, (1, 1) green 2.
#pragma once

#include <cstdint>

struct BayerLayout {
    int32_t rowParity0;     // parity of the rectangle's first row
    int32_t columnParity0;  // parity of the rectangle's first column

    static BayerLayout ForPhase(int32_t phase) {
        const int32_t p = phase & 3;
        return BayerLayout{(p == 1 || p == 3) ? 1 : 0, (p == 2 || p == 3) ? 1 : 0};
    }
    int32_t RowParity(int32_t row) const { return rowParity0 ^ (row & 1); }
    int32_t ColumnParity(int32_t column) const { return columnParity0 ^ (column & 1); }
    bool IsRedRow(int32_t row) const { return RowParity(row) == 1; }
    bool IsRedColumn(int32_t column) const { return ColumnParity(column) == 0; }
};

// Sample ceiling of a 16-bit frame by its depth; depths other than 10, 12 and 14 use 65535.
inline int32_t SampleCeiling(int32_t sampleBits) {
    switch (sampleBits) {
        case 8:
            return 255;
        case 10:
            return 1023;
        case 12:
            return 4095;
        case 14:
            return 16383;
        default:
            return 65535;
    }
}
