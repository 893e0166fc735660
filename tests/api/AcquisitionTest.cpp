// Frames reaching the application through the public API from simulated cameras: snapshots and
// image copies, the callback preview and its messages, the hardware trigger, the refusals of the
// state machine, a camera unplugged under a running preview, and stopping promptly.
#include "AllocationCounter.h"
#include "SdkTestSupport.h"
#include "api/CSdkChain.h"
#include "session/CKelvra.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 1024;
constexpr int32_t kStride16 = kWidth * 2;
constexpr int32_t kFrame16 = kStride16 * kHeight;

class Acquisition : public SdkTest {
protected:
    void SetUp() override {
        SdkTest::SetUp();
        camera = Attach();
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "AcquisitionTestListener";
        RegisterClassExA(&windowClass);
        listener = CreateWindowExA(0, "AcquisitionTestListener", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   windowClass.hInstance, nullptr);
        ASSERT_NE(listener, nullptr);
        handle = Open();
        ASSERT_EQ(Drain(handle), std::vector<int32_t>{});
        // No window of its own unless a test asks for one: the frames go to the callback only.
        ASSERT_EQ(Kelvra_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), 1);
    }

    void TearDown() override {
        StopCountingAllocations();
        SdkTest::TearDown();
        DestroyWindow(listener);
    }

    std::shared_ptr<CKelvra> Session() const { return CSdkChain::Instance().Lookup(handle); }

    // The WM_CAMERA_FRAME messages the listener got until count arrived or the time ran out.
    std::vector<MSG> FrameMessages(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::vector<MSG> messages;
        const auto giveUp = Clock::now() + limit;
        while (messages.size() < count && Clock::now() < giveUp) {
            MSG message{};
            if (PeekMessageA(&message, listener, WM_CAMERA_FRAME, WM_CAMERA_FRAME, PM_REMOVE)) {
                messages.push_back(message);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        return messages;
    }

    static uint16_t Sample(const std::vector<BYTE>& image, int32_t stride, int32_t x, int32_t row) {
        const size_t at = static_cast<size_t>(row) * static_cast<size_t>(stride) + static_cast<size_t>(x) * 2;
        return static_cast<uint16_t>(image[at] | image[at + 1] << 8);
    }

    int camera = 0;
    int32_t handle = 0;
    HWND listener = nullptr;
};

TEST_F(Acquisition, SnapshotPutsTheScenesRowsWhereTopDownSaysAndGetImageCopiesTheSameFrame) {
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_RAMP_V, 5);
    std::vector<BYTE> topDown(kFrame16), bottomUp(kFrame16), copy(kFrame16);
    ASSERT_EQ(Kelvra_SnapShot(handle, topDown.data(), kFrame16, 1), 1);
    // In capture state the set-up is done once; the snapshot only takes the frame.
    ASSERT_EQ(Kelvra_Capture(handle), 1);
    ASSERT_EQ(Kelvra_SnapShot(handle, bottomUp.data(), kFrame16, 0), 1);
    for (int32_t row : {0, 1, 500, kHeight - 1}) {
        EXPECT_EQ(Sample(topDown, kStride16, 17, row), row * 5) << row;
        EXPECT_EQ(Sample(bottomUp, kStride16, 17, row), (kHeight - 1 - row) * 5) << row;
    }
    ASSERT_EQ(Kelvra_GetImage(handle, copy.data(), kFrame16, 0), 1);
    EXPECT_EQ(copy, bottomUp);

    // Without a buffer the frame stays in the session for GetImage.
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_FLAT, 0x1234);
    ASSERT_EQ(Kelvra_SnapShot(handle, nullptr, 0, 1), 1);
    ASSERT_EQ(Kelvra_GetImage(handle, copy.data(), kFrame16, 1), 1);
    EXPECT_EQ(Sample(copy, kStride16, 0, 0), 0x1234);
    EXPECT_EQ(Sample(copy, kStride16, kWidth - 1, kHeight - 1), 0x1234);
    EXPECT_EQ(Kelvra_Width(handle), kWidth);
    EXPECT_EQ(Kelvra_Height(handle), kHeight);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{});
}

TEST_F(Acquisition, BothMirrorsTurnThePictureByHalfATurnInSoftware) {
    // The 880HQLN mirrors nothing itself, so the session turns the frame.
    const auto session = Session();
    session->camera.mirrorH = 1;
    session->camera.mirrorV = 1;
    std::vector<BYTE> image(kFrame16);
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_RAMP_H, 3);
    ASSERT_EQ(Kelvra_SnapShot(handle, image.data(), kFrame16, 1), 1);
    EXPECT_EQ(Sample(image, kStride16, 0, 0), (kWidth - 1) * 3);
    EXPECT_EQ(Sample(image, kStride16, kWidth - 1, 5), 0);
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_RAMP_V, 7);
    ASSERT_EQ(Kelvra_SnapShot(handle, image.data(), kFrame16, 1), 1);
    EXPECT_EQ(Sample(image, kStride16, 9, 0), (kHeight - 1) * 7);
    EXPECT_EQ(Sample(image, kStride16, 9, kHeight - 1), 0);
}

TEST_F(Acquisition, ColourOutputOfAGreySceneStaysGrey) {
    // Forty-eight-bit colour comes from the stored settings, which this build does not load yet.
    Session()->format.colourMode = 4;
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_FLAT, 0x3000);
    constexpr int32_t kStride48 = kWidth * 6;
    std::vector<BYTE> image(static_cast<size_t>(kStride48) * kHeight);
    ASSERT_EQ(Kelvra_SnapShot(handle, image.data(), static_cast<int32_t>(image.size()), 1), 1);
    for (int32_t row : {0, 2, 511, kHeight - 1}) {
        for (int32_t x : {0, 3, 640, kWidth - 1}) {
            const size_t at = static_cast<size_t>(row) * kStride48 + static_cast<size_t>(x) * 6;
            const auto channel = [&](size_t c) { return image[at + 2 * c] | image[at + 2 * c + 1] << 8; };
            EXPECT_EQ(channel(0), channel(1)) << x << "," << row;
            EXPECT_EQ(channel(1), channel(2)) << x << "," << row;
            EXPECT_GT(channel(0), 0) << x << "," << row;
        }
    }
}

TEST_F(Acquisition, ABufferOneByteShortTakesNothing) {
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_FLAT, 0x1111);
    std::vector<BYTE> buffer(kFrame16, 0xAB);
    EXPECT_EQ(Kelvra_SnapShot(handle, buffer.data(), kFrame16 - 1, 1), 0);
    EXPECT_EQ(Drain(handle), (std::vector<int32_t>{KELVRA_ERR_MEMORY, KELVRA_ERR_MEMORY}));
    EXPECT_EQ(Kelvra_GetImage(handle, buffer.data(), kFrame16 - 1, 1), 0);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0xAB), static_cast<long>(buffer.size()));
    EXPECT_EQ(Drain(handle), (std::vector<int32_t>{KELVRA_ERR_MEMORY, KELVRA_ERR_MEMORY}));
}

TEST_F(Acquisition, CallbackPreviewAnnouncesEveryFrameWithItsFrameInfo) {
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_RAMP_H, 3);
    KelvraSim_SetFrameRate(camera, 50);
    std::vector<BYTE> buffer(kFrame16);
    ASSERT_EQ(Kelvra_CallBackPreview(handle, listener, buffer.data(), kFrame16, 1), 1);
    // The rate is measured over the first second and a bit.
    const std::vector<MSG> messages = FrameMessages(70);
    ASSERT_EQ(messages.size(), 70u);
    ASSERT_EQ(Kelvra_StopPreview(handle), 1);
    for (const MSG& message : messages) {
        ASSERT_NE(message.wParam, 0u);
        EXPECT_EQ(message.lParam, 0);
    }
    const auto* info = reinterpret_cast<const FrameInfo*>(messages.back().wParam);
    EXPECT_EQ(info->reserved, 0);
    EXPECT_EQ(info->width, kWidth);
    EXPECT_EQ(info->height, kHeight);
    EXPECT_EQ(info->bitsPerPixel, 16);
    EXPECT_EQ(info->buffer, buffer.data());
    // Frames per second times ten; the camera sends 50.
    EXPECT_GT(info->frameRate, 300);
    EXPECT_LE(info->frameRate, 520);
    EXPECT_EQ(Sample(buffer, kStride16, 100, 7), 300);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{});
}

TEST_F(Acquisition, AShortCallbackBufferFailsEveryFrameWhileThePreviewGoesOn) {
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_FLAT, 0x2222);
    KelvraSim_SetFrameRate(camera, 100);
    std::vector<BYTE> buffer(kFrame16 - 1), copy(kFrame16);
    ASSERT_EQ(Kelvra_CallBackPreview(handle, listener, buffer.data(), kFrame16 - 1, 1), 1);
    const std::vector<MSG> messages = FrameMessages(5);
    ASSERT_EQ(messages.size(), 5u);
    for (const MSG& message : messages) {
        EXPECT_EQ(message.wParam, 0u);
        EXPECT_EQ(message.lParam, KELVRA_ERR_MEMORY);
    }
    // The worker left frameLock each time: the frame it processed can be copied meanwhile.
    EXPECT_EQ(Kelvra_GetImage(handle, copy.data(), kFrame16, 1), 1);
    EXPECT_EQ(Sample(copy, kStride16, 3, 3), 0x2222);
    EXPECT_EQ(Kelvra_StopPreview(handle), 1);
    const std::vector<int32_t> codes = Drain(handle);
    EXPECT_GE(codes.size(), 5u);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), KELVRA_ERR_MEMORY), static_cast<long>(codes.size()));
}

TEST_F(Acquisition, EachModeRefusesTheCallsOfTheOthers) {
    EXPECT_EQ(Kelvra_StartPreview(handle), 1);
    EXPECT_EQ(Kelvra_StartPreview(handle), 1);  // already running: the same worker
    EXPECT_EQ(Kelvra_SnapShot(handle, nullptr, 0, 1), 0);
    EXPECT_EQ(Kelvra_Capture(handle), 0);
    EXPECT_EQ(Kelvra_Trigger(handle, listener, nullptr, 0, 1), 0);
    // A new capture window would send the worker frames of another size.
    EXPECT_EQ(Kelvra_SetCaptureWindowEx(handle, kWidth, 0, kWidth, kHeight, 0, kHeight), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>(4, KELVRA_ERR_NOT_READY));
    EXPECT_EQ(Kelvra_StopPreview(handle), 1);

    ASSERT_EQ(Kelvra_Capture(handle), 1);
    EXPECT_EQ(Kelvra_Capture(handle), 1);
    EXPECT_EQ(Kelvra_StartPreview(handle), 0);
    EXPECT_EQ(Kelvra_Trigger(handle, listener, nullptr, 0, 1), 0);
    EXPECT_EQ(Kelvra_SnapShot(handle, nullptr, 0, 1), 1);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>(2, KELVRA_ERR_NOT_READY));
    EXPECT_EQ(Kelvra_Close(handle), 1);

    ASSERT_EQ(Kelvra_Trigger(handle, listener, nullptr, 0, 1), 1);
    // A second trigger would start a second worker on the same images.
    EXPECT_EQ(Kelvra_Trigger(handle, listener, nullptr, 0, 1), 0);
    EXPECT_EQ(Kelvra_StartPreview(handle), 0);
    EXPECT_EQ(Kelvra_SnapShot(handle, nullptr, 0, 1), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>(3, KELVRA_ERR_NOT_READY));
    EXPECT_EQ(Kelvra_StopPreview(handle), 1);

    // The geometry calls: an out-of-range window is refused but kept, null pointers are skipped.
    EXPECT_EQ(Kelvra_SetCaptureWindowEx(handle, kWidth, 0, 640, kHeight, 0, kHeight), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{KELVRA_ERR_PARAMETER});
    EXPECT_EQ(Kelvra_GetCaptureWindowEx(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 1);
    int32_t width = 0, height = 0;
    EXPECT_EQ(Kelvra_GetCaptureWindowEx(handle, nullptr, nullptr, &width, nullptr, nullptr, &height), 1);
    EXPECT_EQ(width, kWidth);
    EXPECT_EQ(height, kHeight);
    EXPECT_EQ(Kelvra_SetCaptureWindowEx(handle, kWidth, 0, kWidth, kHeight, 0, kHeight), 1);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{});
}

TEST_F(Acquisition, UnpluggedCameraEndsThePreviewWithDeviceLostAndCanBeSelectedAgain) {
    KelvraSim_SetFrameRate(camera, 100);
    std::vector<BYTE> buffer(kFrame16);
    ASSERT_EQ(Kelvra_CallBackPreview(handle, listener, buffer.data(), kFrame16, 1), 1);
    ASSERT_EQ(FrameMessages(3).size(), 3u);
    ASSERT_EQ(KelvraSim_Unplug(camera), 1);
    // Frames already on their way may still arrive; the last message says the camera went.
    MSG last{};
    const auto giveUp = Clock::now() + std::chrono::seconds(10);
    while (!(last.wParam == 0 && last.lParam == KELVRA_ERR_DEVICE_LOST) && Clock::now() < giveUp) {
        const std::vector<MSG> next = FrameMessages(1, std::chrono::milliseconds(100));
        if (!next.empty()) last = next.front();
    }
    EXPECT_EQ(last.lParam, KELVRA_ERR_DEVICE_LOST);
    const auto session = Session();
    EXPECT_TRUE(session->worker.LoopEnded());
    const auto stopStarted = Clock::now();
    EXPECT_EQ(Kelvra_StopPreview(handle), 1);
    EXPECT_LT(Clock::now() - stopStarted, std::chrono::seconds(2));
    const std::vector<int32_t> codes = Drain(handle);
    EXPECT_NE(std::find(codes.begin(), codes.end(), KELVRA_ERR_DEVICE_LOST), codes.end());

    ASSERT_EQ(KelvraSim_Replug(camera), 1);
    ASSERT_EQ(Kelvra_SetDeviceNumber(handle, session->deviceNumber), 1);
    ASSERT_EQ(Kelvra_CallBackPreview(handle, listener, buffer.data(), kFrame16, 1), 1);
    const std::vector<MSG> again = FrameMessages(3);
    ASSERT_EQ(again.size(), 3u);
    EXPECT_NE(again.back().wParam, 0u);
    EXPECT_EQ(Kelvra_StopPreview(handle), 1);
}

TEST_F(Acquisition, TriggeredFramesComeOnlyWithAPulseAndStoppingDoesNotWaitForOne) {
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_FLAT, 0x0F0F);
    std::vector<BYTE> buffer(kFrame16);
    ASSERT_EQ(Kelvra_Trigger(handle, listener, buffer.data(), kFrame16, 0), 1);
    // The loop first lets the exposure in progress end (a tenth of the exposure value plus 100 ms,
    // 1.1 s for this camera) and takes the frame counter from there.
    EXPECT_TRUE(FrameMessages(1, std::chrono::milliseconds(1600)).empty());
    for (int pulse = 0; pulse < 2; ++pulse) {
        ASSERT_EQ(KelvraSim_Trigger(camera), 1);
        const std::vector<MSG> messages = FrameMessages(1);
        ASSERT_EQ(messages.size(), 1u) << pulse;
        const auto* info = reinterpret_cast<const FrameInfo*>(messages.front().wParam);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->frameRate, 0);
        EXPECT_EQ(info->buffer, buffer.data());
        EXPECT_EQ(Sample(buffer, kStride16, 9, 9), 0x0F0F);
        EXPECT_TRUE(FrameMessages(1, std::chrono::milliseconds(200)).empty()) << "one frame per pulse";
    }
    // The loop waits up to a minute for the next pulse; stopping wakes it.
    const auto stopStarted = Clock::now();
    EXPECT_EQ(Kelvra_StopPreview(handle), 1);
    EXPECT_LT(Clock::now() - stopStarted, std::chrono::seconds(2));
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{});
}

TEST_F(Acquisition, StoppingASlowPreviewTakesAtMostAFramePeriod) {
    KelvraSim_SetFrameRate(camera, 1);
    ASSERT_EQ(Kelvra_CallBackPreview(handle, listener, nullptr, 0, 1), 1);
    ASSERT_EQ(FrameMessages(1, std::chrono::seconds(5)).size(), 1u);
    const auto stopStarted = Clock::now();
    EXPECT_EQ(Kelvra_Close(handle), 1);
    // The worker leaves its three-second frame wait at once; the camera's transfer in progress
    // ends with the next frame, a second away at most.
    EXPECT_LT(Clock::now() - stopStarted, std::chrono::milliseconds(1300));
}

// Each start costs a capture set-up of about a second and a half with the camera head's serial
// link; the window class itself is checked over a hundred cycles on its own.
TEST_F(Acquisition, StartingAndStoppingAgainLeavesOneWindow) {
    ASSERT_EQ(Kelvra_SetPreviewWindow(handle, nullptr, 0, 0, kWidth, kHeight), 1);
    const auto session = Session();
    HWND previous = nullptr;
    for (int cycle = 0; cycle < 4; ++cycle) {
        ASSERT_EQ(Kelvra_Preview(handle), 1) << cycle;
        HWND window = session->preview.Window();
        ASSERT_NE(window, nullptr);
        if (previous != nullptr) {
            EXPECT_FALSE(IsWindow(previous)) << cycle;
        }
        previous = window;
        ASSERT_EQ(Kelvra_StopPreview(handle), 1);
    }
    char title[32] = {};
    GetWindowTextA(previous, title, sizeof title);
    EXPECT_STREQ(title, "Active Window");
    EXPECT_EQ(Kelvra_Close(handle), 1);
    EXPECT_FALSE(IsWindow(previous));
    EXPECT_EQ(session->preview.Window(), nullptr);
}

TEST_F(Acquisition, TheWorkerAllocatesNothingPerFrame) {
    if (!kAllocationCounting) GTEST_SKIP() << "the sanitizer keeps its own allocator";
    KelvraSim_SetFrameRate(camera, 0);
    ASSERT_EQ(Kelvra_SetPreviewWindow(handle, nullptr, 0, 0, kWidth, kHeight), 1);
    std::vector<BYTE> buffer(kFrame16);
    // No callback window: the platform's message queue would allocate for each posted message.
    ASSERT_EQ(Kelvra_CallBackPreview(handle, nullptr, buffer.data(), kFrame16, 1), 1);
    const auto session = Session();
    // The worker raises the recorder's flag once per finished frame.
    const auto finishFrames = [&](int count) {
        for (int frame = 0; frame < count; ++frame) {
            session->recorder.recordFrameReady.store(0);
            const auto giveUp = Clock::now() + std::chrono::seconds(10);
            while (session->recorder.recordFrameReady.load() == 0 && Clock::now() < giveUp)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ASSERT_EQ(session->recorder.recordFrameReady.load(), 1);
        }
    };
    // The first frames may size what the worker keeps; count over the frames after them.
    finishFrames(3);
    StartCountingAllocations(session->worker.ThreadId());
    finishFrames(20);
    EXPECT_EQ(StopCountingAllocations(), 0);
    EXPECT_EQ(Kelvra_StopPreview(handle), 1);
}

}  // namespace
