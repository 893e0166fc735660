#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "ReferenceKernels.h"
#include "TestImages.h"
#include "imaging/Converters.h"
#include "imaging/CpuDispatch.h"

namespace {

struct DemosaicCase {
    bool wide;
    int32_t destBytes;
};

// Every kernel is checked on every tier: baseline and, where the CPU has them, SSE4 and AVX2.
class DemosaicTest : public CpuTierTest {};

void RunBoth(const Plane& raw, Plane& dst, bool wide, BayerParams params) {
    ASSERT_EQ(RunConverter(wide ? Demosaic16 : Demosaic8, dst, raw, &params), 1);
    ASSERT_EQ(RunConverter(wide ? Demosaic16Border : Demosaic8Border, dst, raw, &params), 1);
}

TEST_P(DemosaicTest, MatchesReferenceForEveryPhaseSizeAndPixelFormat) {
    std::mt19937 rng(7);
    const DemosaicCase cases[] = {{false, 3}, {false, 4}, {true, 6}, {true, 8}};
    for (const DemosaicCase& c : cases) {
        for (const TestSize& size : kTestSizes) {
            for (int32_t phase = 0; phase < 4; ++phase) {
                Plane raw(size.width, size.height, c.wide ? 2 : 1, 4);
                raw.FillRandom(rng, c.wide);
                const BayerParams params{phase, static_cast<int32_t>(rng() % 401), 100,
                                         static_cast<int32_t>(rng() % 401)};
                Plane fast(size.width, size.height, c.destBytes, 8), expected = fast;
                fast.Fill(0xA5);
                expected.Fill(0xA5);
                RunBoth(raw, fast, c.wide, params);
                ReferenceDemosaic(raw, expected, c.wide, phase, params.gainRed, params.gainBlue);
                ASSERT_EQ(fast.bytes, expected.bytes) << "wide " << c.wide << " bytes " << c.destBytes << " size "
                                                      << size.width << "x" << size.height << " phase " << phase;
            }
        }
    }
}

// Packed rows are written by whole vectors, the last one pulled back over pixels already
// written, and by chunks of columns: widths around every such edge, for both sample sizes.
TEST_P(DemosaicTest, MatchesReferenceAtVectorAndChunkEdges) {
    std::mt19937 rng(17);
    std::vector<int32_t> widths;
    for (int32_t w = 10; w <= 40; ++w) widths.push_back(w);
    for (int32_t w : {513, 514, 515, 516, 517, 518, 519, 520, 521, 1029, 1030, 1031, 1032}) widths.push_back(w);
    for (const DemosaicCase& c :
         {DemosaicCase{false, 3}, DemosaicCase{false, 4}, DemosaicCase{true, 6}, DemosaicCase{true, 8}}) {
        for (int32_t width : widths) {
            const int32_t phase = width & 3;
            Plane raw(width, 6, c.wide ? 2 : 1, 4);
            raw.FillRandom(rng, c.wide);
            const BayerParams params{phase, static_cast<int32_t>(rng() % 401), 100, static_cast<int32_t>(rng() % 401)};
            Plane fast(width, 6, c.destBytes, 4);
            fast.FillRandom(rng, false);  // a fourth channel must keep these bytes
            Plane expected = fast;
            RunBoth(raw, fast, c.wide, params);
            ReferenceDemosaic(raw, expected, c.wide, phase, params.gainRed, params.gainBlue);
            ASSERT_EQ(fast.bytes, expected.bytes) << "bytes " << c.destBytes << " width " << width;
        }
    }
}

TEST_P(DemosaicTest, FullScaleSamplesWithMaximumGainsSaturateWithoutOverflow) {
    for (bool wide : {false, true}) {
        Plane raw(12, 10, wide ? 2 : 1);
        std::mt19937 rng(3);
        raw.FillRandom(rng, wide);
        for (int32_t i = 0; i < 12; ++i) raw.Set(i, 4, 0, wide, wide ? 65535 : 255);
        Plane fast(12, 10, wide ? 6 : 3), expected = fast;
        RunBoth(raw, fast, wide, BayerParams{1, 400, 100, 400});
        ReferenceDemosaic(raw, expected, wide, 1, 400, 400);
        EXPECT_EQ(fast.bytes, expected.bytes);
    }
}

// Full-scale frames on rows wide enough for the vector path: the largest gains saturate
// red and blue at the sample maximum instead of wrapping, and gains of 0 give 0.
TEST_P(DemosaicTest, GainExtremesOnFullScaleFramesGiveTheRangeLimits) {
    for (const DemosaicCase& c :
         {DemosaicCase{false, 3}, DemosaicCase{false, 4}, DemosaicCase{true, 6}, DemosaicCase{true, 8}}) {
        const uint32_t top = c.wide ? 65535 : 255;
        Plane raw(41, 8, c.wide ? 2 : 1);
        for (int32_t y = 0; y < 8; ++y)
            for (int32_t x = 0; x < 41; ++x) raw.Set(x, y, 0, c.wide, top);
        for (int32_t gain : {0, 400}) {
            Plane out(41, 8, c.destBytes);
            RunBoth(raw, out, c.wide, BayerParams{3, gain, 100, gain});
            for (int32_t y = 0; y < 8; ++y) {
                for (int32_t x = 0; x < 41; ++x) {
                    ASSERT_EQ(out.Get(x, y, 0, c.wide), gain ? top : 0u) << c.destBytes << " " << x << "," << y;
                    ASSERT_EQ(out.Get(x, y, 1, c.wide), top);
                    ASSERT_EQ(out.Get(x, y, 2, c.wide), gain ? top : 0u);
                }
            }
        }
    }
}

TEST_P(DemosaicTest, FlatFrameAtUnityGainsGivesTheSampleInEveryChannel) {
    for (bool wide : {false, true}) {
        const uint32_t level = wide ? 40000 : 173;
        Plane raw(9, 8, wide ? 2 : 1);
        for (int32_t y = 0; y < 8; ++y)
            for (int32_t x = 0; x < 9; ++x) raw.Set(x, y, 0, wide, level);
        Plane out(9, 8, wide ? 6 : 3);
        RunBoth(raw, out, wide, BayerParams{2, 100, 100, 100});
        for (int32_t y = 0; y < 8; ++y)
            for (int32_t x = 0; x < 9; ++x)
                for (int c = 0; c < 3; ++c) ASSERT_EQ(out.Get(x, y, c, wide), level);
    }
}

TEST_P(DemosaicTest, InteriorAndBorderWriteComplementaryPixels) {
    Plane raw(10, 9, 1);
    std::mt19937 rng(11);
    raw.FillRandom(rng, false);
    BayerParams params{0, 100, 100, 100};
    Plane interior(10, 9, 3), border(10, 9, 3);
    interior.Fill(0xEE);
    border.Fill(0xEE);
    RunConverter(Demosaic8, interior, raw, &params);
    RunConverter(Demosaic8Border, border, raw, &params);
    for (int32_t y = 0; y < 9; ++y) {
        for (int32_t x = 0; x < 10; ++x) {
            const bool inside = y >= 2 && y <= 6 && x >= 2 && x <= 7;
            EXPECT_EQ(interior.Get(x, y, 0, false) == 0xEE && interior.Get(x, y, 1, false) == 0xEE, !inside)
                << x << "," << y;
            EXPECT_EQ(border.Get(x, y, 0, false) == 0xEE && border.Get(x, y, 1, false) == 0xEE, inside)
                << x << "," << y;
        }
    }
    // Four pixels or fewer in either direction leave no interior at all.
    Plane narrow(4, 9, 1), untouched(4, 9, 3);
    untouched.Fill(0xEE);
    const auto before = untouched.bytes;
    RunConverter(Demosaic8, untouched, narrow, &params);
    EXPECT_EQ(untouched.bytes, before);
}

INSTANTIATE_TEST_SUITE_P(Tiers, DemosaicTest, kAllCpuTiers, CpuTierTestName);

}  // namespace
