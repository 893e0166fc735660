// The controller against simulated cameras: numbering, unplug and replug, what the camera receives
// for each request, and frames read through header and payload.
#include "UsbTestSupport.h"

#include "kelvra/KelvraSimModel.h"

#include <algorithm>

namespace usbtest {
namespace {

namespace sim = kelvra::sim;

class SimCameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kelvra::usb::SetSharedTableName(IsolatedTableName().c_str());
        KelvraSim_Reset();
    }
    void TearDown() override { KelvraSim_Reset(); }

    int RowOf(CKelvCy3Cam& controller, int camera)
    {
        const std::string path = sim::DevicePath(camera).value_or("");
        for (int row = 0; row < controller.EntryCount(); ++row)
            if (path == controller.DeviceEntry(row).devicePath)
                return row;
        return -1;
    }

    std::unique_ptr<CKelvCy3Cam> Open(int camera)
    {
        auto controller = std::make_unique<CKelvCy3Cam>();
        controller->EnumerateDevices();
        EXPECT_EQ(1, controller->SelectDevice(RowOf(*controller, camera)));
        EXPECT_EQ(1, controller->AllocateTransferBuffer());
        sim::ClearLogs(camera);
        return controller;
    }
};

TEST_F(SimCameraTest, CamerasAreNumberedPerModelAndKeepTheirNumberAcrossReplug)
{
    const int first = KelvraSim_Attach(0x3180);
    const int other = KelvraSim_Attach(0x3040);
    const int second = KelvraSim_Attach(0x3180);
    ASSERT_TRUE(first && other && second);
    CKelvCy3Cam controller;
    ASSERT_EQ(3, controller.EnumerateDevices());
    EXPECT_EQ(KELVRA_SIM_VENDOR_ID, controller.DeviceEntry(0).vendorId);
    EXPECT_EQ(0, controller.DeviceEntry(RowOf(controller, first)).deviceNumber);
    EXPECT_EQ(0, controller.DeviceEntry(RowOf(controller, other)).deviceNumber);
    EXPECT_EQ(1, controller.DeviceEntry(RowOf(controller, second)).deviceNumber);

    ASSERT_EQ(1, KelvraSim_Unplug(first));
    EXPECT_EQ(1, controller.CountDevices(0x3180));
    EXPECT_FALSE(controller.IsDeviceNumberPresent(0x3180, 0));
    ASSERT_EQ(1, KelvraSim_Replug(first));
    EXPECT_EQ(2, controller.CountDevices(0x3180));
    EXPECT_EQ(3, controller.EntryCount());
    EXPECT_EQ(0, RowOf(controller, first));
    EXPECT_EQ(0, controller.FindDeviceRow(0x3180, 0));
    EXPECT_TRUE(controller.IsDeviceNumberPresent(0x3180, 0));
}

TEST_F(SimCameraTest, CameraReceivesRegisterAndEepromRequestsAsLaidOut)
{
    const int camera = KelvraSim_Attach(0x3180);
    auto controller = Open(camera);

    ASSERT_EQ(1, controller->WriteRegister32(0x8005, 0x01020304));
    std::vector<sim::ControlRecord> log = sim::ControlLog(camera);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(0x40, log.back().requestType);
    EXPECT_EQ(0xD0, log.back().request);
    EXPECT_EQ(1, log.back().value);
    EXPECT_EQ(0x0005, log.back().index);
    ASSERT_GE(log.back().dataOut.size(), 4u);
    EXPECT_EQ((std::vector<uint8_t>{4, 3, 2, 1}), std::vector<uint8_t>(log.back().dataOut.begin(),
                                                                        log.back().dataOut.begin() + 4));

    ASSERT_TRUE(sim::PokeEeprom(camera, 0x0123, 0xAB));
    sim::ClearLogs(camera);
    uint8_t value = 0;
    ASSERT_EQ(1, controller->ReadSromByte(0x0123, &value));
    EXPECT_EQ(0xAB, value);
    const std::vector<sim::I2cRecord> i2c = sim::I2cLog(camera);
    ASSERT_EQ(2u, i2c.size());
    EXPECT_EQ(0xA2, i2c[0].address);
    EXPECT_FALSE(i2c[0].read);
    EXPECT_EQ((std::vector<uint8_t>{0x01, 0x23}), i2c[0].bytes);
    EXPECT_EQ(0xA2, i2c[1].address);
    EXPECT_TRUE(i2c[1].read);
    EXPECT_EQ((std::vector<uint8_t>{0xAB}), i2c[1].bytes);

    ASSERT_EQ(1, controller->WriteSromByte(0x0200, 0x5C));
    EXPECT_EQ(0x5C, sim::PeekEeprom(camera, 0x0200).value_or(0));
}

TEST_F(SimCameraTest, BoardStateReadsBackThroughTheController)
{
    const int camera = KelvraSim_Attach(0x3180);
    auto controller = Open(camera);

    ASSERT_TRUE(sim::PokeFpga(camera, 0x10, 0x00AB));
    ASSERT_TRUE(sim::PokeFpga(camera, 0x11, 0x00CD));
    uint16_t pair = 0;
    ASSERT_EQ(1, controller->ReadFpgaRegisterPair(&pair));
    EXPECT_EQ(0xCDAB, pair);
    ASSERT_EQ(1, controller->WriteFpgaRegister(0x20, 0x05));
    const std::vector<sim::FpgaWrite> writes = sim::FpgaWriteLog(camera);
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(0x20, writes.back().reg);
    EXPECT_EQ(0x0005, writes.back().value);

    uint8_t info[64] = {};
    ASSERT_EQ(1, controller->ReadCameraInfo(info));
    const auto record = sim::GetInfoRecord(camera, 1);
    ASSERT_TRUE(record);
    EXPECT_TRUE(std::equal(record->begin(), record->end(), info));
    ASSERT_EQ(1, controller->ReadCameraInfo2(info));
    const auto record2 = sim::GetInfoRecord(camera, 2);
    ASSERT_TRUE(record2);
    EXPECT_TRUE(std::equal(record2->begin(), record2->end(), info));

    ASSERT_TRUE(sim::SetBusSpeed(camera, 3));
    int speed = 0;
    EXPECT_EQ(1, controller->GetBusSpeed(&speed));
    EXPECT_EQ(3, speed);
    ASSERT_TRUE(sim::SetReadyState(camera, 1));
    uint8_t ready = 0;
    EXPECT_EQ(1, controller->ReadReadyState(&ready));
    EXPECT_EQ(1, ready);
}

TEST_F(SimCameraTest, FrameArrivesThroughHeaderAndPayload)
{
    const int camera = KelvraSim_Attach(0x3180);
    ASSERT_EQ(1, KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_FLAT, 0x0321));
    auto controller = Open(camera);
    FrameRequest frame{};
    ASSERT_EQ(1, controller->OpenStream());
    ASSERT_EQ(1, controller->ReadFrameHeader(&frame, 100));
    const uint32_t payload = kelvra::usb::HeaderWord(frame, 16);
    ASSERT_GT(payload, 524288u);
    EXPECT_EQ(kelvra::usb::HeaderWord(frame, 32), frame.frameNumber);

    std::vector<uint8_t> destination(payload, 0);
    frame.destination = destination.data();
    frame.capacity = payload;
    ASSERT_EQ(1, controller->ReadFramePayload(&frame, 5000));
    for (std::size_t i = 0; i < destination.size(); i += 2)
        ASSERT_EQ(0x0321, destination[i] | destination[i + 1] << 8) << "at byte " << i;
    EXPECT_EQ(1, KelvraSim_FramesSent(camera));
}

TEST_F(SimCameraTest, MissingHeadersArePulsedForAndTheFrameStillComes)
{
    const int camera = KelvraSim_Attach(0x3180);
    auto controller = Open(camera);
    ASSERT_EQ(1, KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_DROP_HEADER, 2));
    FrameRequest frame{};
    ASSERT_EQ(1, controller->ReadFrameHeader(&frame, 100));
    EXPECT_NE(0u, kelvra::usb::HeaderWord(frame, 16));

    std::vector<std::pair<uint8_t, uint16_t>> pulses;
    for (const sim::FpgaWrite& write : sim::FpgaWriteLog(camera))
        if (write.reg == 0x6C)
            pulses.push_back({write.reg, write.value});
    const std::vector<std::pair<uint8_t, uint16_t>> expected = {{0x6C, 1}, {0x6C, 0}, {0x6C, 1}, {0x6C, 0}};
    EXPECT_EQ(expected, pulses);
}

TEST_F(SimCameraTest, PendingTransferIsAbortedAndTheStreamStaysUsable)
{
    const int camera = KelvraSim_Attach(0x3180);
    auto controller = Open(camera);
    ASSERT_EQ(1, controller->OpenStream());
    // Without a frame requested nothing comes: the read stays pending until it is aborted.
    std::vector<uint8_t> header(64);
    uint32_t count = 7;
    EXPECT_EQ(0, controller->TransferDirectTimed(controller->StreamHandle(), header.data(), 64, 0x81, &count, 50));
    EXPECT_EQ(int(ERROR_IO_PENDING), controller->SubmissionOutcome());
    EXPECT_EQ(0u, count);
    header.clear();
    header.shrink_to_fit();

    FrameRequest frame{};
    EXPECT_EQ(1, controller->ReadFrameHeader(&frame, 100));
}

TEST_F(SimCameraTest, UnpluggedCameraFailsItsPendingRead)
{
    const int camera = KelvraSim_Attach(0x3180);
    auto controller = Open(camera);
    ASSERT_EQ(1, controller->OpenStream());
    ASSERT_EQ(1, KelvraSim_Unplug(camera));
    FrameRequest frame{};
    EXPECT_EQ(0, controller->ReadFrameHeader(&frame, 100));
    EXPECT_EQ(0, controller->SelectDevice(0));
}

}  // namespace
}  // namespace usbtest
