#include <gtest/gtest.h>

#include <random>

#include "TestImages.h"
#include "imaging/Converters.h"

namespace {

// A Bayer frame of one value per colour (phase 0: rows "G B" / "R G").
Plane ColourFrame(int32_t width, int32_t height, bool wide, uint32_t green, uint32_t red, uint32_t blue) {
    Plane frame(width, height, wide ? 2 : 1);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const bool redRow = (y & 1) == 1, blueColumn = (x & 1) == 1;
            const uint32_t v = redRow ? (blueColumn ? green : red) : (blueColumn ? blue : green);
            frame.Set(x, y, 0, wide, v);
        }
    }
    return frame;
}

TEST(RegionMeanTest, MeansOverTheRectangleOnly) {
    Plane frame(6, 4, 1);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 6; ++x) frame.Set(x, y, 0, false, x < 3 ? 10 : 250);
    const RECT left{0, 0, 3, 4}, right{3, 1, 6, 3}, none{0, 2, 6, 2};
    auto mean = [&](ConverterFn f, const Plane& p, const RECT& r) {
        return f(nullptr, p.bytes.data(), &r, 0, 0, 1, static_cast<uint16_t>(p.bytesPerPixel), 0, p.stride, nullptr,
                 nullptr);
    };
    EXPECT_EQ(mean(RegionMean8, frame, left), 10);
    EXPECT_EQ(mean(RegionMean8, frame, right), 250);
    EXPECT_EQ(mean(RegionMean8, frame, none), 0);
    Plane wide(2, 1, 2);
    wide.Set(0, 0, 0, true, 0x3FF);  // (>> 2) & 0xFF = 255
    wide.Set(1, 0, 0, true, 0x402);  // = 0
    const RECT both{0, 0, 2, 1};
    EXPECT_EQ(mean(RegionMean10, wide, both), 127);
}

TEST(WhiteBalanceTest, GainsBringRedAndBlueToGreen) {
    for (bool wide : {false, true}) {
        const uint32_t scale = wide ? 200 : 1;
        Plane frame = ColourFrame(8, 6, wide, 120 * scale, 60 * scale, 200 * scale);
        WhiteBalanceResult result{0, 0, 0, 0};
        Plane unused(1, 1, 1);
        EXPECT_EQ(RunConverter(wide ? WhiteBalance16 : WhiteBalance8, unused, frame, &result), 1);
        // Truncated from the double expression, which can fall just below the exact ratio.
        const double total = 120.0 + 60.0 + 200.0, t = total / 120.0 / 3;
        EXPECT_EQ(result.gainGreen, 100);
        EXPECT_EQ(result.gainRed, static_cast<int32_t>(total / 60.0 / 3 * 100 / t));
        EXPECT_EQ(result.gainBlue, static_cast<int32_t>(total / 200.0 / 3 * 100 / t));
        EXPECT_NEAR(result.gainRed, 200, 1);
        EXPECT_NEAR(result.gainBlue, 60, 1);
    }
}

TEST(WhiteBalanceTest, EmptyOrBlackClassesKeepThePreviousGains) {
    Plane unused(1, 1, 1);
    // One row only: no red samples at all, and the blue ones are black.
    Plane frame = ColourFrame(6, 1, false, 100, 0, 0);
    WhiteBalanceResult result{321, 0, 123, 0};
    RunConverter(WhiteBalance8, unused, frame, &result);
    EXPECT_EQ(result.gainRed, 123);
    EXPECT_EQ(result.gainBlue, 321);
    // Black greens leave every gain.
    Plane dark = ColourFrame(6, 4, false, 0, 50, 50);
    RunConverter(WhiteBalance8, unused, dark, &result);
    EXPECT_EQ(result.gainRed, 123);
    EXPECT_EQ(result.gainBlue, 321);
}

TEST(GrayAutoGainsTest, GainsMatchEveryPositionToGreenOne) {
    // Phase 0 positions: (0, 0) G1, (0, 1) blue site -> gainR, (1, 0) red site -> gainB, (1, 1) G2.
    Plane frame = ColourFrame(8, 8, false, 100, 50, 200);
    frame.Set(3, 3, 0, false, 255);  // saturated and black samples are skipped
    frame.Set(2, 2, 0, false, 0);
    GrayParams params{0, 1, 1, 1, 1, 7, 7, 7, 7, 8};
    Plane unused(1, 1, 1);
    ASSERT_EQ(RunConverter(GrayAutoGains, unused, frame, &params), 1);
    EXPECT_EQ(params.gainG1, 128);
    EXPECT_EQ(params.gainG2, 128);
    EXPECT_EQ(params.gainR, 64);   // 100 / 200 x 128
    EXPECT_EQ(params.gainB, 256);  // 100 / 50 x 128
    EXPECT_EQ(params.offsetR, 7);
}

TEST(GrayAutoGainsTest, SixteenBitFramesUseWholeSamplesAndEmptyPositionsKeepTheirGain) {
    Plane frame = ColourFrame(8, 1, true, 30000, 0, 15000);  // one row: no (1, x) positions
    GrayParams params{0, 5, 6, 7, 8, 0, 0, 0, 0, 13};
    Plane unused(1, 1, 2);
    ASSERT_EQ(RunConverter(GrayAutoGains, unused, frame, &params), 1);
    EXPECT_EQ(params.gainG1, 128);
    EXPECT_EQ(params.gainR, 256);
    EXPECT_EQ(params.gainG2, 7);
    EXPECT_EQ(params.gainB, 8);
}

}  // namespace
