#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

#include "ReferenceKernels.h"
#include "TestImages.h"
#include "imaging/CpuDispatch.h"
#include "imaging/DibImage.h"
#include "imaging/FilterChain.h"
#include "imaging/Filters.h"

namespace {

class FilterTest : public CpuTierTest {};

// One member of a filter and the pixel layout it works on.
struct Member {
    FilterKind kind;
    uint16_t bitsPerPixel;
    bool wide;
    int channels;
};

const Member kMembers[] = {{FilterKind::Brightness, 8, false, 1},  {FilterKind::Brightness, 16, true, 1},
                           {FilterKind::Brightness, 24, false, 3}, {FilterKind::Brightness, 32, false, 3},
                           {FilterKind::Brightness, 48, true, 3},  {FilterKind::Brightness, 64, true, 3}};

using SampleReference = std::function<uint32_t(uint32_t maxValue, uint32_t sample)>;

// Runs a per-sample filter in place on a random image and checks every sample against the
// reference; the fourth sample of 32- and 64-bit pixels must be left alone.
void CheckPerSample(FilterKind kind, int32_t value, const SampleReference& reference) {
    std::mt19937 rng(static_cast<uint32_t>(value + 1000));
    for (Member m : kMembers) {
        m.kind = kind;
        const int32_t bytes = m.bitsPerPixel / 8;
        const int32_t step = bytes / (m.wide ? 2 : 1);
        const uint32_t maxValue = m.wide ? 65535 : 255;
        Plane image(37, 5, bytes, 4);
        image.FillRandom(rng, m.wide);
        const Plane original = image;
        FilterSetting setting{value};
        ASSERT_EQ(RunConverter(FilterConverterFor(kind, m.bitsPerPixel), image, image, &setting), 1);
        for (int32_t y = 0; y < image.height; ++y) {
            for (int32_t x = 0; x < image.width; ++x) {
                for (int32_t c = 0; c < step; ++c) {
                    const uint32_t before = original.Get(x, y, c, m.wide);
                    const uint32_t expected = c < m.channels ? reference(maxValue, before) : before;
                    ASSERT_EQ(image.Get(x, y, c, m.wide), expected)
                        << "bpp " << m.bitsPerPixel << " value " << value << " sample " << before;
                }
            }
        }
    }
}

TEST_P(FilterTest, BrightnessMatchesReferenceAcrossItsRange) {
    for (int32_t value : {-255, -254, -100, -1, 1, 17, 128, 254, 255}) {
        CheckPerSample(FilterKind::Brightness, value,
                       [value](uint32_t m, uint32_t s) { return ReferenceBrightness(value, m, s); });
    }
}

TEST_P(FilterTest, ContrastMatchesReferenceAcrossItsRange) {
    for (int32_t value : {-127, -64, -1, 1, 50, 126, 127}) {
        CheckPerSample(FilterKind::Contrast, value,
                       [value](uint32_t m, uint32_t s) { return ReferenceContrast(value, m, s); });
    }
}

TEST_P(FilterTest, GammaMatchesReferenceAcrossItsRange) {
    for (int32_t value : {1, 50, 99, 101, 150, 200}) {
        CheckPerSample(FilterKind::Gamma, value,
                       [value](uint32_t m, uint32_t s) { return ReferenceGamma(value, m, s); });
    }
}

TEST_P(FilterTest, ToneCurvesAtTheirLimits) {
    // Gamma 0: an infinite exponent keeps only the top value; gamma 200 is a square root.
    CheckPerSample(FilterKind::Gamma, 0, [](uint32_t m, uint32_t s) { return s == m ? m : 0u; });
    Plane one(1, 1, 1);
    one.bytes[0] = 64;
    FilterSetting gamma{200};
    RunConverter(GammaGray8, one, one, &gamma);
    EXPECT_EQ(one.bytes[0], 127);
    // Contrast 127 is a hard threshold; -127 squeezes 0..255 into 63..191.
    Plane ramp(256, 1, 1);
    for (int i = 0; i < 256; ++i) ramp.bytes[i] = static_cast<uint8_t>(i);
    Plane high = ramp, low = ramp;
    FilterSetting hard{127}, soft{-127};
    RunConverter(ContrastGray8, high, high, &hard);
    RunConverter(ContrastGray8, low, low, &soft);
    for (int i = 0; i < 256; ++i) {
        if (i < 127) {
            EXPECT_EQ(high.bytes[i], 0) << i;
        } else if (i > 128) {
            EXPECT_EQ(high.bytes[i], 255) << i;
        }
    }
    EXPECT_EQ(low.bytes[0], 63);
    EXPECT_EQ(low.bytes[255], 191);
}

TEST_P(FilterTest, SharpnessMatchesReferenceForEveryFormat) {
    std::mt19937 rng(9);
    for (const Member& m : kMembers) {
        for (const TestSize& size : kTestSizes) {
            for (int32_t strength : {1, 13, 30}) {
                const int32_t bytes = m.bitsPerPixel / 8;
                Plane copy(size.width, size.height, bytes, 4);
                copy.FillRandom(rng, m.wide);
                Plane output(size.width, size.height, bytes, 4);
                output.FillRandom(rng, m.wide);
                Plane expected = output;
                FilterSetting setting{strength};
                ASSERT_EQ(
                    RunConverter(FilterConverterFor(FilterKind::Sharpness, m.bitsPerPixel), output, copy, &setting), 1);
                ReferenceSharpen(copy, expected, m.wide, m.channels, strength);
                ASSERT_EQ(output.bytes, expected.bytes)
                    << "bpp " << m.bitsPerPixel << " size " << size.width << "x" << size.height << " k " << strength;
            }
        }
    }
}

TEST_P(FilterTest, SharpnessLeavesAFlatImageAlone) {
    Plane image(20, 12, 2);
    for (int32_t y = 0; y < 12; ++y)
        for (int32_t x = 0; x < 20; ++x) image.Set(x, y, 0, true, 31337);
    Plane output = image;
    FilterSetting setting{30};
    RunConverter(SharpnessGray16, output, image, &setting);
    EXPECT_EQ(output.bytes, image.bytes);
}

TEST(FilterParamsTest, FiltersWithoutTheirRecordChangeNothing) {
    Plane image(8, 8, 3);
    image.Fill(77);
    const auto before = image.bytes;
    for (FilterKind kind : {FilterKind::Brightness, FilterKind::Contrast, FilterKind::Gamma, FilterKind::Sharpness,
                            FilterKind::HueSaturation}) {
        EXPECT_EQ(RunConverter(FilterConverterFor(kind, 24), image, image, nullptr), 0);
    }
    EXPECT_EQ(image.bytes, before);
}

INSTANTIATE_TEST_SUITE_P(Tiers, FilterTest, kAllCpuTiers, CpuTierTestName);

}  // namespace

namespace {

// The chain runs hue/saturation, gamma, contrast, sharpness (from a copy) and brightness in
// that order, skipping each at its neutral value.
TEST(FilterChainTest, RunsTheFiltersInOrderAndSkipsNeutralOnes) {
    DibImage output, scratch, expected, copy;
    for (DibImage* image : {&output, &scratch, &expected, &copy}) InitImage(image);
    ASSERT_EQ(CreateImage(&output, 23, 11, 48), 1);
    ASSERT_EQ(CreateImage(&expected, 23, 11, 48), 1);
    ASSERT_EQ(CreateImage(&copy, 23, 11, 48), 1);
    std::mt19937 rng(17);
    for (int32_t i = 0; i < output.stride * output.height; ++i) output.bits[i] = static_cast<BYTE>(rng());
    std::memcpy(expected.bits, output.bits, static_cast<size_t>(output.stride) * output.height);

    EXPECT_TRUE(ApplyFilterChain(&output, &scratch, FilterSettings{}));
    EXPECT_EQ(std::memcmp(output.bits, expected.bits, static_cast<size_t>(output.stride) * output.height), 0);

    const FilterSettings settings{-40, 90, 130, 25, 7, -30};
    auto run = [&](ConverterFn converter, DibImage* source, auto record) {
        auto* slot = &record;
        TransferImage(&expected, converter, source, nullptr, 0, 0, &slot, nullptr);
    };
    run(HueSaturation48, &expected, HueSaturationParams{-40, 0, 90, 16});
    run(GammaColor16, &expected, FilterSetting{130});
    run(ContrastColor16, &expected, FilterSetting{25});
    std::memcpy(copy.bits, expected.bits, static_cast<size_t>(copy.stride) * copy.height);
    run(SharpnessColor16, &copy, FilterSetting{7});
    run(BrightnessColor16, &expected, FilterSetting{-30});
    EXPECT_TRUE(ApplyFilterChain(&output, &scratch, settings));
    EXPECT_EQ(std::memcmp(output.bits, expected.bits, static_cast<size_t>(output.stride) * output.height), 0);
    EXPECT_EQ(scratch.bitsPerPixel, 48);  // given the output's format for the sharpness copy
    for (DibImage* image : {&output, &scratch, &expected, &copy}) DestroyImage(image);
}

}  // namespace
