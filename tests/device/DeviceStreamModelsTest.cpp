// Streaming paths that depend on the camera model: the model that sends each frame in one
// transfer from its own endpoint, the boards whose bulk pipe is reset after a failed transfer,
// and the converter board that sends three samples per pixel.
#include "DeviceTestAccess.h"
#include "SimulatedDevice.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int32_t kGaveUp = 1;
constexpr int32_t kFrameReady = 3;
constexpr uint8_t kFrameEndpoint = 0x81;

using kelvra::sim::EndpointAction;

class DeviceStreamModels : public ScriptedDevice {
protected:
    void TearDown() override {
        if (device) device->StopStreaming();
        SimulatedDevice::TearDown();
    }

    // A small window keeps frames of the large-sensor models cheap; the scripted head keeps it.
    void OpenWithSmallWindow(unsigned short productId) {
        OpenWithHead(productId);
        ASSERT_EQ(device->SetVideoFormat(0, 0, 64, 32, 0), 1);
    }

    size_t Count(EndpointAction action, uint8_t endpoint = 0) const {
        const auto log = kelvra::sim::EndpointLog(camera);
        return static_cast<size_t>(std::count_if(log.begin(), log.end(), [&](const auto& request) {
            return request.action == action && request.endpoint == endpoint;
        }));
    }

    // Waits in short slices so that a stream that never signals still ends the wait.
    int32_t WaitForResult(int32_t wanted) {
        int32_t result = 0;
        for (int i = 0; i < 300 && result != wanted; ++i) result = device->WaitFrame(100);
        return result;
    }
};

TEST_F(DeviceStreamModels, SingleTransferModelStreamsWholeFrames) {
    OpenWithSmallWindow(0x3042);
    ASSERT_EQ(device->SetDataWidth(0), 1);  // one byte per pixel, told to the camera as well
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_FLAT, 0x5A);
    ASSERT_EQ(device->StartStreaming(0), 1);
    std::vector<uint8_t> frame(device->FrameBytes(), 0);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(device->WaitFrame(3000), kFrameReady);
        ASSERT_EQ(device->CopyNextFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1), 1);
    }
    EXPECT_EQ(std::count(frame.begin(), frame.end(), 0x5A), static_cast<long>(frame.size()));
    EXPECT_GE(KelvraSim_FramesSent(camera), 3);
}

TEST_F(DeviceStreamModels, SingleTransferModelRetriesNineTimesAndGivesUpAtTheTenth) {
    OpenWithSmallWindow(0x3042);
    ASSERT_EQ(device->SetStreamMode(1), 1);
    KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_FAIL_PAYLOAD, 9);
    kelvra::sim::ClearLogs(camera);
    ASSERT_EQ(device->StartStreaming(1), 1);
    ASSERT_EQ(WaitForResult(kFrameReady), kFrameReady);
    std::vector<uint8_t> frame(device->FrameBytes());
    ASSERT_EQ(device->CopyNextFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1), 1);
    // Each failure resets the port and the bulk pipe before the next attempt.
    EXPECT_EQ(Count(EndpointAction::ResetPort), 9u);
    EXPECT_EQ(Count(EndpointAction::ResetPipe, kFrameEndpoint), 9u);
    device->StopStreaming();

    KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_FAIL_PAYLOAD, 10);
    ASSERT_EQ(device->StartStreaming(0), 1);
    EXPECT_EQ(WaitForResult(kGaveUp), kGaveUp);
    EXPECT_EQ(device->IsStreaming(), 0);
}

struct PipeResetCase {
    unsigned short productId;
    bool resetsPipe;
};

TEST_F(DeviceStreamModels, ListedBoardsResetTheirPipeAfterAFailedTransfer) {
    for (const PipeResetCase c : {PipeResetCase{0x3100, true}, PipeResetCase{0x32D0, true},
                                  PipeResetCase{0x3180, false}, PipeResetCase{0x3140, false}}) {
        SCOPED_TRACE(testing::Message() << std::hex << c.productId);
        NextCamera();
        OpenWithSmallWindow(c.productId);
        ASSERT_EQ(device->ApplyImageSize(), 1);
        KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_FAIL_PAYLOAD, 1);
        kelvra::sim::ClearLogs(camera);
        ASSERT_EQ(device->StartStreaming(0), 1);
        ASSERT_EQ(WaitForResult(kFrameReady), kFrameReady);
        EXPECT_EQ(Count(EndpointAction::ResetPipe, kFrameEndpoint), c.resetsPipe ? 1u : 0u);
    }
}

TEST_F(DeviceStreamModels, ConverterBoardFramesAreCopiedWhole) {
    OpenWithSmallWindow(0x3130);
    ASSERT_EQ(device->SetDataWidth(1), 1);
    ASSERT_EQ(device->FrameBytes(), 64u * 32u * 2u * 3u);
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_FLAT, 0x1111);
    ASSERT_EQ(device->CaptureSingleFrame(), 0);
    std::vector<uint8_t> frame(device->FrameBytes(), 0xEE);
    ASSERT_EQ(device->CopyLatestFrame(frame.data(), 1), 0);
    EXPECT_EQ(std::count(frame.begin(), frame.end(), 0x11), static_cast<long>(frame.size()));
}

}  // namespace
