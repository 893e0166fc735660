// Streaming from simulated cameras through the acquisition thread and the frame ring: modes,
// retries and give-up, unplugging, and the copy out of the ring.
#include "SimulatedDevice.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr int32_t kGaveUp = 1;
constexpr int32_t kNoFrame = 2;
constexpr int32_t kFrameReady = 3;
constexpr int32_t kWidth = 128;
constexpr int32_t kHeight = 64;

class DeviceStreaming : public SimulatedDevice {
protected:
    void SetUp() override {
        SimulatedDevice::SetUp();
        camera = Attach(0x3180);
        ASSERT_EQ(Open(camera, 0x3180), 1);
        ASSERT_EQ(device->SetVideoFormat(0, 0, kWidth, kHeight, 0), 1);
        ASSERT_EQ(device->SetDataWidth(0), 1);  // two bytes per pixel whatever is asked
        ASSERT_EQ(device->FrameBytes(), static_cast<uint32_t>(kWidth * kHeight * 2));
        frame.assign(device->FrameBytes(), 0);
    }

    void TearDown() override {
        if (device) device->StopStreaming();
        SimulatedDevice::TearDown();
    }

    // The thread of a single-frame stream clears its running flag as it ends.
    bool WaitUntilStopped() {
        for (int i = 0; i < 500 && device->IsStreaming(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return device->IsStreaming() == 0;
    }

    uint16_t Sample(int32_t x, int32_t y) const {
        const size_t at = (static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)) * 2;
        return static_cast<uint16_t>(frame[at] | frame[at + 1] << 8);
    }

    int camera = 0;
    std::vector<uint8_t> frame;
};

TEST_F(DeviceStreaming, ContinuousStreamDeliversSuccessiveFramesOfTheScene) {
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_RAMP_H, 3);
    ASSERT_EQ(device->StartStreaming(0), 1);
    uint32_t previousNumber = 0;
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(device->WaitFrame(3000), kFrameReady);
        EXPECT_EQ(device->CopyNextFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1), 1);
        for (int32_t x : {0, 1, 77, kWidth - 1}) EXPECT_EQ(Sample(x, 5), x * 3);
        const uint32_t number = device->LastFrameCounter();
        if (i > 0) {
            EXPECT_GT(number, previousNumber);
        }
        previousNumber = number;
    }
    EXPECT_EQ(device->StopStreaming(), 1);
    EXPECT_EQ(device->IsStreaming(), 0);
    EXPECT_GE(KelvraSim_FramesSent(camera), 5);
}

TEST_F(DeviceStreaming, ACopiedFrameIsNoLongerNew) {
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_RAMP_V, 2);
    ASSERT_EQ(device->StartStreaming(1), 1);
    ASSERT_EQ(device->WaitFrame(3000), kFrameReady);
    ASSERT_TRUE(WaitUntilStopped());
    std::vector<uint8_t> again(frame.size());
    ASSERT_EQ(device->CopyNextFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1), 1);
    ASSERT_EQ(device->CopyNextFrame(again.data(), static_cast<uint32_t>(again.size()), 1), 1);
    EXPECT_EQ(frame, again);
    EXPECT_EQ(Sample(3, 10), 20);
    EXPECT_EQ(device->WaitFrame(50), kNoFrame);
}

TEST_F(DeviceStreaming, RowOrderFollowsKeepOrder) {
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_RAMP_V, 1);
    ASSERT_EQ(device->StartStreaming(1), 1);
    ASSERT_EQ(device->WaitFrame(3000), kFrameReady);
    ASSERT_TRUE(WaitUntilStopped());
    ASSERT_EQ(device->CopyNextFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1), 1);
    EXPECT_EQ(Sample(0, 0), 0);
    EXPECT_EQ(Sample(0, kHeight - 1), kHeight - 1);
    ASSERT_EQ(device->CopyNextFrame(frame.data(), static_cast<uint32_t>(frame.size()), 0), 1);
    EXPECT_EQ(Sample(0, 0), kHeight - 1);
    EXPECT_EQ(Sample(5, kHeight - 1), 0);
}

TEST_F(DeviceStreaming, SingleFrameAndNextNewFrameModesEndAfterOneFrame) {
    KelvraSim_SetFrameRate(camera, 100);
    for (uint32_t mode : {1u, 2u}) {
        SCOPED_TRACE(mode);
        const long sentBefore = KelvraSim_FramesSent(camera);
        ASSERT_EQ(device->StartStreaming(mode), 1);
        ASSERT_EQ(device->WaitFrame(3000), kFrameReady);
        EXPECT_TRUE(WaitUntilStopped());
        EXPECT_EQ(device->CopyNextFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1), 1);
        EXPECT_EQ(device->WaitFrame(100), kNoFrame);
        EXPECT_EQ(KelvraSim_FramesSent(camera) - sentBefore, 1);
    }
}

TEST_F(DeviceStreaming, ADestinationSmallerThanTheFrameTakesNothingButTheFrameCountsAsRead) {
    ASSERT_EQ(device->StartStreaming(1), 1);
    ASSERT_EQ(device->WaitFrame(3000), kFrameReady);
    ASSERT_TRUE(WaitUntilStopped());
    std::fill(frame.begin(), frame.end(), 0xEE);
    EXPECT_EQ(device->CopyNextFrame(frame.data(), static_cast<uint32_t>(frame.size() - 1), 1), 0);
    EXPECT_EQ(std::count(frame.begin(), frame.end(), 0xEE), static_cast<long>(frame.size()));
    EXPECT_EQ(device->WaitFrame(50), kNoFrame);
}

TEST_F(DeviceStreaming, AFrameWaitEndsAtOnceWhenItsStopEventIsSignalled) {
    KelvraSim_SetFrameRate(camera, 1);
    ASSERT_EQ(device->StartStreaming(0), 1);
    ASSERT_EQ(device->WaitFrame(3000), kFrameReady);
    ASSERT_EQ(device->CopyNextFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1), 1);
    const HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(stop, nullptr);
    std::thread stopper([stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        SetEvent(stop);
    });
    // At one frame a second the next frame is most of a second away: only the stop ends the wait.
    EXPECT_EQ(device->WaitFrameUnless(5000, stop), CKelvraU3G5Base::kWaitStopped);
    stopper.join();
    EXPECT_EQ(device->IsStreaming(), 1);  // the stream itself runs on
    CloseHandle(stop);
}

TEST_F(DeviceStreaming, CounterSynchronisationReadsOnlyAHeader) {
    ASSERT_EQ(device->StartStreaming(3), 1);
    ASSERT_TRUE(WaitUntilStopped());
    EXPECT_EQ(device->WaitFrame(50), kNoFrame);
    EXPECT_EQ(KelvraSim_FramesSent(camera), 0);
}

TEST_F(DeviceStreaming, FourFailuresInARowAreRetriedTheFifthEndsTheStream) {
    KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_FAIL_PAYLOAD, 4);
    ASSERT_EQ(device->StartStreaming(0), 1);
    ASSERT_EQ(device->WaitFrame(10000), kFrameReady);
    EXPECT_EQ(device->IsStreaming(), 1);
    ASSERT_EQ(device->CopyNextFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1), 1);

    KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_FAIL_PAYLOAD, 5);
    int32_t result = kFrameReady;
    for (int i = 0; i < 200 && result != kGaveUp; ++i) {
        result = device->WaitFrame(200);
        if (result == kFrameReady) {
            EXPECT_EQ(device->CopyNextFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1), 1);
        }
    }
    ASSERT_EQ(result, kGaveUp);
    EXPECT_TRUE(WaitUntilStopped());
    // Reported at once and for as long as no new stream starts.
    EXPECT_EQ(device->WaitFrame(INFINITE), kGaveUp);
    EXPECT_EQ(device->WaitFrame(0), kGaveUp);

    ASSERT_EQ(device->StartStreaming(0), 1);
    EXPECT_EQ(device->WaitFrame(3000), kFrameReady);
}

TEST_F(SimulatedDevice, NextNewFrameOfModel3190GivesUpAtTheFirstFailure) {
    const int camera = Attach(0x3190);
    Open(camera, 0x3190);
    ASSERT_NE(device->Sensor(), nullptr);
    ASSERT_EQ(device->ApplyImageSize(), 1);
    KelvraSim_SetFrameRate(camera, 100);
    KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_FAIL_PAYLOAD, 1);
    ASSERT_EQ(device->StartStreaming(2), 1);
    EXPECT_EQ(device->WaitFrame(5000), kGaveUp);
    EXPECT_EQ(device->StopStreaming(), 1);
}

TEST_F(DeviceStreaming, UnplugMidStreamEndsTheStreamAsAFailure) {
    ASSERT_EQ(device->StartStreaming(0), 1);
    ASSERT_EQ(device->WaitFrame(3000), kFrameReady);
    ASSERT_EQ(KelvraSim_Unplug(camera), 1);
    int32_t result = kFrameReady;
    for (int i = 0; i < 300 && result != kGaveUp; ++i) {
        result = device->WaitFrame(100);
        if (result == kFrameReady) {
            EXPECT_EQ(device->CopyNextFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1), 1);
        }
    }
    EXPECT_EQ(result, kGaveUp);
    EXPECT_EQ(device->StopStreaming(), 1);
}

TEST_F(DeviceStreaming, CaptureSingleFrameFillsTheFirstSlot) {
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_FLAT, 0x1234);
    EXPECT_EQ(device->CaptureSingleFrame(), 0);
    EXPECT_EQ(device->CopyLatestFrame(frame.data(), 1), 0);
    EXPECT_EQ(Sample(0, 0), 0x1234);
    EXPECT_EQ(Sample(kWidth - 1, kHeight - 1), 0x1234);
    EXPECT_EQ(device->CopyLatestFrame(nullptr, 1), -2);
    // Not a stream frame: nothing new for a waiting reader.
    EXPECT_EQ(device->WaitFrame(0), kNoFrame);
}

TEST_F(DeviceStreaming, CopyRefusesABufferSmallerThanAFrame) {
    ASSERT_EQ(device->CaptureSingleFrame(), 0);
    std::vector<uint8_t> small(device->FrameBytes() - 1, 0xAB);
    EXPECT_EQ(device->CopyFrame(small.data(), static_cast<uint32_t>(small.size()), 1, 1), 0);
    EXPECT_EQ(std::count(small.begin(), small.end(), 0xAB), static_cast<long>(small.size()));
    EXPECT_EQ(device->CopyFrame(nullptr, device->FrameBytes(), 1, 1), 0);
}

TEST_F(DeviceStreaming, StoppingANeverStartedStreamStillResetsTheTransfer) {
    kelvra::sim::ClearLogs(camera);
    EXPECT_EQ(device->StopStreaming(), 1);
    const auto writes = kelvra::sim::FpgaWriteLog(camera);
    auto wrote = [&](uint8_t reg, uint16_t value) {
        return std::any_of(writes.begin(), writes.end(),
                           [&](const auto& w) { return w.reg == reg && w.value == value; });
    };
    EXPECT_TRUE(wrote(108, 1));
    EXPECT_TRUE(wrote(108, 0));
    EXPECT_TRUE(wrote(104, 2));
}

TEST_F(DeviceStreaming, WithoutAStreamWaitingAnswersAtOnce) {
    EXPECT_EQ(device->WaitFrame(INFINITE), kNoFrame);  // no thread, so no frame can come
    ASSERT_EQ(device->StartStreaming(1), 1);
    ASSERT_TRUE(WaitUntilStopped());
    EXPECT_EQ(device->WaitFrame(INFINITE), kFrameReady);  // stored before the thread ended
    ASSERT_EQ(device->CopyNextFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1), 1);
    EXPECT_EQ(device->WaitFrame(INFINITE), kNoFrame);
}

TEST_F(DeviceStreaming, StoppingReleasesACallerWaitingOnAnotherThread) {
    KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_DROP_HEADER, 1000);  // no frame comes
    ASSERT_EQ(device->StartStreaming(0), 1);
    std::atomic<int32_t> result{0};
    std::thread waiter([&] { result = device->WaitFrame(INFINITE); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(device->StopStreaming(), 1);
    waiter.join();
    EXPECT_EQ(result.load(), kNoFrame);
}

// A stop aborts the read in flight instead of waiting out a frame period or the header read's
// attempts; the next stream reads again as usual.
TEST_F(DeviceStreaming, StoppingAbortsTheTransferInFlight) {
    using Clock = std::chrono::steady_clock;
    auto timedStop = [this] {
        const auto start = Clock::now();
        EXPECT_EQ(device->StopStreaming(), 1);
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    };
    KelvraSim_SetFrameRate(camera, 1);
    ASSERT_EQ(device->StartStreaming(0), 1);
    ASSERT_EQ(device->WaitFrame(3000), kFrameReady);
    ASSERT_EQ(device->CopyNextFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the next header read is pending
    EXPECT_LT(timedStop(), 200);

    KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_DROP_HEADER, 1000);
    ASSERT_EQ(device->StartStreaming(0), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));  // some header attempts have failed
    EXPECT_LT(timedStop(), 200);
    EXPECT_EQ(device->WaitFrame(0), kNoFrame);

    KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_DROP_HEADER, 0);
    KelvraSim_SetFrameRate(camera, 0);
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_FLAT, 0x0321);
    ASSERT_EQ(device->StartStreaming(0), 1);
    ASSERT_EQ(device->WaitFrame(3000), kFrameReady);
    ASSERT_EQ(device->CopyNextFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1), 1);
    EXPECT_EQ(Sample(kWidth - 1, kHeight - 1), 0x0321);
}

TEST_F(DeviceStreaming, CaptureDuringAStreamEndsTheStreamFirst) {
    ASSERT_EQ(device->StartStreaming(0), 1);
    ASSERT_EQ(device->WaitFrame(3000), kFrameReady);
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_FLAT, 0x0777);
    EXPECT_EQ(device->CaptureSingleFrame(), 0);
    EXPECT_EQ(device->IsStreaming(), 0);
    ASSERT_EQ(device->CopyLatestFrame(frame.data(), 1), 0);
    EXPECT_EQ(Sample(kWidth / 2, kHeight / 2), 0x0777);
}

TEST_F(DeviceStreaming, FramesOfAReplacedGeometryAreNoLongerNew) {
    ASSERT_EQ(device->StartStreaming(1), 1);
    ASSERT_EQ(device->WaitFrame(3000), kFrameReady);
    ASSERT_TRUE(WaitUntilStopped());
    ASSERT_EQ(device->SetVideoFormat(0, 0, kWidth / 2, kHeight / 2, 0), 1);
    ASSERT_EQ(device->ApplyImageSize(), 1);
    EXPECT_EQ(device->WaitFrame(0), kNoFrame);
}

}  // namespace
