// Video format, data width, trigger mode, transfer reset and the FPGA-side controls, checked on
// the register writes the simulated board records, per product row.
#include "SimulatedDevice.h"
#include "sensors/SensorBase.h"

#include <utility>
#include <vector>

namespace {

using Writes = std::vector<std::pair<int, int>>;

class DeviceRegisters : public SimulatedDevice {
protected:
    void OpenProduct(unsigned short productId) {
        productUnderTest = productId;
        camera = Attach(productId);
        Open(camera, productId);  // some generic boards never report ready; the driver exists anyway
        ASSERT_NE(device->Sensor(), nullptr);
        kelvra::sim::ClearLogs(camera);
    }

    Writes FpgaWrites() const {
        Writes writes;
        for (const auto& w : kelvra::sim::FpgaWriteLog(camera)) writes.emplace_back(w.reg, w.value);
        return writes;
    }

    const SensorParameters& Geometry() const { return device->Sensor()->Parameters(); }

    Writes SizeWrites(int widthLow, int heightLow) const {
        const int w = Geometry().windowWidth;
        const int h = Geometry().windowHeight;
        return {{widthLow, w & 0xFF}, {widthLow + 1, w >> 8}, {heightLow, h & 0xFF}, {heightLow + 1, h >> 8}};
    }

    static Writes Timing(int line, int pixel) {
        return {{72, line & 0xFF}, {73, line >> 8}, {76, pixel & 0xFF}, {77, pixel >> 8}};
    }

    static Writes Join(Writes first, const Writes& second) {
        first.insert(first.end(), second.begin(), second.end());
        return first;
    }

    int camera = 0;
    unsigned short productUnderTest = 0;
};

struct SizeCase {
    unsigned short productId;
    Writes (*timing)(const SensorParameters&);
};

TEST_F(DeviceRegisters, ImageSizeAndTimingRegistersPerProduct) {
    const SizeCase cases[] = {
        {0x3180, [](const SensorParameters&) { return Writes{}; }},
        {0x3100,
         [](const SensorParameters&) {
             return Join(Timing(11, 0), {{104, 0}});
         }},
        {0x3130, [](const SensorParameters&) { return Timing(20, 136); }},
        {0x31B0, [](const SensorParameters&) { return Timing(11, 0); }},
        {0x32A0, [](const SensorParameters&) { return Timing(11, 0); }},
        {0x31C0, [](const SensorParameters& g) { return Timing(12, g.sensorWidth - g.windowX - g.windowWidth); }},
        {0x31C4, [](const SensorParameters&) { return Timing(12, 0); }},
        {0x32C0, [](const SensorParameters&) { return Timing(10, 32); }},
        {0x32E0, [](const SensorParameters&) { return Timing(68, 0); }},
        {0x30B0,
         [](const SensorParameters&) {
             return Writes{{64, 0xC0}};
         }},
        {0x30C0,
         [](const SensorParameters&) {
             return Writes{{64, 0x22}, {108, 1}, {108, 0}};
         }},
        {0x32B0,
         [](const SensorParameters&) {
             return Join(Timing(39, 79), {{108, 1}, {108, 0}});
         }},
        // The driver supports the readout option on this board's FPGA version (above 4).
        {0x3260, [](const SensorParameters& g) { return Timing(g.windowHeight == g.sensorHeight ? 25 : 21, 104); }},
        {0x3300,
         [](const SensorParameters& g) {
             const bool fullWidth = g.windowWidth == g.sensorWidth;
             return Timing(fullWidth && g.windowHeight == g.sensorHeight ? 19 : 11, fullWidth ? 8 : 0);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.productId);
        KelvraSim_Reset();
        OpenProduct(c.productId);
        ASSERT_EQ(device->ApplyImageSize(), 1);
        EXPECT_EQ(device->GeometryDirty(), 0);
        EXPECT_EQ(FpgaWrites(), Join(SizeWrites(68, 64), c.timing(Geometry())));
    }
}

TEST_F(DeviceRegisters, AlternateBoardsKeepTheSizeElsewhere) {
    OpenProduct(0x31E0);
    ASSERT_EQ(device->ApplyImageSize(), 1);
    EXPECT_EQ(FpgaWrites(), Join(SizeWrites(156, 154), Timing(20, 136)));
}

TEST_F(DeviceRegisters, ThreeSamplesPerPixelTripleTheFrame) {
    OpenProduct(0x3130);
    ASSERT_EQ(device->ApplyImageSize(), 1);
    const uint32_t pixels = static_cast<uint32_t>(Geometry().windowWidth * Geometry().windowHeight);
    EXPECT_EQ(device->FrameBytes(), pixels * 3);
    kelvra::sim::ClearLogs(camera);
    EXPECT_EQ(device->SetDataWidth(1), 1);
    EXPECT_EQ(device->FrameBytes(), pixels * 6);
    EXPECT_EQ(FpgaWrites().front(), std::make_pair(61, 1));
}

TEST_F(DeviceRegisters, TheTriplingProductRefusesAnUnknownWidthWithoutWriting) {
    OpenProduct(0x3130);
    EXPECT_EQ(device->SetDataWidth(3), 0);
    EXPECT_TRUE(FpgaWrites().empty());
}

TEST_F(DeviceRegisters, The880HQLNAlwaysTransfersTwoBytesPerPixel) {
    OpenProduct(0x3180);
    ASSERT_EQ(device->SetVideoFormat(0, 0, 1280, 1024, 0), 1);
    kelvra::sim::ClearLogs(camera);
    ASSERT_EQ(device->SetDataWidth(0), 1);
    EXPECT_EQ(device->DataWidth(), 1u);
    EXPECT_EQ(device->FrameBytes(), 1280u * 1024u * 2u);
    EXPECT_EQ(FpgaWrites(), Join({{60, 2}}, SizeWrites(68, 64)));
    // Asking again changes nothing but the width register.
    kelvra::sim::ClearLogs(camera);
    ASSERT_EQ(device->SetDataWidth(1), 1);
    EXPECT_EQ(FpgaWrites(), (Writes{{60, 2}}));
}

TEST_F(DeviceRegisters, DataWidthRegistersOfOtherBoards) {
    OpenProduct(0x3100);
    ASSERT_EQ(device->SetDataWidth(1), 1);
    EXPECT_EQ(FpgaWrites().front(), std::make_pair(60, 2));
    EXPECT_EQ(device->DataWidth(), 1u);
    kelvra::sim::ClearLogs(camera);
    ASSERT_EQ(device->SetDataWidth(0), 1);
    EXPECT_EQ(FpgaWrites().front(), std::make_pair(60, 1));
    EXPECT_EQ(device->DataWidth(), 0u);

    KelvraSim_Reset();
    OpenProduct(0x31E0);
    ASSERT_EQ(device->SetDataWidth(1), 1);
    EXPECT_EQ(FpgaWrites().front(), std::make_pair(163, 2));
    kelvra::sim::ClearLogs(camera);
    ASSERT_EQ(device->SetDataWidth(0), 1);
    EXPECT_EQ(FpgaWrites().front(), std::make_pair(163, 1));
}

TEST_F(DeviceRegisters, SettingTheCurrentWindowAgainTouchesNothing) {
    OpenProduct(0x3180);
    ASSERT_EQ(device->SetVideoFormat(0, 0, 640, 512, 0), 1);
    ASSERT_EQ(device->ApplyImageSize(), 1);
    kelvra::sim::ClearLogs(camera);
    EXPECT_EQ(device->SetVideoFormat(0, 0, 640, 512, 0), 1);
    EXPECT_EQ(device->GeometryDirty(), 0);
    int32_t x = -1, y = -1, w = -1, h = -1, s = -1;
    ASSERT_EQ(device->GetVideoFormat(&x, &y, &w, &h, &s), 1);
    EXPECT_EQ((std::vector<int32_t>{x, y, w, h, s}), (std::vector<int32_t>{0, 0, 640, 512, 0}));
    EXPECT_TRUE(FpgaWrites().empty());
}

TEST_F(DeviceRegisters, TransferResetPerProduct) {
    const std::pair<unsigned short, Writes> cases[] = {
        {0x3180, {{108, 1}, {108, 0}, {104, 2}}},
        {0x30C0, {{104, 2}}},
        {0x31E0, {{150, 1}, {150, 0}, {104, 2}}},
        {0x3042, {}},
    };
    for (const auto& [productId, expected] : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << productId);
        KelvraSim_Reset();
        OpenProduct(productId);
        EXPECT_EQ(device->ResetTransfer(), 1);
        EXPECT_EQ(FpgaWrites(), expected);
    }
}

TEST_F(DeviceRegisters, TriggerModeRegistersPerProduct) {
    const Writes reset = {{108, 1}, {108, 0}, {104, 2}};
    OpenProduct(0x3150);
    ASSERT_EQ(device->SetTriggerMode(0x87, 0), 1);
    // The mode is masked before it reaches the board.
    EXPECT_EQ(FpgaWrites(), Join(reset, {{36, 0x83}}));
    kelvra::sim::ClearLogs(camera);
    ASSERT_EQ(device->SetTriggerMode(0x83, 0), 1);
    EXPECT_TRUE(FpgaWrites().empty());

    KelvraSim_Reset();
    OpenProduct(0x30F0);
    ASSERT_EQ(device->SetTriggerMode(1, 0), 1);
    EXPECT_EQ(FpgaWrites(), Join(reset, {{48, 0}, {48, 1}}));
    kelvra::sim::ClearLogs(camera);
    ASSERT_EQ(device->SetTriggerMode(0, 0), 1);
    EXPECT_EQ(FpgaWrites(), Join(reset, {{48, 0}}));
    kelvra::sim::ClearLogs(camera);
    ASSERT_EQ(device->SetTriggerMode(0, 1), 1);  // forced: sent again
    EXPECT_EQ(FpgaWrites(), Join(reset, {{48, 0}}));
}

TEST_F(DeviceRegisters, ExposureSetsTheTransferTimeout) {
    OpenProduct(0x3180);
    // The time-out follows the request whatever the head answers: only the time-out is checked.
    static_cast<void>(device->SetExposureTime(50000));
    EXPECT_EQ(device->TransferTimeout(), 5000u);
    static_cast<void>(device->SetExposureTime(50001));
    EXPECT_EQ(device->TransferTimeout(), 10000u);
    static_cast<void>(device->SetRealExposure(2.0));
    EXPECT_EQ(device->TransferTimeout(), 10000u);
    static_cast<void>(device->SetRealExposure(2.5));
    EXPECT_EQ(device->TransferTimeout(), 3500u);
    static_cast<void>(device->SetRealExposure(1e300));  // far beyond any timeout: clamped, not undefined
    EXPECT_EQ(device->TransferTimeout(), 0xFFFFFFFFu);
}

TEST_F(DeviceRegisters, DeferredExposureWaitsForTheAcquisitionThread) {
    OpenProduct(0x3200);
    const int32_t before = device->GetExposureTime();
    EXPECT_EQ(device->SetExposureTime(60000), 1);
    EXPECT_EQ(device->TransferTimeout(), 12000u);
    EXPECT_EQ(device->GetExposureTime(), before);
}

TEST_F(DeviceRegisters, LevelAndModeSwitchFollowTheFpgaVersion) {
    OpenProduct(0x3260);
    EXPECT_EQ(device->HasModeSwitch(), 0);
    EXPECT_EQ(device->GetLevelMax(), 0);

    KelvraSim_Reset();
    camera = Attach(0x3260);
    kelvra::sim::PokeFpga(camera, 17, 0x81);
    Open(camera, 0x3260);
    ASSERT_NE(device->Sensor(), nullptr);
    kelvra::sim::ClearLogs(camera);
    EXPECT_EQ(device->HasModeSwitch(), 1);
    EXPECT_EQ(device->HasLevel(), 1);
    EXPECT_EQ(device->GetLevelMax(), 0xFFFF);
    EXPECT_EQ(device->GetLevelMin(), 0);
    ASSERT_EQ(device->SetLevel(0x1234), 1);
    EXPECT_EQ(FpgaWrites(), (Writes{{208, 0x34}, {210, 0x12}}));
    int32_t level = 0;
    ASSERT_EQ(device->GetLevel(&level), 1);
    EXPECT_EQ(level, 0x1234);
    ASSERT_EQ(device->SetModeSwitch(1), 1);
    EXPECT_EQ(device->GetModeSwitch(), 1);
    ASSERT_EQ(device->SetModeSwitch(0), 1);
    EXPECT_EQ(device->GetModeSwitch(), 0);
}

TEST_F(DeviceRegisters, ModeSwitchOfBoardsWithASwitchRegister) {
    OpenProduct(0x3150);
    ASSERT_EQ(device->SetModeSwitch(1), 1);
    EXPECT_EQ(FpgaWrites(), (Writes{{144, 15}}));
    EXPECT_EQ(device->GetModeSwitch(), 1);
    kelvra::sim::ClearLogs(camera);
    ASSERT_EQ(device->SetModeSwitch(1), 1);  // already on
    EXPECT_TRUE(FpgaWrites().empty());
    ASSERT_EQ(device->SetModeSwitch(0), 1);
    EXPECT_EQ(FpgaWrites(), (Writes{{144, 8}}));
    EXPECT_EQ(device->GetLevelMax(), 0);
}

TEST_F(DeviceRegisters, TextChannelAndFpgaPathsByProduct) {
    OpenProduct(0x3042);
    EXPECT_EQ(device->WriteFpgaRegister(36, 1), 0);
    int32_t success = 1;
    EXPECT_EQ(device->ReadFpgaRegister(36, &success), 0);
    EXPECT_EQ(success, 0);
    EXPECT_EQ(device->SendSensorText("n\r\n", 3), 0);
}

}  // namespace
