// Values the device core takes from its sensor driver rather than from the camera: the readout
// orientation and board revision that decide how a frame leaves the ring, the readout option in
// the FPGA timing, the clock mode under the bus-speed rule, the gain mode, the sampling rate and
// the analog-mode switch of model 0x31E0.
#include "DeviceTestAccess.h"
#include "SimulatedDevice.h"

#include <vector>

namespace {

constexpr int32_t kWidth = 24;
constexpr int32_t kHeight = 6;
constexpr size_t kBytesPerPixel = 2;

using Frame = std::vector<uint8_t>;
using Writes = std::vector<std::pair<int, int>>;

class DeviceSensorValues : public ScriptedDevice {
protected:
    Frame CopyLatest(int32_t keepOrder) {
        Frame frame(device->FrameBytes(), 0);
        EXPECT_EQ(device->CopyLatestFrame(frame.data(), keepOrder), 0);
        return frame;
    }

    Writes FpgaWrites() const {
        Writes writes;
        for (const auto& w : kelvra::sim::FpgaWriteLog(camera)) writes.emplace_back(w.reg, w.value);
        return writes;
    }

    static Frame Row(const Frame& frame, size_t row, size_t rowBytes) {
        return Frame(frame.begin() + static_cast<long>(row * rowBytes),
                     frame.begin() + static_cast<long>((row + 1) * rowBytes));
    }
};

// The frame as the camera sent it, turned as a head of the given readout would need it.
Frame Turned(const Frame& sent, bool mirror, bool reverse) {
    Frame out(sent.size());
    for (size_t y = 0; y < kHeight; ++y) {
        const size_t from = reverse ? kHeight - 1 - y : y;
        for (size_t x = 0; x < kWidth; ++x) {
            const size_t fromX = mirror ? kWidth - 1 - x : x;
            for (size_t b = 0; b < kBytesPerPixel; ++b)
                out[(y * kWidth + x) * kBytesPerPixel + b] = sent[(from * kWidth + fromX) * kBytesPerPixel + b];
        }
    }
    return out;
}

TEST_F(DeviceSensorValues, TheHeadsReadoutOrientationTurnsTheCopiedFrame) {
    ScriptedHead& head = OpenWithHead(0x3180);
    ASSERT_EQ(device->SetVideoFormat(0, 0, kWidth, kHeight, 0), 1);
    ASSERT_EQ(device->SetDataWidth(1), 1);
    ASSERT_EQ(device->CaptureSingleFrame(), 0);
    const Frame sent = CopyLatest(1);  // normal readout, rows in their own order
    ASSERT_NE(Turned(sent, true, false), sent) << "the scene must differ left to right";
    ASSERT_NE(Turned(sent, false, true), sent) << "the scene must differ top to bottom";

    for (int32_t orientation = 1; orientation <= 4; ++orientation) {
        head.SetReadoutOrientation(orientation);
        const bool mirror = orientation == 2 || orientation == 4;
        const bool topFirst = orientation != 3 && orientation != 4;
        for (int32_t keepOrder = 0; keepOrder <= 1; ++keepOrder) {
            SCOPED_TRACE(testing::Message() << "orientation " << orientation << " keepOrder " << keepOrder);
            EXPECT_EQ(CopyLatest(keepOrder), Turned(sent, mirror, (keepOrder != 0) != topFirst));
        }
    }
}

TEST_F(DeviceSensorValues, OldRevisionsOfModel31E0RepeatTheRowAboveTheLast) {
    ScriptedHead& head = OpenWithHead(0x31E0);
    ASSERT_EQ(KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_RAMP_V, 1), 1);
    ASSERT_EQ(device->SetVideoFormat(0, 0, kWidth, kHeight, 0), 1);  // the scripted head keeps any window
    ASSERT_EQ(device->SetDataWidth(1), 1);
    ASSERT_EQ(device->CaptureSingleFrame(), 0);
    const SensorParameters& geometry = head.Parameters();
    const size_t rowBytes = static_cast<size_t>(geometry.windowWidth) * (device->DataWidth() != 0 ? 2 : 1);
    const size_t rows = static_cast<size_t>(geometry.windowHeight);
    ASSERT_GE(rows, 3u);

    head.SetRevision(8);
    const Frame current = CopyLatest(1);  // rows reversed, none lost
    head.SetRevision(0);                  // what a head that reports no revision is
    const Frame early = CopyLatest(1);
    EXPECT_EQ(Row(early, 0, rowBytes), Row(current, 1, rowBytes));
    for (size_t row = 1; row < rows; ++row) EXPECT_EQ(Row(early, row, rowBytes), Row(current, row, rowBytes));
    EXPECT_NE(Row(current, 0, rowBytes), Row(current, 1, rowBytes)) << "the scene must differ row to row";
}

TEST_F(DeviceSensorValues, ReadoutOptionAndItsFlagShapeTheTiming) {
    ScriptedHead& head = OpenWithHead(0x31F0);
    const SensorParameters& g = head.Parameters();
    auto timing = [](int line, int pixel) {
        return Writes{{72, line & 0xFF}, {73, line >> 8}, {76, pixel & 0xFF}, {77, pixel >> 8}};
    };
    auto timingWrites = [&] {
        EXPECT_EQ(device->ApplyImageSize(), 1);
        Writes all = FpgaWrites();
        kelvra::sim::ClearLogs(camera);
        if (all.size() < 4) return Writes{};
        return Writes(all.begin() + 4, all.end());  // after the four size registers
    };
    EXPECT_EQ(timingWrites(), timing(g.windowY + 40, g.windowX + 64));
    ASSERT_EQ(device->SetReadoutOption(1), 1);
    EXPECT_EQ(timingWrites(), timing(g.windowY + 41, g.windowX + 64));

    NextCamera();
    ScriptedHead& swir = OpenWithHead(0x3260);
    const bool fullHeight = swir.Parameters().windowHeight == swir.Parameters().sensorHeight;
    EXPECT_EQ(timingWrites(), timing(fullHeight ? 25 : 21, 8));
    swir.supportsReadoutOption = 1;
    EXPECT_EQ(timingWrites(), timing(fullHeight ? 25 : 21, 104));
}

TEST_F(DeviceSensorValues, Model3200TakesANewExposureAtTheStartOfTheNextTransfer) {
    ScriptedHead& head = OpenWithHead(0x3200);
    ASSERT_EQ(device->SetVideoFormat(0, 0, kWidth, kHeight, 0), 1);
    EXPECT_EQ(device->SetExposureTime(60000), 1);
    EXPECT_TRUE(head.exposures.empty());
    ASSERT_EQ(device->StartStreaming(1), 1);
    EXPECT_EQ(device->WaitFrame(5000), 3);
    device->StopStreaming();  // joins the acquisition thread: its writes are visible now
    EXPECT_EQ(head.exposures, (std::vector<int32_t>{60000}));
    EXPECT_EQ(device->GetExposureTime(), 60000);
}

TEST_F(DeviceSensorValues, The880HQLNsRangesGeometryAndFamiliesAsTheDeviceReportsThem) {
    const int plain = Attach(0x3180);
    ASSERT_EQ(Open(plain, 0x3180), 1);
    struct Reading {
        const char* name;
        int32_t value, expected;
    };
    const Reading readings[] = {
        {"gain min", device->GetGlobalGainMin(), 0},
        {"gain max", device->GetGlobalGainMax(), 255},
        {"gain default", device->GetGlobalGainDefault(), 128},
        {"exposure min", device->GetExposureTimeMin(), 1},
        {"exposure max", device->GetExposureTimeMax(), 1000000},
        {"exposure default", device->GetExposureTimeDefault(), 10000},
        {"integration min", device->GetIntegrationRawMin(), 1},
        {"integration max", device->GetIntegrationRawMax(), 10000},
        {"integration", device->GetIntegrationRaw(), 100},
        {"sensor width", device->GetSensorWidth(), 1280},
        {"sensor height", device->GetSensorHeight(), 1024},
        {"effective width", device->GetEffectiveWidth(), 1280},
        {"effective height", device->GetEffectiveHeight(), 1024},
        {"effective start x", device->GetEffectiveStartX(), 0},
        {"width adjustable", device->IsWidthAdjustable(), 0},
        {"height adjustable", device->IsHeightAdjustable(), 0},
        // The head has none of these families: the session reports them as not supported.
        {"real exposure", device->HasRealExposure(), 0},
        {"Peltier", device->HasPeltier(), 0},
        {"temperature", device->HasTemperature(), 0},
        {"aux level", device->HasAuxLevel(), 0},
        {"feature switch", device->HasFeatureSwitch(), 0},
        {"mode switch", device->HasModeSwitch(), 0},
        {"level", device->HasLevel(), 0},
    };
    for (const Reading& r : readings) EXPECT_EQ(r.value, r.expected) << r.name;
}

TEST_F(DeviceSensorValues, TheDevicesMirrorsAreTheSensorsCrossed) {
    ScriptedHead& head = OpenWithHead(0x3180);
    ASSERT_EQ(device->SetMirrorH(1), 1);
    EXPECT_EQ(head.Parameters().mirrorV, 1);
    EXPECT_EQ(head.Parameters().mirrorH, 0);
    EXPECT_EQ(device->GetMirrorH(), 1);
    EXPECT_EQ(device->GetMirrorV(), 0);
    ASSERT_EQ(device->SetMirrorV(1), 1);
    ASSERT_EQ(device->SetMirrorH(0), 1);
    EXPECT_EQ(head.Parameters().mirrorH, 1);
    EXPECT_EQ(device->GetMirrorH(), 0);
    EXPECT_EQ(device->GetMirrorV(), 1);
}

TEST_F(DeviceSensorValues, HighClockNeedsASuperSpeedLink) {
    ScriptedHead& head = OpenWithHead(0x3180);
    EXPECT_EQ(device->SetClockMode(2), 1);
    ASSERT_TRUE(kelvra::sim::SetBusSpeed(camera, 3));  // High Speed
    EXPECT_EQ(device->SetClockMode(2), 1);
    EXPECT_EQ(device->SetClockMode(1), 1);
    EXPECT_EQ(head.clockModes, (std::vector<int32_t>{2, 0, 1}));

    NextCamera();
    ScriptedHead& single = OpenWithHead(0x3042);  // streams in one transfer: no rule
    ASSERT_TRUE(kelvra::sim::SetBusSpeed(camera, 3));
    EXPECT_EQ(device->SetClockMode(2), 1);
    EXPECT_EQ(single.clockModes, (std::vector<int32_t>{2}));
}

TEST_F(DeviceSensorValues, GainModeAndSamplingRateReachTheHead) {
    const int plain = Attach(0x3180);
    ASSERT_EQ(Open(plain, 0x3180), 1);
    EXPECT_EQ(device->HasModeValue(), 0);  // the 880HQLN has no gain modes
    EXPECT_EQ(device->GetModeValue(), -1);
    int32_t rate = 0;
    EXPECT_EQ(device->SetSamplingRate(0, 5, &rate), 0);

    ScriptedHead& head = OpenWithHead(0x3180);
    EXPECT_EQ(device->HasModeValue(), 1);
    EXPECT_EQ(device->SetModeValue(3), 1);
    EXPECT_EQ(device->GetModeValue(), 3);
    EXPECT_EQ(device->SetSamplingRate(0, 7, &rate), 1);
    EXPECT_EQ(device->SetSamplingRate(1, 9, &rate), 0);  // a device carries one sensor
    EXPECT_EQ(head.samplingRates, (std::vector<int32_t>{7}));
    EXPECT_EQ(head.samplingRatePointers, (std::vector<int32_t*>{&rate}));

    original.reset();
    device->CloseDevice();
    EXPECT_EQ(device->HasModeValue(), 0);
    EXPECT_EQ(device->GetModeValue(), -1);
    EXPECT_EQ(device->SetModeValue(1), 0);
}

TEST_F(DeviceSensorValues, SwitchOfModel31E0IsItsAnalogMode) {
    ScriptedHead& head = OpenWithHead(0x31E0);
    ASSERT_NE(device->WriteSromSetting(5), 0);
    EXPECT_EQ(device->HasModeSwitch(), 1);
    EXPECT_EQ(device->GetModeSwitch(), 0);
    ASSERT_EQ(device->SetModeSwitch(1), 1);  // the step kept in the SROM
    EXPECT_EQ(device->GetModeSwitch(), 1);
    ASSERT_EQ(device->SetModeSwitch(1), 1);  // already on: nothing sent
    ASSERT_EQ(device->SetModeSwitch(0), 1);
    EXPECT_EQ(head.analogSteps, (std::vector<int32_t>{5, 0}));

    // A head switched on while the SROM holds no valid step teaches the SROM its step.
    ASSERT_NE(device->WriteSromSetting(0xFF), 0);
    head.analogMode = 3;
    EXPECT_EQ(device->GetModeSwitch(), 1);
    EXPECT_EQ(kelvra::sim::PeekEeprom(camera, 0x1080), 3);
}

}  // namespace
