#include "SimClient.h"

#include "kelvra/KelvraSimModel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace simtest;
namespace sim = kelvra::sim;

namespace {

constexpr std::size_t kPiece = 512 * 1024;

class SimFrames : public ::testing::Test {
protected:
    void SetUp() override {
        KelvraSim_Reset();
        camera = Attach(0x3180);
    }
    void TearDown() override { KelvraSim_Reset(); }

    int Attach(unsigned short product) {
        const int camera = KelvraSim_Attach(product);
        device = std::make_unique<Device>(*sim::DevicePath(camera));
        KelvraSim_SetFrameRate(camera, 0);
        return camera;
    }

    void Program(unsigned width, unsigned height, int dataWidthCode) {
        ASSERT_TRUE(device->WriteFpga(68, static_cast<std::uint8_t>(width)));
        ASSERT_TRUE(device->WriteFpga(69, static_cast<std::uint8_t>(width >> 8)));
        ASSERT_TRUE(device->WriteFpga(64, static_cast<std::uint8_t>(height)));
        ASSERT_TRUE(device->WriteFpga(65, static_cast<std::uint8_t>(height >> 8)));
        ASSERT_TRUE(device->WriteFpga(60, static_cast<std::uint8_t>(dataWidthCode)));
    }

    std::optional<Frame> Grab(std::size_t piece = kPiece) {
        EXPECT_TRUE(device->RequestFrame());
        return ReadFrame(*device, piece);
    }

    void EnterTriggerMode() {
        for (const char* command : {"d -y 5820364\r\n", "q -w x30 x01\n", "q -w x3c x00\n", "q -w x3c x01\n"}) {
            ASSERT_TRUE(device->SendText(command));
            ASSERT_NE("NG\r\n", device->ReceiveAll());
        }
    }

    int camera = 0;
    std::unique_ptr<Device> device;
};

std::uint16_t SampleAt(const Frame& frame, std::size_t index, int bytes) {
    return bytes == 2 ? static_cast<std::uint16_t>(frame.payload[2 * index] | frame.payload[2 * index + 1] << 8)
                      : frame.payload[index];
}

TEST_F(SimFrames, AFullFrameArrivesAsHeaderThenPayloadInHalfMebibytePieces) {
    ASSERT_EQ(1, KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_RAMP_H, 3));
    const auto frame = Grab();
    ASSERT_TRUE(frame);
    EXPECT_EQ(1280u * 1024u * 2u, Load32(&frame->header[16]));
    ASSERT_EQ(1280u * 1024u * 2u, frame->payload.size());
    for (std::size_t y = 0; y < 1024; ++y)
        for (std::size_t x = 0; x < 1280; ++x)
            ASSERT_EQ((x * 3) & 0xFFFF, SampleAt(*frame, y * 1280 + x, 2)) << x << "," << y;
    EXPECT_EQ(1, KelvraSim_FramesSent(camera));
}

TEST_F(SimFrames, ScenesFollowTheProgrammedSizeAndSampleWidth) {
    Program(100, 7, 1);
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_RAMP_V, 40);
    auto frame = Grab(37);  // pieces that cut rows anywhere
    ASSERT_TRUE(frame);
    ASSERT_EQ(700u, frame->payload.size());
    for (std::size_t y = 0; y < 7; ++y)
        for (std::size_t x = 0; x < 100; ++x)
            ASSERT_EQ((y * 40) & 0xFF, SampleAt(*frame, y * 100 + x, 1)) << x << "," << y;

    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_FLAT, 0x1234);
    frame = Grab();
    ASSERT_TRUE(frame);
    EXPECT_EQ(0x34, SampleAt(*frame, 699, 1));

    Program(100, 7, 2);
    frame = Grab();
    ASSERT_TRUE(frame);
    ASSERT_EQ(1400u, frame->payload.size());
    EXPECT_EQ(0x1234, SampleAt(*frame, 0, 2));
    EXPECT_EQ(0x1234, SampleAt(*frame, 699, 2));
}

TEST_F(SimFrames, ThePatternMovesFromFrameToFrame) {
    Program(300, 20, 2);
    const auto first = Grab();
    const auto second = Grab();
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->payload, second->payload);
    const std::uint32_t step = Load32(&second->header[32]) - Load32(&first->header[32]);
    ASSERT_EQ(1u, step);
    // What sits at x + 4 in one frame sits at x in the next, on every row.
    for (std::size_t y = 0; y < 20; ++y)
        for (std::size_t x = 0; x + 4 < 300; ++x)
            ASSERT_EQ(SampleAt(*first, y * 300 + x + 4, 2), SampleAt(*second, y * 300 + x, 2)) << x << "," << y;
    // And it is not flat: the rows are a ramp.
    EXPECT_NE(SampleAt(*first, 0, 2), SampleAt(*first, 1, 2));
}

TEST_F(SimFrames, FrameNumbersAndTheFrameCounterRegisterAdvanceTogether) {
    Program(16, 4, 2);
    const auto before = *device->ReadFpga(8);
    const auto frame = Grab();
    ASSERT_TRUE(frame);
    const std::uint32_t number = Load32(&frame->header[32]);
    EXPECT_EQ(static_cast<std::uint16_t>(before + 1), static_cast<std::uint16_t>(number));
    EXPECT_EQ(static_cast<std::uint16_t>(number), *device->ReadFpga(8));
    ASSERT_TRUE(Grab());
    EXPECT_EQ(2, KelvraSim_FramesSent(camera));
    EXPECT_EQ(number + 1, *sim::FrameCounter(camera));
}

TEST_F(SimFrames, AReadWithNothingToDeliverStaysPendingUntilAborted) {
    std::vector<std::uint8_t> header(64);
    BulkRead read(device->Handle(), 0x81, header.data(), 64);
    EXPECT_FALSE(read.Wait(100));
    ASSERT_TRUE(device->SimpleIoctl(kIoctlAbort, {0x81}));
    ASSERT_TRUE(read.Wait(5000));
    DWORD error = 0;
    EXPECT_FALSE(read.Succeeded(nullptr, &error));
    EXPECT_EQ(DWORD{ERROR_OPERATION_ABORTED}, error);

    // CancelIo ends a pending read the same way.
    BulkRead another(device->Handle(), 0x81, header.data(), 64);
    EXPECT_FALSE(another.Wait(50));
    ASSERT_TRUE(CancelIo(device->Handle()));
    ASSERT_TRUE(another.Wait(0));
    EXPECT_FALSE(another.Succeeded(nullptr, &error));
    EXPECT_EQ(DWORD{ERROR_OPERATION_ABORTED}, error);
}

TEST_F(SimFrames, ADroppedHeaderIsRecoveredByTheRestartPulseAndANewRequest) {
    Program(32, 8, 2);
    ASSERT_EQ(1, KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_DROP_HEADER, 1));
    ASSERT_TRUE(device->RequestFrame());
    std::vector<std::uint8_t> header(64);
    {
        BulkRead read(device->Handle(), 0x81, header.data(), 64);
        EXPECT_FALSE(read.Wait(100));
        ASSERT_TRUE(device->SimpleIoctl(kIoctlAbort, {0x81}));
        ASSERT_TRUE(read.Wait(5000));
    }
    ASSERT_TRUE(device->WriteFpga(0x6C, 1));
    ASSERT_TRUE(device->WriteFpga(0x6C, 0));
    const auto frame = Grab();
    ASSERT_TRUE(frame);
    EXPECT_EQ(512u, frame->payload.size());
    EXPECT_EQ(1, KelvraSim_FramesSent(camera));
}

TEST_F(SimFrames, AFailedPayloadReadReportsTheStatusAndLosesTheRestOfTheFrame) {
    Program(64, 64, 2);
    ASSERT_EQ(1, KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_FAIL_PAYLOAD, 1));
    ASSERT_TRUE(device->RequestFrame());
    std::vector<std::uint8_t> data(8192);
    {
        BulkRead header(device->Handle(), 0x81, data.data(), 64);
        ASSERT_TRUE(header.Wait(5000));
        ASSERT_TRUE(header.Succeeded());
    }
    {
        BulkRead payload(device->Handle(), 0x81, data.data(), 4096);
        ASSERT_TRUE(payload.Wait(5000));
        EXPECT_FALSE(payload.Succeeded());
        EXPECT_NE(0u, payload.DriverStatus());
        EXPECT_NE(0u, payload.UsbStatus());
    }
    {
        BulkRead rest(device->Handle(), 0x81, data.data(), 4096);
        EXPECT_FALSE(rest.Wait(50));  // nothing of that frame comes any more
    }
    ASSERT_TRUE(device->WriteFpga(108, 1));
    ASSERT_TRUE(device->WriteFpga(108, 0));
    const auto frame = Grab();
    ASSERT_TRUE(frame);
    EXPECT_EQ(8192u, frame->payload.size());
    EXPECT_EQ(1, KelvraSim_FramesSent(camera));
}

TEST_F(SimFrames, InTriggerModeAFrameComesOnlyAfterATriggerPulse) {
    Program(16, 16, 2);
    ASSERT_EQ(1, KelvraSim_Trigger(camera));  // free-running: a pulse changes nothing
    const auto counter = *device->ReadFpga(8);
    EnterTriggerMode();
    ASSERT_TRUE(device->RequestFrame());
    std::vector<std::uint8_t> header(64);
    BulkRead read(device->Handle(), 0x81, header.data(), 64);
    EXPECT_FALSE(read.Wait(150));
    EXPECT_EQ(counter, *device->ReadFpga(8));

    ASSERT_EQ(1, KelvraSim_Trigger(camera));
    ASSERT_TRUE(read.Wait(5000));
    ASSERT_TRUE(read.Succeeded());
    EXPECT_EQ(static_cast<std::uint16_t>(counter + 1), *device->ReadFpga(8));
    EXPECT_EQ(static_cast<std::uint16_t>(counter + 1), static_cast<std::uint16_t>(Load32(&header[32])));

    // A pulse before the request leaves its frame waiting for it, as the host's counter poll expects.
    std::vector<std::uint8_t> payload(512);
    BulkRead rest(device->Handle(), 0x81, payload.data(), 512);
    ASSERT_TRUE(rest.Wait(5000));
    ASSERT_EQ(1, KelvraSim_Trigger(camera));
    EXPECT_EQ(static_cast<std::uint16_t>(counter + 2), *device->ReadFpga(8));
    const auto next = Grab();
    ASSERT_TRUE(next);
    EXPECT_EQ(static_cast<std::uint16_t>(counter + 2), static_cast<std::uint16_t>(Load32(&next->header[32])));
}

TEST_F(SimFrames, UnplugFailsAPendingReadAndReplugStreamsAgain) {
    Program(8, 8, 2);
    std::vector<std::uint8_t> header(64);
    BulkRead read(device->Handle(), 0x81, header.data(), 64);
    EXPECT_FALSE(read.Wait(50));
    ASSERT_EQ(1, KelvraSim_Unplug(camera));
    ASSERT_TRUE(read.Wait(5000));
    EXPECT_FALSE(read.Succeeded());

    ASSERT_EQ(1, KelvraSim_Replug(camera));
    device = std::make_unique<Device>(*sim::DevicePath(camera));
    ASSERT_TRUE(device->IsOpen());
    const auto frame = Grab();
    ASSERT_TRUE(frame);
    EXPECT_EQ(128u, frame->payload.size());  // the board kept its programming
}

TEST_F(SimFrames, AFreeRunningSensorAdvancesTheCounterOnItsOwn) {
    Program(8, 8, 2);
    ASSERT_EQ(1, KelvraSim_SetFrameRate(camera, 200));
    const auto before = *sim::FrameCounter(camera);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_GT(*sim::FrameCounter(camera), before);
    const auto frame = Grab();
    ASSERT_TRUE(frame);
    EXPECT_GT(Load32(&frame->header[32]), before);
}

TEST_F(SimFrames, BufferedReadsCarryTheSetupHeaderBeforeTheData) {
    Program(8, 8, 2);
    ASSERT_TRUE(device->RequestFrame());
    BulkRead read(device->Handle(), 0x81, nullptr, 64, true);
    ASSERT_TRUE(read.Wait(5000));
    DWORD count = 0;
    ASSERT_TRUE(read.Succeeded(&count));
    EXPECT_EQ(38u + 64u, count);
    EXPECT_EQ(128u, Load32(read.BufferedData() + 16));
}

TEST_F(SimFrames, TheSingleTransferModelSendsTheWholeFrameOnEndpoint83) {
    const int camera = Attach(0x3042);
    KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_FLAT, 0x0203);
    // Its sample width is the mode byte's: one byte until the host asks for two.
    for (const std::uint8_t modeByte : {0, 1}) {
        SCOPED_TRACE(modeByte);
        ASSERT_TRUE(device->Control(0x40, 0x3C, 0, 0, {modeByte, 0, 0, 0}).ok);
        ASSERT_TRUE(device->RequestFrame());
        std::vector<std::uint8_t> data(100000);
        BulkRead read(device->Handle(), 0x83, data.data(), static_cast<DWORD>(data.size()));
        ASSERT_TRUE(read.Wait(5000));
        DWORD count = 0;
        ASSERT_TRUE(read.Succeeded(&count));
        EXPECT_EQ(data.size(), count);
        EXPECT_EQ(0x03, data[0]);
        EXPECT_EQ(modeByte ? 0x02 : 0x03, data[1]);
        EXPECT_EQ(modeByte ? 0x02 : 0x03, data[99999]);
    }
    EXPECT_EQ(2, KelvraSim_FramesSent(camera));
}

TEST_F(SimFrames, AFrameTooLargeForTheFpgaIsAnnouncedEmpty) {
    Program(0xFFFF, 0xFFFF, 2);
    const auto frame = Grab();
    ASSERT_TRUE(frame);
    EXPECT_EQ(0u, Load32(&frame->header[16]));
    EXPECT_EQ(1, KelvraSim_FramesSent(camera));
}

}  // namespace
