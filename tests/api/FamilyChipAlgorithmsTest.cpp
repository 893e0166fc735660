// The register traffic of the chip drivers as the simulated chips and boards saw it: the MT9
// chips' 16-bit big-endian registers and colour gains, the verified access behind the board's
// busy register, the start-up wait on the sensor's vertical sync, and what the IMX-style
// drivers write for exposure, mirrors, frame rate and the short-wave infrared exposure.
#include "FamilyOpen.h"
#include "TestEnvironment.h"

#include <chrono>
#include <cstdlib>

namespace {

using kelvra::sim::ChipWrite;
using kelvra::sim::VideoSync;
using Clock = std::chrono::steady_clock;

constexpr uint8_t kMt9P = 0x90;
constexpr uint8_t kImx = 0x48;
constexpr uint8_t kFpga = 0x40;

class FamilyChipAlgorithms : public FamilyOpen {
protected:
    std::vector<ChipWrite> ChipWrites() const { return kelvra::sim::ChipWriteLog(camera); }

    bool Wrote(uint8_t address, uint16_t reg, uint16_t value) const {
        for (const ChipWrite& w : ChipWrites())
            if (w.address == address && w.reg == reg && w.value == value) return true;
        return false;
    }

    // A value of `bytes` one-byte registers, low byte first, as the chip holds it.
    uint32_t ChipValue(uint16_t reg, int bytes) const {
        uint32_t value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = value << 8 | kelvra::sim::PeekChip(camera, kImx, static_cast<uint16_t>(reg + i)).value_or(0);
        return value;
    }

    // Host reads of board FPGA register 2 (a one-byte write that selects it).
    int BusyRegisterReads() const {
        int reads = 0;
        for (const auto& r : kelvra::sim::I2cLog(camera))
            reads += !r.read && r.address == kFpga && r.bytes == std::vector<uint8_t>{2};
        return reads;
    }

    std::vector<std::pair<int, int>> FpgaWrites(uint8_t reg) const {
        std::vector<std::pair<int, int>> writes;
        for (const auto& w : kelvra::sim::FpgaWriteLog(camera))
            if (w.reg == reg) writes.emplace_back(w.reg, w.value);
        return writes;
    }
};

// ---- MT9 ----

TEST_F(FamilyChipAlgorithms, Mt9ColourGainsWriteTheStageCodeHighByteFirst) {
    ASSERT_EQ(OpenProduct(0x3030), 1);
    kelvra::sim::ClearLogs(camera);
    ASSERT_EQ(device->SetColorGainRed(200), 1);
    EXPECT_TRUE(Wrote(kMt9P, 0x305A, 0x1148));
    const auto i2c = kelvra::sim::I2cLog(camera);
    ASSERT_FALSE(i2c.empty());
    EXPECT_EQ(i2c.front().address, kMt9P);
    EXPECT_EQ(i2c.front().bytes, (std::vector<uint8_t>{0x30, 0x5A, 0x11, 0x48}));
    int32_t red = 0;
    EXPECT_EQ(Sensor().GetColorGainRed(&red), 1);
    EXPECT_EQ(red, 200);

    ASSERT_EQ(Sensor().SetColorGainGreen1(5), 1);
    ASSERT_EQ(Sensor().SetColorGainGreen2(0x7F), 1);
    ASSERT_EQ(Sensor().SetColorGainBlue(0x80), 1);
    EXPECT_EQ(kelvra::sim::PeekChip(camera, kMt9P, 0x3056), 0x1105);
    EXPECT_EQ(kelvra::sim::PeekChip(camera, kMt9P, 0x305C), 0x117F);
    EXPECT_EQ(kelvra::sim::PeekChip(camera, kMt9P, 0x3058), 0x1100);

    // A read takes two bytes, high byte first.
    ASSERT_TRUE(kelvra::sim::PokeChip(camera, kMt9P, 0x0000, 0x1801));
    uint32_t version = 0;
    ASSERT_EQ(Sensor().ReadRegister(0x0000, &version), 1);
    EXPECT_EQ(version, 0x1801u);
}

TEST_F(FamilyChipAlgorithms, Mt9WindowMirrorsAndExposureFollowTheChipsRegisterMap) {
    ASSERT_EQ(OpenProduct(0x3030), 1);  // MT9P001: start and size - 1, active array at column 16, row 54
    ASSERT_EQ(device->SetVideoFormat(16, 8, 320, 240, 0), 1);
    EXPECT_EQ(kelvra::sim::PeekChip(camera, kMt9P, 0x02), 32);
    EXPECT_EQ(kelvra::sim::PeekChip(camera, kMt9P, 0x01), 62);
    EXPECT_EQ(kelvra::sim::PeekChip(camera, kMt9P, 0x04), 319);
    EXPECT_EQ(kelvra::sim::PeekChip(camera, kMt9P, 0x03), 239);
    EXPECT_EQ(device->SetVideoFormat(17, 8, 320, 240, 0), 0) << "starts are even";
    EXPECT_EQ(device->SetVideoFormat(0, 0, 2594, 240, 0), 0) << "wider than the frame";

    ASSERT_EQ(Sensor().SetMirrorH(1), 1);
    ASSERT_EQ(Sensor().SetMirrorV(1), 1);
    EXPECT_EQ(kelvra::sim::PeekChip(camera, kMt9P, 0x20), 0xC000);
    ASSERT_EQ(Sensor().SetMirrorH(0), 1);
    EXPECT_EQ(kelvra::sim::PeekChip(camera, kMt9P, 0x20), 0x8000);

    ASSERT_EQ(Sensor().SetExposure(0x12345), 1);  // clamped to the range's maximum
    EXPECT_EQ(kelvra::sim::PeekChip(camera, kMt9P, 0x08), 0);
    EXPECT_EQ(kelvra::sim::PeekChip(camera, kMt9P, 0x09), 0x7FFF);

    ASSERT_EQ(OpenProduct(0x3040), 1);  // MT9J001: start and end addresses plus the output size
    ASSERT_EQ(device->SetVideoFormat(100, 50, 640, 480, 0), 1);
    EXPECT_EQ(kelvra::sim::PeekChip(camera, 0x20, 0x0348), 100 + 640 - 1);
    EXPECT_EQ(kelvra::sim::PeekChip(camera, 0x20, 0x034E), 480);
    ASSERT_EQ(device->SetVideoFormat(0, 0, 640, 480, 1), 1);  // every second pixel pair
    EXPECT_EQ(kelvra::sim::PeekChip(camera, 0x20, 0x0382), 3);
    EXPECT_EQ(kelvra::sim::PeekChip(camera, 0x20, 0x034C), 320);
    ASSERT_EQ(Sensor().SetHalfClock(1), 1);
    EXPECT_EQ(Sensor().Parameters().pixelClockKHz, 40000);
    ASSERT_EQ(Sensor().SetHalfClock(2), 1);
    EXPECT_EQ(Sensor().Parameters().pixelClockKHz, 80000);
}

TEST_F(FamilyChipAlgorithms, Mt9F002WritesItsAuxiliarySetting) {
    ASSERT_EQ(OpenProduct(0x3020), 1);  // the simulated chip reports version 302
    kelvra::sim::ClearLogs(camera);
    device->SensorStreamHook();
    const auto i2c = kelvra::sim::I2cLog(camera);
    ASSERT_EQ(i2c.size(), 1u);
    EXPECT_EQ(i2c[0].address, 0x5A);
    EXPECT_EQ(i2c[0].bytes, (std::vector<uint8_t>{40, 3}));
}

// ---- verified access ----

TEST_F(FamilyChipAlgorithms, VerifiedAccessGivesUpAfterAHundredBusyReadsAndKeepsTheBlock) {
    ASSERT_EQ(OpenProduct(0x31B0), 1);
    const int32_t exposure = Sensor().Parameters().exposure;
    ASSERT_TRUE(kelvra::sim::HoldFpgaBusy(camera, -1));
    kelvra::sim::ClearLogs(camera);
    const auto start = Clock::now();
    EXPECT_EQ(Sensor().WriteRegisterVerified(0x3014, 5), 0);
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(BusyRegisterReads(), 100);
    EXPECT_TRUE(ChipWrites().empty()) << "nothing reaches a chip while the board is busy";
    EXPECT_GE(elapsed, std::chrono::milliseconds(99 * 3)) << "every failed attempt sleeps";

    kelvra::sim::ClearLogs(camera);
    EXPECT_EQ(Sensor().SetExposure(exposure + 10), 0);
    EXPECT_EQ(Sensor().Parameters().exposure, exposure);
    uint32_t value = 0;
    EXPECT_EQ(Sensor().ReadRegisterWhenIdle(0x3014, &value), 0);
}

TEST_F(FamilyChipAlgorithms, VerifiedAccessWaitsForAnIdleBoardAndRepeatsALostWrite) {
    ASSERT_EQ(OpenProduct(0x31B0), 1);
    ASSERT_TRUE(kelvra::sim::HoldFpgaBusy(camera, 3));
    kelvra::sim::ClearLogs(camera);
    EXPECT_EQ(Sensor().WriteRegisterVerified(0x3014, 0x2A), 1);
    EXPECT_EQ(BusyRegisterReads(), 4);
    EXPECT_EQ(kelvra::sim::PeekChip(camera, kImx, 0x3014), 0x2A);

    ASSERT_TRUE(kelvra::sim::LoseChipWrites(camera, kImx, 1));
    kelvra::sim::ClearLogs(camera);
    EXPECT_EQ(Sensor().WriteRegisterVerified(0x3014, 0x2B), 1);
    EXPECT_EQ(BusyRegisterReads(), 2) << "the read-back of the lost write failed the first attempt";
    EXPECT_EQ(kelvra::sim::PeekChip(camera, kImx, 0x3014), 0x2B);
    uint32_t value = 0;
    EXPECT_EQ(Sensor().ReadRegisterWhenIdle(0x3014, &value), 1);
    EXPECT_EQ(value, 0x2Bu);

    ASSERT_EQ(OpenProduct(0x3100), 1);  // IMX174 writes without the board's check
    EXPECT_EQ(Sensor().WriteRegisterVerified(0x3014, 1), 0);
}

// ---- start-up wait ----

class FamilyStartUp : public FamilyChipAlgorithms {
protected:
    void SetUp() override {
        FamilyChipAlgorithms::SetUp();
        SetTestEnvironment("KELVRA_DEBUG", "sensor");
    }
    void TearDown() override {
        SetTestEnvironment("KELVRA_DEBUG", nullptr);
        FamilyChipAlgorithms::TearDown();
    }
};

TEST_F(FamilyStartUp, ARunningSyncNeedsNoResetAndAStoppedOneIsResetFirst) {
    testing::internal::CaptureStderr();
    ASSERT_EQ(OpenProduct(0x31C4), 1);
    EXPECT_TRUE(FpgaWrites(0x81).empty());
    ASSERT_EQ(OpenProduct(0x31F0, [](int c) { kelvra::sim::SetVideoSync(c, VideoSync::StartsOnReset); }), 1);
    EXPECT_EQ(FpgaWrites(0x81), (std::vector<std::pair<int, int>>{{0x81, 1}, {0x81, 0}}));
    const std::string said = testing::internal::GetCapturedStderr();
    size_t ready = 0;
    for (size_t at = said.find("::SerReset:: VD is ready.\n"); at != std::string::npos;
         at = said.find("::SerReset:: VD is ready.\n", at + 1))
        ++ready;
    if (kDebugOutputOnStderr) {
        EXPECT_EQ(ready, 2u) << said;
    }
    EXPECT_FALSE(ChipWrites().empty());

    ASSERT_EQ(OpenProduct(0x3100), 1);  // IMX174 does not wait
    EXPECT_TRUE(FpgaWrites(0x81).empty());
}

TEST_F(FamilyStartUp, ASyncThatNeverRunsFailsTheOpenAfterFiveSeconds) {
    testing::internal::CaptureStderr();
    const auto start = Clock::now();
    EXPECT_EQ(OpenProduct(0x32F0, [](int c) { kelvra::sim::SetVideoSync(c, VideoSync::Stopped); }), 0);
    const auto elapsed = Clock::now() - start;
    const std::string said = testing::internal::GetCapturedStderr();
    if (kDebugOutputOnStderr) {
        EXPECT_NE(said.find("::SerReset:: failure.\n"), std::string::npos) << said;
    }
    EXPECT_GE(elapsed, std::chrono::milliseconds(5000));
    EXPECT_LT(elapsed, std::chrono::milliseconds(8000));
    EXPECT_TRUE(ChipWrites().empty()) << "the chip is not programmed without its sync";
}

// ---- IMX registers ----

TEST_F(FamilyChipAlgorithms, ImxExposureMirrorsAndWindowReachTheirRegisters) {
    ASSERT_EQ(OpenProduct(0x31B4), 1);
    const int32_t vmax = Sensor().Parameters().frameTotal;
    ASSERT_EQ(Sensor().SetExposure(100), 1);
    EXPECT_EQ(ChipValue(0x3018, 3), static_cast<uint32_t>(vmax));
    EXPECT_EQ(ChipValue(0x3020, 3), static_cast<uint32_t>(vmax - 101));
    ASSERT_EQ(Sensor().SetExposure(vmax + 500), 1) << "a long exposure stretches the frame";
    EXPECT_EQ(ChipValue(0x3018, 3), static_cast<uint32_t>(vmax + 502));
    EXPECT_EQ(ChipValue(0x3020, 3), 1u);

    ASSERT_EQ(Sensor().SetMirrorV(1), 1);
    ASSERT_EQ(Sensor().SetMirrorH(1), 1);
    EXPECT_EQ(ChipValue(0x3007, 1) & 0x03, 0x03u);
    ASSERT_EQ(device->SetVideoFormat(64, 32, 320, 240, 0), 1);
    EXPECT_EQ(ChipValue(0x3040, 2), 64u);
    EXPECT_EQ(ChipValue(0x3042, 2), 320u);
    EXPECT_EQ(ChipValue(0x303C, 2), 32u);
    EXPECT_EQ(ChipValue(0x303E, 2), 240u);
    EXPECT_EQ(ChipValue(0x3007, 1), 0x43u) << "crop mode, mirrors kept";
    EXPECT_EQ(device->SetVideoFormat(2147483600, 0, 100, 100, 0), 0);
    EXPECT_EQ(device->SetVideoFormat(0, 0, 320, 240, 1), 1) << "the board subsamples";
    EXPECT_EQ(device->SetVideoFormat(0, 0, 320, 240, 5), 0) << "no such subsample code";
}

TEST_F(FamilyChipAlgorithms, P3200FrameLengthFollowsTheRateWithinItsBounds) {
    ASSERT_EQ(OpenProduct(0x3200), 1);
    const SensorParameters& p = Sensor().Parameters();
    ASSERT_EQ(device->SetVideoFormat(0, 0, 640, 480, 0), 1);
    ASSERT_EQ(Sensor().SetExposure(10), 1);
    ASSERT_EQ(Sensor().SetFrameRate(1, 3000), 1);
    const int32_t expected = static_cast<int32_t>(100000.0 / 3000 / (p.lineTotal * 3 / 2.2 / p.pixelClockKHz));
    EXPECT_EQ(p.frameTotal, expected);
    EXPECT_EQ(ChipValue(0x3018, 3), static_cast<uint32_t>(expected));
    ASSERT_EQ(Sensor().SetFrameRate(1, 1000000), 1);
    EXPECT_EQ(p.frameTotal, 480 + 46);
    ASSERT_EQ(Sensor().SetFrameRate(1, 1), 1);
    EXPECT_EQ(p.frameTotal, 0xFFFF);
    EXPECT_EQ(Sensor().SetFrameRate(1, 0), 0);
}

TEST_F(FamilyChipAlgorithms, SwirVariantsAndTheirExposureInNanoseconds) {
    ASSERT_EQ(OpenProduct(0x3260), 1);
    EXPECT_EQ(Sensor().Parameters().auxParameter1, 4);
    EXPECT_EQ(Sensor().SetVariant(111), 0);
    EXPECT_EQ(Sensor().Variant(), 109);
    ASSERT_EQ(OpenProduct(0x3270), 1);
    EXPECT_EQ(Sensor().Parameters().auxParameter1, 1);
    ASSERT_EQ(OpenProduct(0x3290), 1);
    EXPECT_EQ(Sensor().Variant(), 112);
    EXPECT_EQ(Sensor().Parameters().auxParameter1, 1);

    ASSERT_EQ(Sensor().SetExposureSeconds(0.01234567), 1);
    EXPECT_EQ(Sensor().Parameters().exposureTime, 123);
    EXPECT_DOUBLE_EQ(Sensor().Parameters().exposureSeconds, 0.01234567);
    uint64_t nanoseconds = 0;
    for (int i = 5; i >= 0; --i)
        nanoseconds = nanoseconds << 8 | kelvra::sim::PeekChip(camera, kImx, static_cast<uint16_t>(0x3F00 + i)).value();
    EXPECT_EQ(nanoseconds, 12345670u);
    ASSERT_EQ(Sensor().SetExposureSeconds(1e9), 1);
    EXPECT_DOUBLE_EQ(Sensor().Parameters().exposureSeconds, Sensor().Parameters().exposureSecondsMax);
}

TEST_F(FamilyChipAlgorithms, BoardFunctionsOfTheGlux9701AndTheCooledCamera) {
    ASSERT_EQ(OpenProduct(0x32C0), 1);
    ASSERT_EQ(Sensor().SetGain(100), 1);
    EXPECT_EQ(ChipValue(0x3014, 1), 62u) << "clamped to the gain range";
    ASSERT_EQ(Sensor().SetLevel(100), 1);
    EXPECT_EQ(ChipValue(0x300A, 2), 100u);
    ASSERT_EQ(Sensor().SetAutoLevel(1), 1);
    EXPECT_EQ(ChipValue(0x3F10, 1), 1u);
    ASSERT_EQ(Sensor().WriteFpgaFlag(1), 1);
    EXPECT_EQ(kelvra::sim::PeekFpga(camera, 0x80), 1);
    EXPECT_EQ(Sensor().GetFpgaFlag(), 1);
    kelvra::sim::ClearLogs(camera);
    ASSERT_EQ(Sensor().ResetSensor(), 1);
    const auto writes = ChipWrites();
    ASSERT_GE(writes.size(), 2u);
    EXPECT_EQ(writes.front().reg, 0x3000);
    EXPECT_EQ(writes.front().value, 1);
    EXPECT_TRUE(Wrote(kImx, 0x3000, 0)) << "out of standby again";

    ASSERT_EQ(OpenProduct(0x3200), 1);
    ASSERT_EQ(Sensor().SetCoolerState(1), 1);
    EXPECT_EQ(kelvra::sim::PeekFpga(camera, 0x50), 1);
    ASSERT_TRUE(kelvra::sim::PokeFpga(camera, 0x51, 0xF6));
    double degrees = 0;
    ASSERT_EQ(Sensor().ReadTemperature(&degrees), 1);
    EXPECT_EQ(degrees, -10.0);
    ASSERT_EQ(Sensor().SetMonitorMode(2), 1);
    ASSERT_TRUE(kelvra::sim::PokeFpga(camera, 0x53, 7));
    int32_t status = 0;
    ASSERT_EQ(Sensor().ReadMonitorStatus(&status), 1);
    EXPECT_EQ(status, 7);
    Sensor().StopMonitorAndClear();
    EXPECT_EQ(kelvra::sim::PeekFpga(camera, 0x52), 0);
    EXPECT_EQ(kelvra::sim::PeekFpga(camera, 0x53), 0);
}

}  // namespace
