// Rows mirrored by blocks against a pixel-by-pixel reference, for every pixel size and for row
// lengths around each block size, on every tier, with guard bytes that catch a store past the
// row end.
#include "TestImages.h"
#include "imaging/RowReversal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr uint8_t kGuard = 0xA5;
constexpr size_t kGuardBytes = 16;

class RowReversal : public CpuTierTest {};

TEST_P(RowReversal, EveryPixelSizeAndRowLengthMatchesThePixelByPixelReference) {
    for (uint32_t pixelBytes : {1u, 2u, 3u, 4u, 5u, 6u, 8u}) {
        for (size_t pixels = 0; pixels <= 110; ++pixels) {
            SCOPED_TRACE(testing::Message() << pixelBytes << "-byte pixels, " << pixels << " of them");
            const size_t rowBytes = pixels * pixelBytes;
            // Exactly the row, so a read past it shows under the address sanitizer.
            std::vector<uint8_t> source(rowBytes);
            for (size_t i = 0; i < rowBytes; ++i) source[i] = static_cast<uint8_t>(i * 13 + pixels);
            std::vector<uint8_t> expected(rowBytes + 2 * kGuardBytes, kGuard);
            for (size_t x = 0; x < pixels; ++x)
                for (uint32_t b = 0; b < pixelBytes; ++b)
                    expected[kGuardBytes + x * pixelBytes + b] = source[(pixels - 1 - x) * pixelBytes + b];
            std::vector<uint8_t> row(rowBytes + 2 * kGuardBytes, kGuard);
            MirrorPixelRow(row.data() + kGuardBytes, source.data(), pixels, pixelBytes);
            ASSERT_EQ(row, expected);
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Tiers, RowReversal, kAllCpuTiers, CpuTierTestName);

}  // namespace
