#include "SimClient.h"

#include "kelvra/KelvraSimModel.h"

#include <gtest/gtest.h>

using namespace simtest;
namespace sim = kelvra::sim;

namespace {

class SimControl : public ::testing::Test {
protected:
    void SetUp() override { KelvraSim_Reset(); }
    void TearDown() override { KelvraSim_Reset(); }

    int Attach(unsigned short product) {
        const int camera = KelvraSim_Attach(product);
        device = std::make_unique<Device>(*sim::DevicePath(camera), false);
        return camera;
    }
    Device& Dev() { return *device; }

private:
    std::unique_ptr<Device> device;
};

TEST_F(SimControl, InformationRecordsAnswerSixtyFourBytesWithTheFirmwareVersionAtByte24) {
    const int camera = Attach(0x3180);
    auto info = Dev().Control(0xC0, 0xB0, 0, 0);
    ASSERT_TRUE(info.ok);
    ASSERT_EQ(64u, info.data.size());
    EXPECT_EQ(0x80, info.data[2]);
    EXPECT_EQ(0x31, info.data[3]);
    EXPECT_GT(info.data[24] | info.data[25] << 8, 0x10FF);
    EXPECT_EQ("880HQLN", std::string(reinterpret_cast<const char*>(&info.data[4])));

    sim::InfoRecord changed{};
    changed[24] = 0x34;
    changed[25] = 0x12;
    ASSERT_TRUE(sim::SetInfoRecord(camera, 2, changed));
    auto second = Dev().Control(0xC0, 0xB1, 0, 0);
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(std::vector<std::uint8_t>(changed.begin(), changed.end()), second.data);
}

TEST_F(SimControl, RequestsTheFirmwareDoesNotKnowOrWithTheWrongTypeStall) {
    const int camera = Attach(0x3180);
    EXPECT_FALSE(Dev().Control(0xC0, 0x77, 0, 0).ok);
    EXPECT_FALSE(Dev().Control(0x40, 0xB0, 0, 0).ok);      // a read sent as a write
    EXPECT_FALSE(Dev().Control(0x40, 0xC2, 0, 0).ok);      // RequestFrame goes to the endpoint recipient
    EXPECT_FALSE(Dev().Control(0x40, 0x30, 65, 0x40).ok);  // more than 64 I2C bytes
    EXPECT_FALSE(Dev().Control(0xC0, 0x31, 2, 0x40).ok);   // a read address without bit 0
    EXPECT_TRUE(Dev().Control(0x40, 0x30, 64, 0xA2, std::vector<std::uint8_t>(64, 0)).ok);
    const auto log = sim::ControlLog(camera);
    ASSERT_EQ(6u, log.size());
    EXPECT_FALSE(log[0].accepted);
    EXPECT_TRUE(log[5].accepted);
    EXPECT_EQ(64u, log[5].dataOut.size());
}

TEST_F(SimControl, ReturnedByteCountsFollowTheDataRules) {
    Attach(0x3180);
    EXPECT_EQ(1u, Dev().Control(0xC0, 0x3D, 0, 0).data.size());
    EXPECT_EQ(2u, Dev().Control(0xC0, 0x3F, 0x10, 0).data.size());
    EXPECT_EQ(64u, Dev().Control(0xC0, 0xD1, 0, 5).data.size());
    auto ready = Dev().Control(0xC0, 0xC3, 0, 0);
    ASSERT_EQ(64u, ready.data.size());
    EXPECT_EQ(1, ready.data[0]);
    auto read = Dev().I2cRead(0xA2, 7);
    ASSERT_TRUE(read);
    EXPECT_EQ(7u, read->size());
}

TEST_F(SimControl, FirmwareRegistersAndModeByteKeepWhatWasWritten) {
    Attach(0x3180);
    // WriteRegister32 of address 0x8005: bit 15 travels in value.
    ASSERT_TRUE(Dev().Control(0x40, 0xD0, 1, 0x0005, {0x78, 0x56, 0x34, 0x12}).ok);
    auto reg = Dev().Control(0xC0, 0xD1, 0, 0x8005);
    ASSERT_TRUE(reg.ok);
    EXPECT_EQ(0x78, reg.data[0]);
    EXPECT_EQ(0x56, reg.data[1]);
    EXPECT_EQ(0, Dev().Control(0xC0, 0xD1, 0, 0x0005).data[0]);

    ASSERT_TRUE(Dev().Control(0x40, 0x3E, 0, 0, {0x12, 0x34, 0xAB, 0xCD}).ok);
    auto word = Dev().Control(0xC0, 0x3F, 0x1234, 0);
    EXPECT_EQ((std::vector<std::uint8_t>{0xCD, 0xAB}), word.data);

    ASSERT_TRUE(Dev().Control(0x40, 0x3C, 0, 0, {0x5A, 0, 0, 0}).ok);
    EXPECT_EQ(std::vector<std::uint8_t>{0x5A}, Dev().Control(0xC0, 0x3D, 0, 0).data);
}

TEST_F(SimControl, BoardDevicesAnswerOnTheirAddresses) {
    const int camera = Attach(0x3180);
    // FPGA: 8-bit register writes put the value in the low byte; a read answers both bytes.
    ASSERT_TRUE(Dev().WriteFpga(68, 0x40));
    EXPECT_EQ(0x0040, Dev().ReadFpga(68));
    const auto writes = sim::FpgaWriteLog(camera);
    ASSERT_EQ(1u, writes.size());
    EXPECT_EQ(68, writes[0].reg);
    EXPECT_EQ(0x40, writes[0].value);
    EXPECT_EQ(0x0040, *sim::PeekFpga(camera, 68));
    EXPECT_EQ(0x0112, *Dev().ReadFpga(16) | *Dev().ReadFpga(17) << 8);

    // EEPROM: 16-bit address, then the bytes; reading back after setting the address.
    ASSERT_TRUE(Dev().I2cWrite(0xA2, {0x01, 0x23, 0x9C}));
    ASSERT_TRUE(Dev().I2cWrite(0xA2, {0x01, 0x23}));
    EXPECT_EQ(std::vector<std::uint8_t>{0x9C}, *Dev().I2cRead(0xA2, 1));
    EXPECT_EQ(0x9C, *sim::PeekEeprom(camera, 0x0123));
    EXPECT_EQ(0xFF, *sim::PeekEeprom(camera, 0x0124));  // erased cells

    // Auxiliary device: 8-bit registers.
    ASSERT_TRUE(Dev().I2cWrite(0x5A, {40, 3}));
    ASSERT_TRUE(Dev().I2cWrite(0x5A, {40}));
    EXPECT_EQ(std::vector<std::uint8_t>{3}, *Dev().I2cRead(0x5A, 1));

    // The 880HQLN board has nothing else on its bus.
    EXPECT_FALSE(Dev().I2cWrite(0x20, {0, 0}));
    EXPECT_FALSE(Dev().I2cRead(0x21, 2));
    const auto i2c = sim::I2cLog(camera);
    ASSERT_FALSE(i2c.empty());
    EXPECT_FALSE(i2c.back().acknowledged);
    EXPECT_TRUE(i2c.back().read);
}

TEST_F(SimControl, GenericBoardsAnswerEveryAddressFromARegisterMap) {
    const int camera = Attach(0x3100);
    ASSERT_TRUE(Dev().I2cWrite(0x48, {0x30, 0x08, 0x5A}));
    ASSERT_TRUE(Dev().I2cWrite(0x48, {0x30, 0x08}));
    EXPECT_EQ(std::vector<std::uint8_t>{0x5A}, *Dev().I2cRead(0x49, 1));
    EXPECT_EQ(0x5A, *sim::PeekI2c(camera, 0x48, 0x3008));
    // Sixteen-bit values of the MT9 chips are two consecutive registers, high byte first.
    ASSERT_TRUE(Dev().I2cWrite(0x90, {0x30, 0x5A, 0x11, 0x48}));
    ASSERT_TRUE(Dev().I2cWrite(0x90, {0x30, 0x5A}));
    EXPECT_EQ((std::vector<std::uint8_t>{0x11, 0x48}), *Dev().I2cRead(0x91, 2));
    ASSERT_TRUE(sim::PokeI2c(camera, 0x6C, 0x0001, 0x77));
    ASSERT_TRUE(Dev().I2cWrite(0x6C, {0x00, 0x01}));
    EXPECT_EQ(std::vector<std::uint8_t>{0x77}, *Dev().I2cRead(0x6D, 1));
}

TEST_F(SimControl, Product3020ReportsItsChipVersion) {
    const int camera = Attach(0x3020);
    auto readVersion = [this] {
        EXPECT_TRUE(Dev().I2cWrite(0x20, {0x00, 0x00}));
        auto bytes = Dev().I2cRead(0x21, 2);
        return bytes ? (*bytes)[0] << 8 | (*bytes)[1] : -1;
    };
    EXPECT_EQ(302, readVersion());
    ASSERT_TRUE(Dev().I2cWrite(0x20, {0x00, 0x00, 0x55, 0x55}));  // the version register is read-only
    EXPECT_EQ(302, readVersion());
    ASSERT_TRUE(sim::SetChipVersion(camera, 301));
    EXPECT_EQ(301, readVersion());
    EXPECT_FALSE(sim::SetChipVersion(KelvraSim_Attach(0x3180), 301));
}

TEST_F(SimControl, BusSpeedPortAndPipeRequests) {
    const int camera = Attach(0x3180);
    std::uint32_t speed = 0;
    DWORD count = 0;
    ASSERT_TRUE(Dev().SimpleIoctl(kIoctlBusSpeed, {0, 0, 0, 0}, &count, &speed, sizeof speed));
    EXPECT_EQ(4u, count);
    EXPECT_EQ(4u, speed);
    ASSERT_TRUE(sim::SetBusSpeed(camera, 3));
    ASSERT_TRUE(Dev().SimpleIoctl(kIoctlBusSpeed, {0, 0, 0, 0}, &count, &speed, sizeof speed));
    EXPECT_EQ(3u, speed);

    EXPECT_TRUE(Dev().SimpleIoctl(kIoctlResetPort, {}));
    EXPECT_TRUE(Dev().SimpleIoctl(kIoctlResetPipe, {0x81}));
    EXPECT_FALSE(Dev().SimpleIoctl(kIoctlResetPipe, {0x02}));
    EXPECT_TRUE(Dev().SimpleIoctl(kIoctlAbort, {0x81}));
    EXPECT_FALSE(Dev().SimpleIoctl(0x220028, {}));
    // A control request whose data area runs past the buffer is refused by the driver.
    std::vector<std::uint8_t> shortRequest(40, 0);
    shortRequest[0] = 0xC0;
    shortRequest[1] = 0xB0;
    shortRequest[30] = 38;
    shortRequest[34] = 64;
    std::vector<std::uint8_t> out(102);
    EXPECT_FALSE(Dev().SimpleIoctl(kIoctlControl, shortRequest, nullptr, out.data(), 102));
}

}  // namespace
