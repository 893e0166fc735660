// Automatic exposure and gain: frames of known brightness run through the pipeline of a session
// whose simulated camera is open, and the camera's exposure or gain is read back.
#include "api/CSdkChain.h"
#include "api/SdkTestSupport.h"
#include "device/CKelvraUSB3G5SimpleSdk.h"
#include "imaging/DibImage.h"
#include "session/AutoExposure.h"
#include "session/CKelvra.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace {

// The 16-bit sample that RegionMean10 reads as level (it measures bits 2..9).
uint16_t SampleForLevel(int32_t level) { return static_cast<uint16_t>(level << 2); }

// Fills the columns left of split with one level and the rest with another.
void FillLevels(DibImage& raw, int32_t leftLevel, int32_t rightLevel, int32_t split) {
    for (int32_t y = 0; y < raw.height; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(raw.bits + static_cast<size_t>(y) * raw.stride);
        for (int32_t x = 0; x < raw.width; ++x) row[x] = SampleForLevel(x < split ? leftLevel : rightLevel);
    }
}

void FillLevel(DibImage& raw, int32_t level) { FillLevels(raw, level, level, 0); }

class AutoExposureTest : public SdkTest {
protected:
    void SetUp() override {
        SdkTest::SetUp();
        Attach();
        session = CSdkChain::Instance().Lookup(Open());
        ASSERT_TRUE(session);
        ASSERT_TRUE(session->device && session->device->Sensor()) << "the only camera is selected";
        session->format.colourMode = 1;
        session->filters.gamma = 100;
        UseRaw(160, 128);
    }

    void TearDown() override {
        session.reset();
        SdkTest::TearDown();
    }

    DibImage& UseRaw(int32_t width, int32_t height) {
        DibImage& raw = *session->images.raw16;
        EXPECT_TRUE(CreateImage(&raw, width, height, 16));
        EXPECT_TRUE(session->pipeline.Prepare(raw));
        return raw;
    }

    DibImage& Raw() { return *session->images.raw16; }
    CKelvraUSB3G5SimpleSdk& Device() { return *session->device; }

    void StartAt(int32_t exposure) {
        ASSERT_TRUE(Device().SetExposureTime(exposure));
        ASSERT_EQ(Device().GetExposureTime(), exposure);
        session->camera.autoIris = 1;
    }

    std::shared_ptr<CKelvra> session;
};

TEST_F(AutoExposureTest, AllBrightLowersAndAllDarkRaisesTheExposure) {
    StartAt(100000);
    FillLevel(Raw(), 230);
    session->pipeline.Process(*session);
    EXPECT_EQ(Device().GetExposureTime(), 25000);
    EXPECT_EQ(session->camera.exposureLines, 25000);

    FillLevel(Raw(), 40);
    session->pipeline.Process(*session);
    EXPECT_EQ(Device().GetExposureTime(), 31250);
    EXPECT_EQ(session->camera.exposureLines, 31250);
}

TEST_F(AutoExposureTest, ExposuresBeyondSixteenBitsAreScaledAndHeldToTheCameraRange) {
    StartAt(85000);
    FillLevel(Raw(), 40);
    session->pipeline.Process(*session);
    EXPECT_EQ(Device().GetExposureTime(), 106250);

    StartAt(900000);
    session->pipeline.Process(*session);
    EXPECT_EQ(Device().GetExposureTime(), Device().GetExposureTimeMax());
    EXPECT_EQ(session->camera.exposureLines, Device().GetExposureTimeMax());

    StartAt(2);
    FillLevel(Raw(), 250);
    session->pipeline.Process(*session);
    EXPECT_EQ(Device().GetExposureTime(), 1) << "an exposure never drops to 0";
}

TEST_F(AutoExposureTest, AFrameOfMixedBrightnessChangesNothing) {
    StartAt(50000);
    session->camera.exposureLines = 777;
    // Dark left (regions 1 and 2), bright right (4 and 5), a centre straddling both.
    FillLevels(Raw(), 40, 230, Raw().width / 2);
    session->pipeline.Process(*session);
    EXPECT_EQ(Device().GetExposureTime(), 50000);
    EXPECT_EQ(session->camera.exposureLines, 777);
}

TEST_F(AutoExposureTest, NarrowAndShortWindowsMeasureOnlyWhatTheyHave) {
    // Four pixels across or down leave four of the five regions empty; those count as well
    // exposed, so even a black frame asks for no more than the centre's small correction.
    for (const auto& [width, height] : {std::pair{4, 128}, std::pair{160, 4}}) {
        SCOPED_TRACE(testing::Message() << width << " x " << height);
        UseRaw(width, height);
        StartAt(40000);
        FillLevel(Raw(), 0);
        session->pipeline.Process(*session);
        EXPECT_EQ(Device().GetExposureTime(), 40000);
    }
}

TEST_F(AutoExposureTest, AutoGainStartsALowGainFromFourAndSetsEveryGainField) {
    ASSERT_TRUE(Device().SetGlobalGain(2));
    session->camera.autoIris = 2;
    FillLevel(Raw(), 40);
    session->pipeline.Process(*session);
    EXPECT_EQ(Device().GetGlobalGain(), 5);
    const CameraSettings& camera = session->camera;
    for (const int32_t field : {camera.globalGain, camera.colourGainRed, camera.colourGainGreen1,
                                camera.colourGainGreen2, camera.colourGainBlue}) {
        EXPECT_EQ(field, 5);
    }

    ASSERT_TRUE(Device().SetGlobalGain(200));
    FillLevel(Raw(), 230);
    session->pipeline.Process(*session);
    EXPECT_EQ(Device().GetGlobalGain(), 50);
    EXPECT_EQ(session->camera.globalGain, 50);
}

TEST_F(AutoExposureTest, WhileTheApplicationIsInACallTheAdjustmentIsSkippedNotAwaited) {
    StartAt(100000);
    FillLevel(Raw(), 230);
    const int32_t linesBefore = session->camera.exposureLines;
    std::promise<void> entered, release;
    std::thread application([&] {
        session->CallLock().Enter();
        entered.set_value();
        release.get_future().wait();
        session->CallLock().Leave();
    });
    entered.get_future().wait();
    auto frame = std::async(std::launch::async, [&] { session->pipeline.Process(*session); });
    const bool returned = frame.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    release.set_value();
    application.join();
    frame.wait();
    ASSERT_TRUE(returned) << "the pipeline waited for the call lock";
    EXPECT_EQ(Device().GetExposureTime(), 100000);
    EXPECT_EQ(session->camera.exposureLines, linesBefore);

    // The next frame measures again and, with the lock free, adjusts.
    session->pipeline.Process(*session);
    EXPECT_EQ(Device().GetExposureTime(), 25000);
}

}  // namespace
