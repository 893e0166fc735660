#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "TestImages.h"
#include "imaging/Converters.h"
#include "imaging/CpuDispatch.h"

namespace {

class GrayGainOffsetTest : public CpuTierTest {};

TEST_P(GrayGainOffsetTest, EachBayerPositionTakesItsGainAndOffset) {
    std::mt19937 rng(12);
    for (bool wide : {false, true}) {
        for (int32_t sampleBits : {8, 10, 12, 13, 14}) {
            if (wide == (sampleBits == 8)) continue;
            const int32_t ceiling = sampleBits == 8 ? 255 : sampleBits == 13 ? 65535 : (1 << sampleBits) - 1;
            for (int32_t phase = 0; phase < 4; ++phase) {
                GrayParams params{phase, 40, 128, 255, 0, -255, 17, 255, -3, sampleBits};
                Plane source(13, 7, wide ? 2 : 1, 4), dest(13, 7, wide ? 2 : 1, 8);
                source.FillRandom(rng, wide);
                ASSERT_EQ(RunConverter(wide ? GrayGainOffset16 : GrayGainOffset8, dest, source, &params), 1);
                const int32_t rowParity0 = phase == 1 || phase == 3, columnParity0 = phase == 2 || phase == 3;
                for (int32_t y = 0; y < 7; ++y) {
                    for (int32_t x = 0; x < 13; ++x) {
                        const int32_t position = ((rowParity0 ^ (y & 1)) << 1) | (columnParity0 ^ (x & 1));
                        const int32_t gain[4] = {params.gainG1, params.gainR, params.gainB, params.gainG2};
                        const int32_t offset[4] = {params.offsetG1, params.offsetR, params.offsetB, params.offsetG2};
                        const int32_t s = static_cast<int32_t>(source.Get(x, y, 0, wide));
                        const int32_t expected = std::clamp(offset[position] + gain[position] * s / 128, 0, ceiling);
                        ASSERT_EQ(dest.Get(x, y, 0, wide), static_cast<uint32_t>(expected))
                            << "phase " << phase << " bits " << sampleBits << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST_P(GrayGainOffsetTest, UnityLeavesTheFrameAndFullGainSaturatesIt) {
    std::mt19937 rng(13);
    Plane frame(11, 5, 1);
    frame.FillRandom(rng, false);
    Plane unity = frame;
    GrayParams neutral{0, 128, 128, 128, 128, 0, 0, 0, 0, 8};
    RunConverter(GrayGainOffset8, unity, unity, &neutral);
    EXPECT_EQ(unity.bytes, frame.bytes);
    GrayParams full{0, 255, 255, 255, 255, 255, 255, 255, 255, 8};
    RunConverter(GrayGainOffset8, unity, unity, &full);
    for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 11; ++x) EXPECT_EQ(unity.Get(x, y, 0, false), 255u);
}

TEST_P(GrayGainOffsetTest, MeasuredGainsFarAboveTheSettableRangeDoNotOverflow) {
    Plane frame(4, 2, 2);
    for (int32_t x = 0; x < 4; ++x) frame.Set(x, 0, 0, true, 60000);
    GrayParams huge{0, 8000000, 8000000, 8000000, 8000000, 0, 0, 0, 0, 13};
    RunConverter(GrayGainOffset16, frame, frame, &huge);
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(frame.Get(x, 0, 0, true), 65535u);
}

INSTANTIATE_TEST_SUITE_P(Tiers, GrayGainOffsetTest, kAllCpuTiers, CpuTierTestName);

}  // namespace
