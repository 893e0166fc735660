// Row order and mirroring of the copy out of the ring, against a plain pixel-by-pixel reference.
#include "device/FrameCopy.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr size_t kWidth = 5;
constexpr size_t kRows = 4;

std::vector<uint8_t> NumberedFrame(uint32_t bytesPerPixel) {
    std::vector<uint8_t> frame(kWidth * kRows * bytesPerPixel);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 7 + 1);
    return frame;
}

// Pixel (x, y) of the output is pixel (sourceX, sourceY) of the source.
std::vector<uint8_t> Reference(const std::vector<uint8_t>& source, uint32_t bytesPerPixel, bool mirror, bool reverse) {
    std::vector<uint8_t> out(source.size());
    for (size_t y = 0; y < kRows; ++y) {
        for (size_t x = 0; x < kWidth; ++x) {
            const size_t sourceY = reverse ? kRows - 1 - y : y;
            const size_t sourceX = mirror ? kWidth - 1 - x : x;
            for (uint32_t b = 0; b < bytesPerPixel; ++b)
                out[(y * kWidth + x) * bytesPerPixel + b] = source[(sourceY * kWidth + sourceX) * bytesPerPixel + b];
        }
    }
    return out;
}

std::vector<uint8_t> Copy(const std::vector<uint8_t>& source, uint32_t bytesPerPixel, FrameCopyPlan plan) {
    std::vector<uint8_t> out(source.size(), 0xEE);
    const FrameLayout layout{kWidth * bytesPerPixel, kRows, bytesPerPixel};
    CopyFrameRows(out.data(), source.data(), layout, plan);
    return out;
}

struct OrientationCase {
    int32_t orientation;
    int32_t keepOrder;
    bool mirror;
    bool reverse;
};

TEST(FrameCopy, EveryOrientationAndRowOrderMatchesTheReference) {
    const OrientationCase cases[] = {
        {1, 1, false, false},
        {1, 0, false, true},
        {2, 1, true, false},
        {2, 0, true, true},
        {3, 1, false, true},
        {3, 0, false, false},
        {4, 1, true, true},
        {4, 0, true, false},
        // A keepOrder that is neither 0 nor 1 matches no head: rows always come reversed.
        {1, 2, false, true},
        {3, 2, false, true},
        {4, -1, true, true},
    };
    // One or two bytes per sample; converter boards send three samples per pixel.
    for (uint32_t bytesPerPixel : {1u, 2u, 3u, 6u}) {
        const auto source = NumberedFrame(bytesPerPixel);
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "orientation " << c.orientation << " keepOrder " << c.keepOrder
                                            << " bytes " << bytesPerPixel);
            const FrameCopyPlan plan = PlanForOrientation(c.orientation, c.keepOrder);
            EXPECT_EQ(Copy(source, bytesPerPixel, plan), Reference(source, bytesPerPixel, c.mirror, c.reverse));
        }
    }
}

TEST(FrameCopy, ModelRevisionsDecideWhetherTheLastRowIsDropped) {
    const auto source = NumberedFrame(2);
    const size_t rowBytes = kWidth * 2;
    EXPECT_EQ(Copy(source, 2, PlanForRevision(8)), Reference(source, 2, false, true));

    const auto early = Copy(source, 2, PlanForRevision(7));
    auto row = [&](const std::vector<uint8_t>& frame, size_t index) {
        return std::vector<uint8_t>(frame.begin() + static_cast<long>(index * rowBytes),
                                    frame.begin() + static_cast<long>((index + 1) * rowBytes));
    };
    EXPECT_EQ(row(early, 0), row(source, kRows - 2));
    for (size_t i = 1; i < kRows; ++i) EXPECT_EQ(row(early, i), row(source, kRows - 1 - i)) << "row " << i;
}

}  // namespace
