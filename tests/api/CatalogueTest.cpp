// The catalogue of settings and controls through the public API, family by family, against a
// simulated 880HQLN: the output format, the numbered settings and their named wrappers with
// their range edges, the camera's gain and exposure as the head receives them, the functions the
// camera does not offer, the exposure in milliseconds, mirrors and switches, and raw register,
// I/O port and SROM access.
#include "SdkTestSupport.h"
#include "api/CSdkChain.h"
#include "device/CKelvraUSB3G5SimpleSdk.h"
#include "device/DeviceTestAccess.h"
#include "kelvra/KelvraSimModel.h"
#include "session/CKelvra.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

class Catalogue : public SdkTest {
protected:
    void SetUp() override {
        SdkTest::SetUp();
        camera = Attach();
        handle = Open();
        ASSERT_EQ(Drain(handle), std::vector<int32_t>{});
        TakePosted();
    }

    // The codes posted to this thread's queue (a session without a window posts there).
    static std::vector<LPARAM> TakePosted() {
        std::vector<LPARAM> codes;
        MSG message{};
        while (PeekMessageA(&message, nullptr, WM_CAMERA_ERROR, WM_CAMERA_ERROR, PM_REMOVE))
            codes.push_back(message.lParam);
        return codes;
    }

    std::vector<std::string> HeadCommands() const {
        std::vector<std::string> commands;
        for (const auto& record : kelvra::sim::HeadLog(camera)) commands.push_back(record.command);
        return commands;
    }

    int camera = 0;
    int32_t handle = 0;
};

struct Range {
    int32_t id;
    int32_t min;
    int32_t max;
};

TEST_F(Catalogue, FormatTakesOnlyWhatThisCameraOffers) {
    EXPECT_EQ(Kelvra_GetColorMode(handle), 16);
    EXPECT_EQ(Kelvra_SetColorMode(handle, 16), 1);
    for (int32_t bits : {8, 24, 32, 48, 64, 0}) EXPECT_EQ(Kelvra_SetColorMode(handle, bits), 0) << bits;
    EXPECT_EQ(Drain(handle), std::vector<int32_t>(6, KELVRA_ERR_PARAMETER));
    EXPECT_EQ(Kelvra_GetColorMode(handle), 16);

    // Refused subsampling and wait times are not errors worth recording.
    EXPECT_EQ(Kelvra_SetSubSample(handle, 1), 0);
    EXPECT_EQ(Kelvra_SetSubSample(handle, 0), 1);
    EXPECT_EQ(Kelvra_GetSubSample(handle), 0);
    EXPECT_EQ(Kelvra_SetWaitTime(handle, -1), 0);
    EXPECT_EQ(Kelvra_SetWaitTime(handle, 25), 1);
    EXPECT_EQ(Kelvra_GetWaitTime(handle), 25);
    int32_t value = 7;
    EXPECT_EQ(Kelvra_GetSamplingRate(handle, &value), 0);
    EXPECT_EQ(value, 0);
    value = 7;
    EXPECT_EQ(Kelvra_GetVideoFormat(handle, &value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(Kelvra_GetVideoFormat(handle, nullptr), 0);
    EXPECT_EQ(Kelvra_SetSamplingRate(handle, 3), 0);  // no driver of the family has a sampling rate
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{});

    const int32_t unknown = handle + 100;
    EXPECT_EQ(Kelvra_GetColorMode(unknown), -1);
    EXPECT_EQ(Kelvra_GetSubSample(unknown), -1);
    EXPECT_EQ(Kelvra_GetWaitTime(unknown), -1);
    EXPECT_EQ(Kelvra_SetColorMode(unknown, 16), 0);
    EXPECT_EQ(Kelvra_GetExposureTimeEx(unknown, nullptr), 0.0);
    int32_t ok = 1;
    EXPECT_EQ(Kelvra_GetFilterValue(unknown, KELVRA_FILTER_GAMMA, &ok), 0);
    EXPECT_EQ(ok, 0);
}

TEST_F(Catalogue, SessionSettingsTakeTheirRangeEdgesAndRefuseOneBeyond) {
    const Range ranges[] = {{KELVRA_FILTER_BRIGHTNESS, -255, 255},
                            {KELVRA_FILTER_CONTRAST, -127, 127},
                            {KELVRA_FILTER_HUE, -360, 360},
                            {KELVRA_FILTER_SATURATION, -255, 255},
                            {KELVRA_FILTER_SHARPNESS, 0, 30},
                            {KELVRA_FILTER_BAYER_GAIN_RED, 0, 400},
                            {KELVRA_FILTER_BAYER_GAIN_GREEN, 0, 400},
                            {KELVRA_FILTER_BAYER_GAIN_BLUE, 0, 400},
                            {KELVRA_FILTER_GAMMA, 0, 200},
                            {KELVRA_FILTER_BAYER_MODE, 0, 3},
                            {KELVRA_FILTER_GRAY_MODE, 0, 2},
                            {KELVRA_FILTER_GRAY_GAIN_R, 0, 255},
                            {KELVRA_FILTER_GRAY_GAIN_G1, 0, 255},
                            {KELVRA_FILTER_GRAY_GAIN_G2, 0, 255},
                            {KELVRA_FILTER_GRAY_GAIN_B, 0, 255},
                            {KELVRA_FILTER_GRAY_OFFSET_R, -255, 255},
                            {KELVRA_FILTER_GRAY_OFFSET_G1, -255, 255},
                            {KELVRA_FILTER_GRAY_OFFSET_G2, -255, 255},
                            {KELVRA_FILTER_GRAY_OFFSET_B, -255, 255},
                            {KELVRA_FILTER_DOT_FILTER, 0, 1},
                            {KELVRA_FILTER_MASK_FILTER, 0, 1}};
    for (const Range& range : ranges) {
        SCOPED_TRACE(range.id);
        int32_t ok = 0;
        EXPECT_EQ(Kelvra_SetFilterValue(handle, range.id, range.min), 1);
        EXPECT_EQ(Kelvra_GetFilterValue(handle, range.id, &ok), range.min);
        EXPECT_EQ(ok, 1);
        EXPECT_EQ(Kelvra_SetFilterValue(handle, range.id, range.max), 1);
        EXPECT_EQ(Kelvra_SetFilterValue(handle, range.id, range.max + 1), 0);
        EXPECT_EQ(Kelvra_SetFilterValue(handle, range.id, range.min - 1), 0);
        EXPECT_EQ(Kelvra_GetFilterValue(handle, range.id, &ok), range.max);
        EXPECT_EQ(Drain(handle), std::vector<int32_t>(2, KELVRA_ERR_PARAMETER));
    }
    // The named wrappers reach the same settings.
    EXPECT_EQ(Kelvra_SetGamma(handle, 150), 1);
    int32_t ok = 0;
    EXPECT_EQ(Kelvra_GetFilterValue(handle, KELVRA_FILTER_GAMMA, &ok), 150);
    EXPECT_EQ(Kelvra_SetFilterValue(handle, KELVRA_FILTER_GRAY_OFFSET_B, -7), 1);
    EXPECT_EQ(Kelvra_GetGrayOffsetB(handle, &ok), -7);
    EXPECT_EQ(Kelvra_SetSharpness(handle, 31), 0);
    EXPECT_EQ(Kelvra_GetSharpness(handle, nullptr), 30);  // ok may be left out
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{KELVRA_ERR_PARAMETER});
}

TEST_F(Catalogue, PackedBayerGainsSwitchesAndIdsWithoutASetting) {
    int32_t ok = 0;
    EXPECT_EQ(Kelvra_SetBayerGainRGB(handle, 13133055), 1);
    EXPECT_EQ(Kelvra_GetBayerGainRed(handle, &ok), 255);
    EXPECT_EQ(Kelvra_GetBayerGainGreen(handle, &ok), 100);
    EXPECT_EQ(Kelvra_GetBayerGainBlue(handle, &ok), 200);
    EXPECT_EQ(Kelvra_SetBayerGainRed(handle, 300), 1);
    EXPECT_EQ(Kelvra_GetBayerGainRGB(handle, &ok), 44 | 100 << 8 | 200 << 16);  // low 8 bits of each
    EXPECT_EQ(Kelvra_SetBayerGainAuto(handle, 5), 1);
    EXPECT_EQ(Kelvra_GetBayerGainAuto(handle, &ok), 1);
    EXPECT_EQ(Kelvra_SetFilterValue(handle, KELVRA_FILTER_GRAY_AUTO_FRAMES, 1), 1);
    EXPECT_EQ(Kelvra_SetFilterValue(handle, KELVRA_FILTER_GRAY_AUTO_FRAMES, 2), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{KELVRA_ERR_PARAMETER});

    // Ids without a readable setting, and the channel settings this camera does not have.
    for (int32_t id : std::initializer_list<int32_t>{KELVRA_FILTER_GRAY_AUTO_FRAMES, KELVRA_FILTER_CHANNEL_GAIN_1,
                                                     KELVRA_FILTER_CHANNEL_OFFSET_4, 37, 99, 107, -1}) {
        ok = 1;
        EXPECT_EQ(Kelvra_GetFilterValue(handle, id, &ok), 0) << id;
        EXPECT_EQ(ok, 0) << id;
        EXPECT_EQ(Drain(handle), std::vector<int32_t>{KELVRA_ERR_PARAMETER}) << id;
    }
    EXPECT_EQ(Kelvra_GetChannelGain(handle, 1, &ok), 0);
    EXPECT_EQ(Kelvra_SetChannelOffset(handle, 4, 3), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>(2, KELVRA_ERR_PARAMETER));
    EXPECT_EQ(Kelvra_GetChannelGain(handle, 5, &ok), 0);
    EXPECT_EQ(Kelvra_SetChannelGain(handle, 0, 3), 0);
    EXPECT_EQ(Kelvra_GetChannelOffset(handle, -1, &ok), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{});
}

TEST_F(Catalogue, CameraGainAndExposureReachTheHeadOnlyWithinTheirRange) {
    kelvra::sim::ClearLogs(camera);
    EXPECT_EQ(Kelvra_SetGlobalGain(handle, 200), 1);
    EXPECT_EQ(Kelvra_SetGlobalGain(handle, 256), 0);
    EXPECT_EQ(Kelvra_SetGlobalGain(handle, -1), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>(2, KELVRA_ERR_PARAMETER));
    EXPECT_EQ(HeadCommands(), std::vector<std::string>{"g -v 200"});
    int32_t ok = 0;
    EXPECT_EQ(Kelvra_GetGlobalGain(handle, &ok), 200);
    EXPECT_EQ(kelvra::sim::GetHeadState(camera)->gain, 200);

    kelvra::sim::ClearLogs(camera);
    EXPECT_EQ(Kelvra_SetExposureTime(handle, 1000000), 1);
    EXPECT_EQ(Kelvra_SetExposureTime(handle, 1000001), 0);
    EXPECT_EQ(Kelvra_SetRealExposureTime(handle, 4999), 1);  // a hundredth of the head's unit
    EXPECT_EQ(Kelvra_SetRealExposureTime(handle, 99), 0);    // 0 lies below the range
    EXPECT_EQ(Drain(handle), std::vector<int32_t>(2, KELVRA_ERR_PARAMETER));
    EXPECT_EQ(HeadCommands(), (std::vector<std::string>{"i -v 1000000", "i -v 49"}));
    EXPECT_EQ(Kelvra_GetExposureTime(handle, &ok), 49);
    EXPECT_EQ(Kelvra_GetRealExposureTime(handle, &ok), 4900);
    EXPECT_EQ(ok, 1);
}

TEST_F(Catalogue, WhatThisCameraDoesNotOfferIsPostedOrRecordedAsUnsupported) {
    for (int32_t result : {Kelvra_Fps(handle), Kelvra_GetHalfClock(handle), Kelvra_SetHalfClock(handle, 1),
                           Kelvra_GetInternalCorrection(handle), Kelvra_SetInternalCorrection(handle, 1),
                           Kelvra_SetCrossbar(handle, 1)}) {
        EXPECT_EQ(result, 0);
    }
    EXPECT_EQ(TakePosted(), std::vector<LPARAM>(6, KELVRA_ERR_UNSUPPORTED));
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{});

    char text[8] = {};
    EXPECT_EQ(Kelvra_SendText(handle, "x"), 0);
    EXPECT_EQ(Kelvra_ReceiveText(handle, text, sizeof text), 0);
    EXPECT_EQ(Kelvra_SetCameraDlg(handle, nullptr), 0);
    EXPECT_EQ(Kelvra_SetImageDlg(handle, nullptr), 0);
    EXPECT_EQ(Kelvra_SetAnalogDlg(handle, nullptr), 0);
    int32_t ok = 1;
    EXPECT_EQ(Kelvra_GetTemperature(handle, &ok), -1);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Kelvra_GetPeltier(handle, &ok), -1);
    EXPECT_EQ(Kelvra_SetPeltier(handle, 1), 0);
    EXPECT_EQ(Kelvra_GetTemperatureEx(handle, &ok), 0.0);
    EXPECT_EQ(Kelvra_SetExposureTimeEx(handle, 2.5), 0);  // the 880HQLN counts lines, not milliseconds
    EXPECT_EQ(Kelvra_GetExposureTimeEx(handle, &ok), -1.0);
    EXPECT_EQ(Kelvra_SetFilterValue(handle, KELVRA_FILTER_GAIN_MODE, 1), 0);
    EXPECT_EQ(Kelvra_SetFilterValue(handle, KELVRA_FILTER_BLACK_LEVEL, 1), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>(13, KELVRA_ERR_UNSUPPORTED));
    EXPECT_EQ(Kelvra_SetTemperature(handle, 20), 0);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{KELVRA_ERR_PARAMETER});
}

// A head that takes its exposure in seconds, as other cameras of the family do.
class MillisecondHead : public CSensor880HQLN {
public:
    explicit MillisecondHead(const CSensorBase& original)
        : CSensor880HQLN(original.Controller(), original.SerialAddress()) {
        params = original.Parameters();
        params.exposureSecondsSupported = 1;
    }
    int32_t SetExposureSeconds(double seconds) override {
        params.exposureSeconds = seconds;
        return 1;
    }
};

TEST_F(Catalogue, MillisecondExposureStoresWholeMillisecondsAsLinesAndRefusesWhatIntegersCannotHold) {
    CKelvraU3G5Base& device = *CSdkChain::Instance().Lookup(handle)->device;
    const auto original = DeviceTestAccess::ReplaceSensor(device, nullptr);
    DeviceTestAccess::ReplaceSensor(device, std::make_unique<MillisecondHead>(*original));

    EXPECT_EQ(Kelvra_SetExposureTimeEx(handle, 2.5), 1);
    int32_t ok = 0;
    EXPECT_DOUBLE_EQ(Kelvra_GetExposureTimeEx(handle, &ok), 2.5);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Kelvra_GetRealExposureTime(handle, &ok), 2000000);
    for (double ms : {std::nan(""), std::numeric_limits<double>::infinity(), -1.0, 1e12, 214749.0}) {
        EXPECT_EQ(Kelvra_SetExposureTimeEx(handle, ms), 0) << ms;
    }
    EXPECT_EQ(Drain(handle), std::vector<int32_t>(5, KELVRA_ERR_PARAMETER));
    EXPECT_DOUBLE_EQ(Kelvra_GetExposureTimeEx(handle, &ok), 2.5);
}

TEST_F(Catalogue, MirrorsAutomaticExposureAndTheCorrectionSwitch) {
    EXPECT_EQ(Kelvra_SetMirrorH(handle, 5), 1);
    EXPECT_EQ(Kelvra_GetMirrorH(handle), 1);
    EXPECT_EQ(Kelvra_SetMirrorV(handle, 1), 1);
    EXPECT_EQ(Kelvra_SetMirrorV(handle, 0), 1);
    EXPECT_EQ(Kelvra_GetMirrorV(handle), 0);
    EXPECT_EQ(Kelvra_SetAutoIris(handle, 2), 1);
    EXPECT_EQ(Kelvra_SetAutoIris(handle, 3), 0);
    int32_t ok = 0;
    EXPECT_EQ(Kelvra_GetAutoIris(handle, &ok), 2);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(TakePosted(), std::vector<LPARAM>{KELVRA_ERR_PARAMETER});
    EXPECT_EQ(Kelvra_SetConfigFilter(handle, 1), 1);
    EXPECT_EQ(Kelvra_SetConfigFilter(handle, 2), 0);
    EXPECT_EQ(Kelvra_GetConfigFilter(handle), 1);
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{KELVRA_ERR_PARAMETER});
}

TEST_F(Catalogue, BoardRegistersAndTheIoPortAreMaskedAsTheyAreSent) {
    kelvra::sim::ClearLogs(camera);
    EXPECT_EQ(Kelvra_Fpga_WriteRegister(handle, 0x1F0, 0x12345), 1);
    EXPECT_EQ(Kelvra_SetIOPort(handle, 0x1A5), 1);
    const auto writes = kelvra::sim::FpgaWriteLog(camera);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].reg, 0xF0);
    EXPECT_EQ(writes[0].value, 0x45);  // the board's registers hold a byte
    EXPECT_EQ(writes[1].reg, 7);
    EXPECT_EQ(writes[1].value, 0xA5);
    int32_t ok = 0;
    EXPECT_EQ(Kelvra_Fpga_ReadRegister(handle, 0x107, &ok), 0xA5);
    EXPECT_EQ(ok, 1);
    BYTE port = 0;
    EXPECT_EQ(Kelvra_GetIOPort(handle, &port), 1);
    EXPECT_EQ(port, 0xA5);
    EXPECT_EQ(Kelvra_GetIOPort(handle, nullptr), 0);
    EXPECT_EQ(TakePosted(), std::vector<LPARAM>{KELVRA_ERR_PARAMETER});
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{});
}

TEST_F(Catalogue, SromWritesAreReadBackAndRepeatedUntilTheEepromHoldsThem) {
    kelvra::sim::LoseEepromWrites(camera, 2);
    EXPECT_EQ(Kelvra_WriteSromID(handle, 0x1123, 0x15A), 1);
    EXPECT_EQ(kelvra::sim::PeekEeprom(camera, 0x123), 0x5A);
    int32_t ok = 0;
    EXPECT_EQ(Kelvra_ReadSromID(handle, 0x123, &ok), 0x5A);
    EXPECT_EQ(ok, 1);

    // An EEPROM that never keeps the byte fails the write instead of passing it.
    kelvra::sim::LoseEepromWrites(camera, 100);
    EXPECT_EQ(Kelvra_WriteSromID(handle, 0x124, 0x33), 0);
    EXPECT_NE(kelvra::sim::PeekEeprom(camera, 0x124), 0x33);
    EXPECT_EQ(TakePosted(), std::vector<LPARAM>{KELVRA_ERR_NOT_READY});
    kelvra::sim::LoseEepromWrites(camera, 0);

    // A read-back that fails ends the attempt: the camera went away in between.
    ASSERT_EQ(KelvraSim_Unplug(camera), 1);
    EXPECT_EQ(Kelvra_WriteSromID(handle, 0x125, 0x44), 0);
    EXPECT_EQ(Kelvra_ReadSromID(handle, 0x123, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(TakePosted(), std::vector<LPARAM>(2, KELVRA_ERR_NOT_READY));
    EXPECT_EQ(Drain(handle), std::vector<int32_t>{});
}

}  // namespace
