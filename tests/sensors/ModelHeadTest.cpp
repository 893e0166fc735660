// The drivers of the heads with their own controller (the P-models and the CCD), opened by the
// device core on simulated cameras: what they report, and what reaches the head's registers.
#include "device/SimulatedDevice.h"
#include "TestEnvironment.h"

#include "sensors/models/ModelSensors.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Set before main: the debug output is configured once per process.
const bool kSensorLogOn = SetTestEnvironment("KELVRA_DEBUG", "sensor");

// Every product id whose driver talks to a head of its own.
const unsigned short kProducts[] = {0x3050, 0x3090, 0x30B0, 0x30C0, 0x3130, 0x3140, 0x3150, 0x3170,
                                    0x3190, 0x31A0, 0x31D0, 0x31E0, 0x3210, 0x3220, 0x32D0};

class ModelHeads : public SimulatedDevice {
protected:
    void TearDown() override {
        if (device) device->StopStreaming();
        SimulatedDevice::TearDown();
    }

    CSensorBase& OpenProduct(unsigned short productId) {
        camera = Attach(productId);
        EXPECT_EQ(Open(camera, productId), 1) << std::hex << productId;
        return *device->Sensor();
    }

    // The value of `count` head registers from `reg` on, low byte first.
    uint32_t HeadValue(uint16_t reg, int count) const {
        uint32_t value = 0;
        for (int i = count - 1; i >= 0; --i)
            value = value << 8 | kelvra::sim::PeekHeadRegister(camera, static_cast<uint16_t>(reg + i)).value_or(0);
        return value;
    }

    std::vector<kelvra::sim::HeadRegisterWrite> Writes() const { return kelvra::sim::HeadRegisterLog(camera); }

    int camera = 0;
};

TEST_F(ModelHeads, OpeningRunsTheHeadAndProgramsItsWholeAreaAndDefaults) {
    for (const unsigned short productId : kProducts) {
        SCOPED_TRACE(testing::Message() << "product 0x" << std::hex << productId);
        KelvraSim_Reset();
        ASSERT_EQ(device->CreateController(nullptr, nullptr), 1);
        const SensorParameters p = OpenProduct(productId).Parameters();
        EXPECT_EQ(HeadValue(head::kRunState, 1), head::kRun);
        EXPECT_EQ(HeadValue(head::kWindow, 4), 0u);
        EXPECT_EQ(HeadValue(head::kWindow + 4, 2), static_cast<uint32_t>(p.sensorWidth));
        EXPECT_EQ(HeadValue(head::kWindow + 6, 2), static_cast<uint32_t>(p.sensorHeight));
        if (p.exposureSupported) {
            EXPECT_EQ(HeadValue(head::kExposure, 4), static_cast<uint32_t>(p.exposure));
        }
        if (p.gainSupported) {
            EXPECT_EQ(HeadValue(head::kGain, 2), static_cast<uint32_t>(p.gain));
        }
        device->CloseDevice();
    }
}

TEST_F(ModelHeads, WindowsInsideTheAreaReachTheHeadOthersLeaveTheWindowAsItWas) {
    OpenProduct(0x3190);
    ASSERT_EQ(device->SetVideoFormat(64, 100, 256, 48, 0), 1);
    EXPECT_EQ(HeadValue(head::kWindow, 2), 64u);
    EXPECT_EQ(HeadValue(head::kWindow + 2, 2), 100u);
    EXPECT_EQ(HeadValue(head::kWindow + 4, 2), 256u);
    EXPECT_EQ(HeadValue(head::kWindow + 6, 2), 48u);

    for (const auto& [x, y, w, h, s] : std::vector<std::array<int32_t, 5>>{
             {300, 0, 256, 48, 0}, {0, 32760, 64, 16, 0}, {0, 0, 0, 16, 0}, {-1, 0, 64, 16, 0}, {0, 0, 64, 16, 1}}) {
        EXPECT_EQ(device->SetVideoFormat(x, y, w, h, s), 0) << x << "," << y << " " << w << "x" << h << " /" << s;
    }
    int32_t x = 0, y = 0, w = 0, h = 0, s = 0;
    ASSERT_EQ(device->GetVideoFormat(&x, &y, &w, &h, &s), 1);
    EXPECT_EQ((std::array<int32_t, 5>{x, y, w, h, s}), (std::array<int32_t, 5>{64, 100, 256, 48, 0}));
    EXPECT_EQ(HeadValue(head::kWindow + 4, 2), 256u);
}

TEST_F(ModelHeads, ExposureInEveryUnitIsClampedAndWrittenAsOneValue) {
    CSensorBase& p3150 = OpenProduct(0x3150);
    kelvra::sim::ClearLogs(camera);
    // 10 ms in units of 100 us; the head counts periods of its 6.25 MHz clock.
    ASSERT_EQ(p3150.SetExposureTime(100), 1);
    EXPECT_EQ(HeadValue(head::kExposure, 4), 62500u);
    const auto writes = Writes();
    ASSERT_EQ(writes.size(), 4u);  // one transaction: the head never holds half a value
    EXPECT_EQ(writes[0].reg, head::kExposure);
    EXPECT_EQ(writes[0].value, 62500 & 0xFF);

    ASSERT_EQ(p3150.SetExposureSeconds(100.0), 1);  // beyond the longest exposure of the head
    double seconds = 0;
    ASSERT_EQ(p3150.GetExposureSeconds(&seconds), 1);
    EXPECT_DOUBLE_EQ(seconds, 0xFFFFFF * 0.16e-6);
    EXPECT_EQ(HeadValue(head::kExposure, 4), 0xFFFFFFu);
    int32_t time = 0;
    ASSERT_EQ(p3150.GetExposureTime(&time), 1);
    EXPECT_EQ(time, 26843);  // trunc(2.6843545 s * 10000)

    ASSERT_EQ(device->SetExposureTime(0x7FFFFFFF), 1);  // the device passes the raw value
    EXPECT_EQ(device->GetExposureTime(), 0xFFFFFF);
    EXPECT_EQ(p3150.SetExposureSeconds(std::nan("")), 0);
}

TEST_F(ModelHeads, MirrorsShareOneRegisterAndTheDeviceSwapsTheirSense) {
    OpenProduct(0x3170);
    ASSERT_EQ(device->SetMirrorH(1), 1);  // the device's horizontal mirror is the sensor's vertical
    EXPECT_EQ(HeadValue(head::kMirror, 1), 2u);
    ASSERT_EQ(device->SetMirrorV(1), 1);
    EXPECT_EQ(HeadValue(head::kMirror, 1), 3u);
    ASSERT_EQ(device->SetMirrorH(0), 1);
    EXPECT_EQ(HeadValue(head::kMirror, 1), 1u);
    EXPECT_EQ(device->GetMirrorV(), 1);
    EXPECT_EQ(device->GetMirrorH(), 0);
}

TEST_F(ModelHeads, ChannelHeadsKeepGainAndOffsetPerChannelAndGoToStandbyAtClose) {
    OpenProduct(0x30B0);
    ASSERT_EQ(device->SetChannelGain(2, 5000), 1);
    ASSERT_EQ(device->SetChannelOffset(3, 0x1FFFF), 1);  // clamped to the offset range
    EXPECT_EQ(device->SetChannelGain(4, 100), 0);
    EXPECT_EQ(device->GetChannelGain(2), 5000);
    EXPECT_EQ(device->GetChannelGain(1), 4096);
    EXPECT_EQ(device->GetChannelOffset(3), 0xFFFF);
    EXPECT_EQ(device->GetChannelGainMax(), 0xFFFF);
    EXPECT_EQ(HeadValue(head::kChannels + 4, 2), 5000u);
    EXPECT_EQ(HeadValue(head::kChannels + 10, 2), 0xFFFFu);

    ASSERT_EQ(device->Sensor()->SetLevel(2000), 1);
    int32_t level = 0;
    ASSERT_EQ(device->Sensor()->GetLevel(&level), 1);
    EXPECT_EQ(level, 1023);
    EXPECT_EQ(HeadValue(head::kLevel, 2), 1023u);

    device->CloseDevice();
    EXPECT_EQ(HeadValue(head::kRunState, 1), head::kStandby);
}

TEST_F(ModelHeads, TriggerModeReachesTheHead) {
    OpenProduct(0x3190);
    ASSERT_EQ(device->SetTriggerMode(1, 0), 1);
    EXPECT_EQ(HeadValue(head::kTriggerMode, 1), 1u);
    int32_t mode = 0;
    ASSERT_EQ(device->GetTriggerMode(&mode), 1);
    EXPECT_EQ(mode, 1);
    ASSERT_EQ(device->SetTriggerMode(0, 0), 1);
    EXPECT_EQ(HeadValue(head::kTriggerMode, 1), 0u);

    // The CCD head takes it the same way (its device path also gates the board, and waits for
    // frame-counter synchronisation, which is the device's business).
    KelvraSim_Reset();
    ASSERT_EQ(device->CreateController(nullptr, nullptr), 1);
    CSensorBase& ccd = OpenProduct(0x3050);
    ASSERT_EQ(ccd.SetTriggerMode(2), 1);
    EXPECT_EQ(HeadValue(head::kTriggerMode, 1), 2u);
    ASSERT_EQ(ccd.GetTriggerMode(&mode), 1);
    EXPECT_EQ(mode, 2);
}

TEST_F(ModelHeads, HeadsWithoutAControlSendNothingForIt) {
    CSensorBase& converter = OpenProduct(0x3130);
    kelvra::sim::ClearLogs(camera);
    EXPECT_EQ(converter.SetGain(10), 0);
    EXPECT_EQ(converter.SetExposure(10), 0);
    EXPECT_EQ(converter.SetMirrorH(1), 0);
    EXPECT_EQ(converter.SetLevel(1), 0);
    EXPECT_EQ(converter.SetChannelGain(1, 1), 0);
    // The board's trigger is the only one this camera has: the driver just notes the mode.
    EXPECT_EQ(converter.SetTriggerMode(1), 1);
    EXPECT_TRUE(Writes().empty());
    ASSERT_EQ(converter.SetFrameRate(1, 30), 1);
    EXPECT_EQ(HeadValue(head::kFrameRate, 3), 1u | 30u << 8);
    EXPECT_EQ(converter.SetFrameRate(1, 0), 0);
}

TEST_F(ModelHeads, AHeadThatIsNotReadyFailsTheOpen) {
    camera = Attach(0x3140);
    ASSERT_TRUE(kelvra::sim::SetHeadReading(camera, kelvra::sim::HeadReading::Ready, 0));
    EXPECT_EQ(Open(camera, 0x3140), 0);
    EXPECT_EQ(HeadValue(head::kRunState, 1), 0u);
}

TEST_F(ModelHeads, AnalogModeOf31E0MovesTheShortestExposureAndAppliesTheExposureAgain) {
    CSensorBase& head31E0 = OpenProduct(0x31E0);
    ASSERT_EQ(head31E0.SetExposureSeconds(0.00001), 1);  // below the shortest: clamped
    EXPECT_EQ(HeadValue(head::kExposure, 4), 56u);       // microseconds

    ASSERT_EQ(head31E0.SetAnalogMode(3), 1);
    EXPECT_EQ(kelvra::sim::PeekFpga(camera, boardfpga::kAnalogMode).value_or(0) & 0xFF, 3);
    double shortest = 0;
    ASSERT_EQ(head31E0.GetExposureSecondsMin(&shortest), 1);
    EXPECT_DOUBLE_EQ(shortest, 0.000128);
    EXPECT_EQ(HeadValue(head::kExposure, 4), 128u);

    kelvra::sim::ClearLogs(camera);
    ASSERT_EQ(head31E0.SetAnalogMode(0), 1);
    ASSERT_EQ(head31E0.GetExposureSecondsMin(&shortest), 1);
    EXPECT_DOUBLE_EQ(shortest, 0.000056);
    EXPECT_EQ(Writes().size(), 4u);  // the exposure, applied again unchanged
    EXPECT_EQ(HeadValue(head::kExposure, 4), 128u);
    EXPECT_EQ(head31E0.SetAnalogMode(9), 0);

    // The device's mode switch of this product is the analog mode.
    int32_t step = -1;
    ASSERT_EQ(head31E0.GetAnalogMode(&step), 1);
    EXPECT_EQ(step, 0);
}

TEST_F(ModelHeads, GainStepsOf32D0HaveTheirLabelsAndReachTheHead) {
    CSensorBase& head32D0 = OpenProduct(0x32D0);
    const char* labels[] = {"0.66x", "1.85x", "2.49x", "3.68x", "1.29x", "3.70x", "4.95x", "7.25x"};
    for (int32_t step = 0; step < 8; ++step) {
        char label[16] = {};
        ASSERT_EQ(device->GetGainStepLabel(step, label), 1);
        EXPECT_STREQ(label, labels[step]);
    }
    char label[16] = {};
    EXPECT_EQ(device->GetGainStepLabel(8, label), 0);
    int32_t highest = 0;
    ASSERT_EQ(device->GetGainStepMax(&highest), 1);
    EXPECT_EQ(highest, 7);

    ASSERT_EQ(device->SetGainStep(4), 1);
    EXPECT_EQ(HeadValue(head::kGainStep, 1), 4u);
    int32_t step = 0;
    ASSERT_EQ(device->GetGainStep(&step), 1);
    EXPECT_EQ(step, 4);
    EXPECT_EQ(device->SetGainStep(8), 0);
    EXPECT_EQ(head32D0.Parameters().gainStep, 4);
}

TEST_F(ModelHeads, FpgaFlagOf32D0IsReportedWhetherItWasWritten) {
    ASSERT_TRUE(kSensorLogOn);
    CSensorBase& head32D0 = OpenProduct(0x32D0);
    testing::internal::CaptureStderr();
    const int32_t written = head32D0.WriteFpgaFlag(5);
    std::string output = testing::internal::GetCapturedStderr();
    ASSERT_EQ(written, 1);
    if (kDebugOutputOnStderr) {
        EXPECT_NE(output.find("FPGA reg0x80 write succeed"), std::string::npos) << output;
    }
    EXPECT_EQ(head32D0.GetFpgaFlag(), 5);

    KelvraSim_Unplug(camera);
    testing::internal::CaptureStderr();
    EXPECT_EQ(head32D0.WriteFpgaFlag(6), 0);
    output = testing::internal::GetCapturedStderr();
    if (kDebugOutputOnStderr) {
        EXPECT_NE(output.find("FPGA reg0x80 write failed"), std::string::npos) << output;
    }
    EXPECT_EQ(head32D0.GetFpgaFlag(), -1);
}

TEST_F(ModelHeads, InfraredHeadsReportTemperatureAuxiliarySensorAndSensorMode) {
    CSensorBase& head32D0 = OpenProduct(0x32D0);
    ASSERT_TRUE(kelvra::sim::SetHeadReading(camera, kelvra::sim::HeadReading::TemperatureSixteenths, -328));
    double degrees = 0;
    ASSERT_EQ(device->GetTemperature(&degrees), 1);
    EXPECT_DOUBLE_EQ(degrees, -20.5);

    ASSERT_TRUE(kelvra::sim::SetHeadReading(camera, kelvra::sim::HeadReading::AuxValue, 0x2345));
    int32_t aux = 0;
    ASSERT_EQ(head32D0.ReadAuxSensorRegister(&aux), 1);
    EXPECT_EQ(aux, 0);  // nothing measured yet
    ASSERT_EQ(device->ApplyStartOption(&aux), 1);
    EXPECT_EQ(aux, 0x2345);

    ASSERT_EQ(device->SetSensorMode(2), 1);
    EXPECT_EQ(HeadValue(head::kSensorMode, 1), 2u);
    int32_t a = -1, b = -1, mode = -1;
    ASSERT_EQ(head32D0.GetSensorMode(&a, &b, &mode), 1);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(device->SetSensorMode(4), 0);

    ASSERT_EQ(head32D0.SetModeSwitch(1), 1);
    EXPECT_EQ(head32D0.GetModeSwitch(), 1);
    EXPECT_EQ(HeadValue(head::kModeSwitch, 1), 1u);
}

}  // namespace
