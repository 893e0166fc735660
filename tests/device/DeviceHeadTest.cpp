// Controls of the 880HQLN through the device object, checked on the simulated head.
#include "SimulatedDevice.h"
#include "sensors/Sensor880HQLN.h"

#include <algorithm>
#include <vector>

namespace {

using kelvra::sim::HeadLog;

class DeviceHead : public SimulatedDevice {
protected:
    void SetUp() override {
        SimulatedDevice::SetUp();
        camera = Attach(0x3180);
        ASSERT_EQ(Open(camera, 0x3180), 1);
        head = dynamic_cast<CSensor880HQLN*>(device->Sensor());
        ASSERT_NE(head, nullptr);
        head->SetReplyTimeLimit(3000);
        ASSERT_EQ(head->SetDebugMode(0), 1);  // debug mode is one state for the whole process
        kelvra::sim::ClearLogs(camera);
    }

    size_t Count(const std::string& command) {
        const auto log = HeadLog(camera);
        return static_cast<size_t>(
            std::count_if(log.begin(), log.end(), [&](const auto& entry) { return entry.command == command; }));
    }

    int camera = 0;
    CSensor880HQLN* head = nullptr;
};

TEST_F(DeviceHead, GainIsClampedBeforeItReachesTheHead) {
    ASSERT_EQ(device->SetGlobalGain(300), 1);
    EXPECT_EQ(Count("g -v 255"), 1u);
    EXPECT_EQ(kelvra::sim::GetHeadState(camera)->gain, 255);
    EXPECT_EQ(device->GetGlobalGain(), 255);
    EXPECT_EQ(device->GetGlobalGainMax(), 255);
}

TEST_F(DeviceHead, ExposureSurvivesRejectionsUpToTheRetryCount) {
    KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_HEAD_NG, 2);
    ASSERT_EQ(device->SetExposureTime(60000), 1);
    EXPECT_EQ(Count("i -v 60000"), 3u);
    EXPECT_EQ(kelvra::sim::GetHeadState(camera)->exposure, 60000);
    EXPECT_EQ(device->GetExposureTime(), 60000);
    EXPECT_EQ(device->TransferTimeout(), 12000u);

    KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_HEAD_NG, 3);
    EXPECT_EQ(device->SetExposureTime(700), 0);
    EXPECT_EQ(device->GetExposureTime(), 60000);
    EXPECT_EQ(kelvra::sim::GetHeadState(camera)->exposure, 60000);
    EXPECT_EQ(device->TransferTimeout(), 5000u);
}

TEST_F(DeviceHead, SilentHeadFailsTheCommand) {
    head->SetReplyTimeLimit(400);
    KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_HEAD_SILENT, 1);
    EXPECT_EQ(device->SetGlobalGain(20), 0);
    EXPECT_EQ(device->GetGlobalGain(), 128);
    EXPECT_EQ(device->SetGlobalGain(20), 1);
}

TEST_F(DeviceHead, TriggerModeEntersDebugModeOnceAndWritesTheHeadFpgaInOrder) {
    ASSERT_EQ(head->SetTriggerMode(1), 1);
    std::vector<std::string> commands;
    for (const auto& entry : HeadLog(camera)) commands.push_back(entry.command);
    EXPECT_EQ(commands, (std::vector<std::string>{"d -y 5820364", "q -w x30 x01", "q -w x3c x00", "q -w x3c x01"}));
    EXPECT_TRUE(kelvra::sim::GetHeadState(camera)->triggerMode);
    EXPECT_EQ(kelvra::sim::PeekHeadFpga(camera, 0x30), 1);
    int32_t mode = 0;
    EXPECT_EQ(device->GetTriggerMode(&mode), 1);
    EXPECT_EQ(mode, 1);
}

TEST_F(DeviceHead, DeviceTriggerModeReachesTheHeadUnlessItIsAlreadySet) {
    ASSERT_EQ(device->SetTriggerMode(1, 0), 1);
    EXPECT_EQ(Count("q -w x30 x01"), 1u);
    EXPECT_EQ(Count("q -w x3c x01"), 1u);
    const auto i2c = kelvra::sim::I2cLog(camera);
    const bool counterRead = std::any_of(i2c.begin(), i2c.end(), [](const auto& record) {
        return record.address == 0x40 && !record.read && record.bytes == std::vector<uint8_t>{8};
    });
    EXPECT_TRUE(counterRead);

    kelvra::sim::ClearLogs(camera);
    EXPECT_EQ(device->SetTriggerMode(1, 0), 1);
    EXPECT_TRUE(HeadLog(camera).empty());
    EXPECT_EQ(device->SetTriggerMode(0, 0), 1);
    EXPECT_EQ(Count("q -w x30 x00"), 1u);
    EXPECT_FALSE(kelvra::sim::GetHeadState(camera)->triggerMode);
}

TEST_F(DeviceHead, TextChannelCarriesRawCommands) {
    ASSERT_EQ(device->SendSensorText("n\r\n", 3), 1);
    char line[64] = {};
    int32_t received = 0;
    for (int attempt = 0; attempt < 5 && received == 0; ++attempt) received = device->ReceiveSensorText(line, 63);
    EXPECT_EQ(received, 19);
    EXPECT_STREQ(line, "KELVRA-880HQLN-CL\r\n");

    char small[4] = {'#', '#', '#', '#'};
    EXPECT_NE(device->SendSensorText("x -c\r\n", 6), 0);
    received = 0;
    for (int attempt = 0; attempt < 5 && received == 0; ++attempt) received = device->ReceiveSensorText(small, 2);
    EXPECT_EQ(received, 4);
    EXPECT_EQ(std::string(small, 4), "OK##");
}

TEST_F(DeviceHead, RegisterPaths) {
    int32_t success = -1;
    ASSERT_EQ(device->WriteFpgaRegister(0x140, 0x1FF), 1);  // low bytes only: register 0x40 := 0xFF
    EXPECT_EQ(kelvra::sim::PeekFpga(camera, 0x40), 0xFF);
    EXPECT_EQ(device->ReadFpgaRegister(0x40, &success), 0xFF);
    EXPECT_EQ(success, 1);
    EXPECT_EQ(device->ReadFpgaRegister(0x40, nullptr), 0xFF);
}

TEST_F(DeviceHead, TextChannelBelongsToThe880HQLNOnly) {
    device->SetProductId(0x3040);
    EXPECT_EQ(device->SendSensorText("n\r\n", 3), 0);
    char line[8];
    EXPECT_EQ(device->ReceiveSensorText(line, sizeof(line)), 0);
    EXPECT_TRUE(HeadLog(camera).empty());
}

}  // namespace
