// The frame pipeline on images of known content, with no camera: each result is compared with
// the imaging converters run directly on a copy of the same frame.
#include "AllocationCounter.h"
#include "imaging/Converters.h"
#include "imaging/DibImage.h"
#include "imaging/FilterChain.h"
#include "session/CKelvra.h"
#include "session/FrameCorrections.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <vector>

namespace {

OwnedImage MakeImage(int32_t width, int32_t height, uint16_t bitsPerPixel) {
    OwnedImage image(new DibImage);
    InitImage(image.get());
    EXPECT_TRUE(CreateImage(image.get(), width, height, bitsPerPixel));
    return image;
}

void Create(OwnedImage& slot, int32_t width, int32_t height, uint16_t bitsPerPixel) {
    ASSERT_TRUE(CreateImage(slot.get(), width, height, bitsPerPixel));
}

BYTE* Row(const DibImage& image, int32_t row) { return image.bits + static_cast<size_t>(row) * image.stride; }

uint32_t Sample(const DibImage& image, int32_t x, int32_t row) {
    if (image.bitsPerPixel == 16) return reinterpret_cast<const uint16_t*>(Row(image, row))[x];
    return Row(image, row)[x];
}

void SetSample(DibImage& image, int32_t x, int32_t row, uint32_t value) {
    if (image.bitsPerPixel == 16) {
        reinterpret_cast<uint16_t*>(Row(image, row))[x] = static_cast<uint16_t>(value);
    } else {
        Row(image, row)[x] = static_cast<BYTE>(value);
    }
}

// Random samples up to mask, the same for a seed.
void FillRandom(DibImage& image, uint32_t seed, uint32_t mask) {
    std::mt19937 random(seed);
    for (int32_t y = 0; y < image.height; ++y)
        for (int32_t x = 0; x < image.width; ++x) SetSample(image, x, y, random() & mask);
}

// The pixel bytes of each row, without the padding the converters never write.
std::vector<BYTE> Pixels(const DibImage& image) {
    const size_t rowBytes = static_cast<size_t>(image.width) * image.bitsPerPixel / 8;
    std::vector<BYTE> bytes;
    for (int32_t y = 0; y < image.height; ++y) bytes.insert(bytes.end(), Row(image, y), Row(image, y) + rowBytes);
    return bytes;
}

OwnedImage CopyOf(const DibImage& image) {
    OwnedImage copy = MakeImage(image.width, image.height, image.bitsPerPixel);
    std::memcpy(copy->bits, image.bits, static_cast<size_t>(image.stride) * image.height);
    return copy;
}

template <typename Record>
void RunDirect(DibImage& destination, ConverterFn converter, DibImage& source, Record record) {
    Record* slot = &record;
    TransferImage(&destination, converter, &source, nullptr, 0, 0, &slot, nullptr);
}

void DemosaicDirect(DibImage& output, DibImage& raw, BayerParams params) {
    const bool wide = raw.bitsPerPixel == 16;
    RunDirect(output, wide ? Demosaic16 : Demosaic8, raw, params);
    RunDirect(output, wide ? Demosaic16Border : Demosaic8Border, raw, params);
}

class FramePipelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.images.MakeAll());
        // The neutral settings a session loads when the registry holds none.
        ImageFilters& filters = session.filters;
        filters.gamma = 100;
        filters.bayerGainRed = filters.bayerGainGreen = filters.bayerGainBlue = 100;
        GraySettings& gray = session.gray;
        gray.grayGainR = gray.grayGainG1 = gray.grayGainG2 = gray.grayGainB = 128;
        gray.grayOffsetR = gray.grayOffsetG1 = gray.grayOffsetG2 = gray.grayOffsetB = 128;
    }

    // The raw image of colourMode at width x height with random content, prepared for the pipeline.
    DibImage& PrepareRaw(int32_t colourMode, int32_t width, int32_t height, uint32_t seed) {
        session.format.colourMode = colourMode;
        const bool wide = colourMode == 1 || colourMode == 4 || colourMode == 5;
        OwnedImage& raw = wide ? session.images.raw16 : session.images.raw8;
        EXPECT_TRUE(CreateImage(raw.get(), width, height, wide ? 16 : 8));
        FillRandom(*raw, seed, wide ? 0xFFFF : 0xFF);
        EXPECT_TRUE(session.pipeline.Prepare(*raw));
        return *raw;
    }

    CKelvra session;
};

TEST_F(FramePipelineTest, GreyGainAndOffsetEqualTheConverterAt8And16Bits) {
    for (const int32_t colourMode : {0, 1}) {
        SCOPED_TRACE(colourMode);
        DibImage& raw = PrepareRaw(colourMode, 33, 17, 7);
        OwnedImage expected = CopyOf(raw);
        GraySettings& gray = session.gray;
        gray.grayMode = 1;
        gray.grayGainR = 200, gray.grayGainG1 = 100, gray.grayGainG2 = 150, gray.grayGainB = 60;
        gray.grayOffsetR = -20, gray.grayOffsetG1 = 10, gray.grayOffsetG2 = 0, gray.grayOffsetB = 5;
        session.filters.bayerMode = 1;
        session.pipeline.Process(session);
        RunDirect(*expected, colourMode == 0 ? GrayGainOffset8 : GrayGainOffset16, *expected,
                  GrayParams{1, 200, 100, 150, 60, -20, 10, 0, 5, colourMode == 0 ? 8 : 13});
        EXPECT_EQ(Pixels(raw), Pixels(*expected));
    }
}

TEST_F(FramePipelineTest, GreyAutoGainsAreMeasuredOnceAndThenApplied) {
    DibImage& raw = PrepareRaw(0, 40, 30, 11);
    // Distinct levels per Bayer position, so the measured gains differ from unity.
    for (int32_t y = 0; y < raw.height; ++y)
        for (int32_t x = 0; x < raw.width; ++x) SetSample(raw, x, y, 40 + 30 * (y & 1) + 60 * (x & 1));
    OwnedImage expected = CopyOf(raw);
    session.gray.grayMode = 1;
    session.gray.grayAutoFrames = 1;
    session.filters.bayerMode = 2;

    GrayParams measured{2, 128, 128, 128, 128, 128, 128, 128, 128, 8};
    GrayParams* slot = &measured;
    TransferImage(expected.get(), GrayAutoGains, expected.get(), nullptr, 0, 0, &slot, nullptr);
    ASSERT_NE(measured.gainR, 128);

    session.pipeline.Process(session);
    EXPECT_EQ(session.gray.grayAutoFrames, 0);
    EXPECT_EQ(session.gray.grayGainR, measured.gainR);
    EXPECT_EQ(session.gray.grayGainG1, measured.gainG1);
    EXPECT_EQ(session.gray.grayGainG2, measured.gainG2);
    EXPECT_EQ(session.gray.grayGainB, measured.gainB);
    RunDirect(*expected, GrayGainOffset8, *expected, measured);
    EXPECT_EQ(Pixels(raw), Pixels(*expected));

    // The next frame keeps the gains whatever it shows.
    FillRandom(raw, 12, 0xFF);
    session.pipeline.Process(session);
    EXPECT_EQ(session.gray.grayGainR, measured.gainR);
}

TEST_F(FramePipelineTest, DefaultGreySettingsLeaveTheFrameAsItCame) {
    DibImage& raw = PrepareRaw(1, 21, 9, 3);
    const std::vector<BYTE> before = Pixels(raw);
    session.gray.grayMode = 1;
    session.pipeline.Process(session);
    EXPECT_EQ(Pixels(raw), before);
}

TEST_F(FramePipelineTest, GreyFromColourDemosaicsThenMixesTheChannels) {
    DibImage& raw = PrepareRaw(0, 24, 18, 5);
    Create(session.images.rgb24, 24, 18, 24);
    OwnedImage expectedRaw = CopyOf(raw);
    OwnedImage expectedColour = MakeImage(24, 18, 24);
    session.gray.grayMode = 2;
    session.filters.bayerMode = 3;
    session.filters.bayerGainRed = 130;
    session.filters.bayerGainBlue = 70;
    session.pipeline.Process(session);

    DemosaicDirect(*expectedColour, *expectedRaw, BayerParams{3, 130, 100, 70});
    TransferImage(expectedRaw.get(), GrayFromColor, expectedColour.get(), nullptr, 0, 0, nullptr, nullptr);
    EXPECT_EQ(Pixels(*session.images.rgb24), Pixels(*expectedColour));
    EXPECT_EQ(Pixels(raw), Pixels(*expectedRaw));
}

struct MirrorCase {
    int32_t colourMode;
    bool horizontal;
    bool vertical;
};

class FramePipelineMirrorTest : public FramePipelineTest, public ::testing::WithParamInterface<MirrorCase> {};

TEST_P(FramePipelineMirrorTest, WithoutACameraTheRawFrameIsTurnedInSoftware) {
    const MirrorCase mirror = GetParam();
    // An odd width leaves a middle column, a tail after whole blocks of pixels, and padding at
    // the end of every row.
    DibImage& raw = PrepareRaw(mirror.colourMode, 21, 5, 21);
    OwnedImage original = CopyOf(raw);
    session.camera.mirrorH = mirror.horizontal;
    session.camera.mirrorV = mirror.vertical;
    session.pipeline.Process(session);
    for (int32_t y = 0; y < raw.height; ++y) {
        for (int32_t x = 0; x < raw.width; ++x) {
            const int32_t fromX = mirror.horizontal ? raw.width - 1 - x : x;
            const int32_t fromY = mirror.vertical ? raw.height - 1 - y : y;
            ASSERT_EQ(Sample(raw, x, y), Sample(*original, fromX, fromY)) << "pixel " << x << ", " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EightAndSixteenBits, FramePipelineMirrorTest,
                         ::testing::Values(MirrorCase{0, true, false}, MirrorCase{0, false, true},
                                           MirrorCase{0, true, true}, MirrorCase{1, true, false},
                                           MirrorCase{1, false, true}, MirrorCase{1, true, true}));

TEST_F(FramePipelineTest, ColourModesEqualTheDemosaicOfTheirRawFrame) {
    for (const int32_t colourMode : {2, 3, 4, 5}) {
        SCOPED_TRACE(colourMode);
        DibImage& raw = PrepareRaw(colourMode, 30, 22, 40 + colourMode);
        OwnedImage& output = colourMode == 2   ? session.images.rgb24
                             : colourMode == 3 ? session.images.rgb32
                             : colourMode == 4 ? session.images.rgb48
                                               : session.images.rgb64;
        const uint16_t bits = colourMode == 2 ? 24 : colourMode == 3 ? 32 : colourMode == 4 ? 48 : 64;
        Create(output, 30, 22, bits);
        OwnedImage expected = MakeImage(30, 22, bits);
        session.filters.bayerMode = colourMode % 4;
        session.filters.bayerGainRed = 150;
        session.filters.bayerGainBlue = 80;
        DemosaicDirect(*expected, raw, BayerParams{colourMode % 4, 150, 100, 80});
        const std::vector<BYTE> expectedPixels = Pixels(*expected);
        ASSERT_NE(std::count(expectedPixels.begin(), expectedPixels.end(), 0), std::ssize(expectedPixels));
        session.pipeline.Process(session);
        EXPECT_EQ(Pixels(*output), Pixels(*expected));
    }
}

TEST_F(FramePipelineTest, TheMirrorTurnsTheRawFrameBeforeItIsDemosaiced) {
    DibImage& raw = PrepareRaw(4, 16, 12, 8);
    Create(session.images.rgb48, 16, 12, 48);
    OwnedImage turned = CopyOf(raw);
    for (int32_t y = 0; y < raw.height; ++y)
        for (int32_t x = 0; x < raw.width; ++x)
            SetSample(*turned, x, y, Sample(raw, raw.width - 1 - x, raw.height - 1 - y));
    OwnedImage expected = MakeImage(16, 12, 48);
    DemosaicDirect(*expected, *turned, BayerParams{0, 100, 100, 100});
    session.camera.mirrorH = 1;
    session.camera.mirrorV = 1;
    session.pipeline.Process(session);
    EXPECT_EQ(Pixels(*session.images.rgb48), Pixels(*expected));
}

// What the white-balance converter measures on raw, each gain limited to 400 as the session
// stores it.
WhiteBalanceResult MeasuredBalance(DibImage& raw) {
    WhiteBalanceResult result{100, 100, 100, 0};
    WhiteBalanceResult* slot = &result;
    TransferImage(&raw, raw.bitsPerPixel == 16 ? WhiteBalance16 : WhiteBalance8, &raw, nullptr, 0, 0, &slot, nullptr);
    result.gainRed = std::min(result.gainRed, 400);
    result.gainBlue = std::min(result.gainBlue, 400);
    return result;
}

// A Bayer frame of phase 0 (G B / R G) with the given level per colour.
void FillBayer(DibImage& raw, uint32_t green, uint32_t blue, uint32_t red) {
    for (int32_t y = 0; y < raw.height; ++y) {
        for (int32_t x = 0; x < raw.width; ++x) {
            const bool rowOne = y & 1, columnOne = x & 1;
            SetSample(raw, x, y, rowOne == columnOne ? green : (columnOne ? blue : red));
        }
    }
}

TEST_F(FramePipelineTest, OneShotWhiteBalanceMeasuresOnceAndClearsItsFlags) {
    DibImage& raw = PrepareRaw(2, 20, 16, 1);
    Create(session.images.rgb24, 20, 16, 24);
    FillBayer(raw, 120, 60, 80);
    ImageFilters& filters = session.filters;
    const WhiteBalanceResult measured = MeasuredBalance(raw);
    filters.bayerGainAuto = filters.whiteBalanceOnce1 = filters.whiteBalanceOnce2 = 1;
    session.pipeline.Process(session);
    EXPECT_EQ(filters.bayerGainRed, measured.gainRed);
    EXPECT_EQ(filters.bayerGainBlue, measured.gainBlue);
    EXPECT_EQ(filters.bayerGainGreen, 100);
    EXPECT_EQ(filters.bayerGainAuto, 0);
    EXPECT_EQ(filters.whiteBalanceOnce1, 0);
    EXPECT_EQ(filters.whiteBalanceOnce2, 0);
    // The frame that was measured is converted with its own gains.
    OwnedImage expected = MakeImage(20, 16, 24);
    DemosaicDirect(*expected, raw, BayerParams{0, measured.gainRed, 100, measured.gainBlue});
    EXPECT_EQ(Pixels(*session.images.rgb24), Pixels(*expected));

    FillBayer(raw, 120, 120, 30);
    session.pipeline.Process(session);
    EXPECT_EQ(filters.bayerGainRed, measured.gainRed);
    EXPECT_EQ(filters.bayerGainBlue, measured.gainBlue);
}

TEST_F(FramePipelineTest, ContinuousWhiteBalanceFollowsEveryFrameWithinTheGainLimit) {
    DibImage& raw = PrepareRaw(4, 20, 16, 1);
    Create(session.images.rgb48, 20, 16, 48);
    ImageFilters& filters = session.filters;
    filters.bayerGainAuto = 1;
    FillBayer(raw, 3000, 1500, 6000);
    WhiteBalanceResult measured = MeasuredBalance(raw);
    ASSERT_LT(measured.gainRed, 100);
    ASSERT_GT(measured.gainBlue, 100);
    session.pipeline.Process(session);
    EXPECT_EQ(filters.bayerGainRed, measured.gainRed);
    EXPECT_EQ(filters.bayerGainBlue, measured.gainBlue);
    EXPECT_EQ(filters.bayerGainAuto, 1);

    // Red ten times darker than green would need 1000 %.
    FillBayer(raw, 3000, 3000, 300);
    measured = MeasuredBalance(raw);
    session.pipeline.Process(session);
    EXPECT_EQ(filters.bayerGainRed, 400);
    EXPECT_EQ(filters.bayerGainBlue, measured.gainBlue);
}

TEST_F(FramePipelineTest, WhiteBalanceOnABlackFrameKeepsTheGains) {
    for (const int32_t colourMode : {2, 5}) {
        SCOPED_TRACE(colourMode);
        DibImage& raw = PrepareRaw(colourMode, 20, 16, 1);
        Create(colourMode == 2 ? session.images.rgb24 : session.images.rgb64, 20, 16,
               static_cast<uint16_t>(colourMode == 2 ? 24 : 64));
        std::memset(raw.bits, 0, static_cast<size_t>(raw.stride) * raw.height);
        ImageFilters& filters = session.filters;
        filters.bayerGainAuto = 1;
        filters.bayerGainRed = 150, filters.bayerGainGreen = 90, filters.bayerGainBlue = 120;
        session.pipeline.Process(session);
        EXPECT_EQ(filters.bayerGainRed, 150);
        EXPECT_EQ(filters.bayerGainGreen, 90);
        EXPECT_EQ(filters.bayerGainBlue, 120);
    }
}

TEST_F(FramePipelineTest, TheFilterChainRunsOnTheOutputImage) {
    ImageFilters& filters = session.filters;
    filters.hue = 30, filters.saturation = 40, filters.gamma = 150;
    filters.contrast = 20, filters.sharpness = 5, filters.brightness = -30;
    const FilterSettings settings{30, 40, 150, 20, 5, -30};

    DibImage& colourRaw = PrepareRaw(4, 24, 20, 31);
    Create(session.images.rgb48, 24, 20, 48);
    OwnedImage expected = MakeImage(24, 20, 48);
    OwnedImage scratch = MakeImage(1, 1, 8);
    DemosaicDirect(*expected, colourRaw, BayerParams{0, 100, 100, 100});
    ASSERT_TRUE(ApplyFilterChain(expected.get(), scratch.get(), settings));
    session.pipeline.Process(session);
    EXPECT_EQ(Pixels(*session.images.rgb48), Pixels(*expected));

    DibImage& greyRaw = PrepareRaw(1, 24, 20, 32);
    OwnedImage expectedGrey = CopyOf(greyRaw);
    ASSERT_TRUE(ApplyFilterChain(expectedGrey.get(), scratch.get(), settings));
    session.pipeline.Process(session);
    EXPECT_EQ(Pixels(greyRaw), Pixels(*expectedGrey));
}

TEST_F(FramePipelineTest, AFrameWithoutItsOutputImageLeavesEverythingElseAlone) {
    // rgb24 has no pixels: the colour steps do nothing, and the frame does not fail.
    DibImage& raw = PrepareRaw(2, 12, 10, 2);
    const std::vector<BYTE> before = Pixels(raw);
    session.filters.bayerGainAuto = 1;
    session.pipeline.Process(session);
    EXPECT_EQ(Pixels(raw), before);
    EXPECT_EQ(session.filters.bayerGainRed, 100);
}

TEST_F(FramePipelineTest, AfterPrepareAFrameAllocatesNothing) {
    if (!kAllocationCounting) GTEST_SKIP() << "the sanitizer keeps its own allocator";
    // The 16-bit gamma and contrast tables are kept by the imaging layer per value, made the
    // first time a value is used; the 16-bit frame here runs the filters that need no table.
    struct Case {
        int32_t colourMode;
        int32_t gamma;
        int32_t contrast;
    };
    for (const Case run : {Case{0, 120, 10}, Case{4, 100, 0}}) {
        SCOPED_TRACE(run.colourMode);
        PrepareRaw(run.colourMode, 64, 48, 9);
        Create(session.images.rgb48, 64, 48, 48);
        session.camera.mirrorH = session.camera.mirrorV = 1;
        session.gray.grayMode = 1;
        session.gray.grayGainR = 150;
        session.filters.bayerGainAuto = 1;
        session.filters.gamma = run.gamma, session.filters.contrast = run.contrast;
        session.filters.brightness = 20;
        StartCountingAllocations(GetCurrentThreadId());
        session.pipeline.Process(session);
        session.pipeline.Process(session);
        EXPECT_EQ(StopCountingAllocations(), 0);
    }
}

TEST_F(FramePipelineTest, TheCalibrationCorrectionsAllocateNothingPerFrame) {
    if (!kAllocationCounting) GTEST_SKIP() << "the sanitizer keeps its own allocator";
    ASSERT_TRUE(session.images.CreateCalibrationPlanes(CKelvra::kSensorWidth, CKelvra::kSensorHeight));
    for (const int32_t colourMode : {0, 1}) {
        SCOPED_TRACE(colourMode);
        DibImage& raw = PrepareRaw(colourMode, 64, 48, 11);
        Corrections& corrections = session.corrections;
        for (int32_t x = 3; x < 40; x += 3) corrections.defectList.Add(x, x / 2);
        SetSample(*session.images.dark16, 10, 10, 4000);
        SetSample(*session.images.dark8, 10, 10, 250);
        {
            const CriticalSectionGuard hold(corrections.imageLock);
            RecomputeDefectMaps(session);
        }
        corrections.configFilter = corrections.maskFilter = corrections.dotFilter = 1;
        session.camera.mirrorH = 1;
        OwnedImage before = CopyOf(raw);
        StartCountingAllocations(GetCurrentThreadId());
        session.pipeline.Process(session);
        session.pipeline.Process(session);
        EXPECT_EQ(StopCountingAllocations(), 0);
        EXPECT_NE(Pixels(raw), Pixels(*before));
    }
}

}  // namespace
