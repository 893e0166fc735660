// Vendor requests on endpoint 0: what the camera receives for each operation and how the answer
// is taken.
#include "UsbTestSupport.h"

#include <functional>

namespace usbtest {
namespace {

namespace sim = kelvra::sim;

struct Sent {
    uint8_t requestType;
    uint8_t request;
    uint16_t value;
    uint16_t index;
    std::vector<uint8_t> data;
};

class UsbRequestTest : public UsbTest {
protected:
    void SetUp() override {
        UsbTest::SetUp();
        camera = KelvraSim_Attach(0x3180);
        controller = Opened(SimPath(camera));
    }

    // Runs the operation and compares every request the camera received with `expected`.
    void Expect(const std::function<int()>& operation, const std::vector<Sent>& expected) {
        sim::ClearLogs(camera);
        EXPECT_NE(0, operation());
        const std::vector<sim::ControlRecord> log = sim::ControlLog(camera);
        ASSERT_EQ(expected.size(), log.size());
        for (std::size_t i = 0; i < log.size(); ++i) {
            SCOPED_TRACE(::testing::Message() << "request 0x" << std::hex << int(expected[i].request));
            EXPECT_TRUE(log[i].accepted);
            EXPECT_EQ(expected[i].requestType, log[i].requestType);
            EXPECT_EQ(expected[i].request, log[i].request);
            EXPECT_EQ(expected[i].value, log[i].value);
            EXPECT_EQ(expected[i].index, log[i].index);
            EXPECT_EQ(expected[i].data, log[i].dataOut);
        }
    }

    int camera = 0;
    std::unique_ptr<CKelvCy3Cam> controller;
};

TEST_F(UsbRequestTest, EachOperationSendsItsRequestLaidOutForTheCamera) {
    CKelvCy3Cam& c = *controller;
    int word = 0;
    uint8_t byte = 0;
    uint8_t info[64];
    const uint8_t three[] = {1, 2, 3};
    Expect([&] { return c.WriteRegister32(0x8005, 0x11223344); }, {{0x40, 0xD0, 1, 0x0005, {0x44, 0x33, 0x22, 0x11}}});
    Expect([&] { return c.ReadRegister16(0x0005, &word); }, {{0xC0, 0xD1, 0, 0x0005, {}}});
    Expect([&] { return c.WriteRegisterPair(0x1234, 0xABCD); }, {{0x40, 0x3E, 0, 0, {0x12, 0x34, 0xAB, 0xCD}}});
    Expect([&] { return c.ReadRegisterWord(0x1234, &word); }, {{0xC0, 0x3F, 0x1234, 0, {}}});
    EXPECT_EQ(0xABCD, word);
    Expect([&] { return c.WriteModeByte(7); }, {{0x40, 0x3C, 0, 0, {7, 0, 0, 0}}});
    Expect([&] { return c.ReadModeByte(&byte); }, {{0xC0, 0x3D, 0, 0, {}}});
    EXPECT_EQ(7, byte);
    Expect([&] { return c.ReadCameraInfo(info); }, {{0xC0, 0xB0, 0, 0, {}}});
    Expect([&] { return c.ReadCameraInfo2(info); }, {{0xC0, 0xB1, 0, 0, {}}});
    Expect([&] { return c.ReadReadyState(&byte); }, {{0xC0, 0xC3, 0, 0, {}}});
    Expect([&] { return c.ResetStream(); }, {{0x40, 0xC0, 0, 0, {}}});
    Expect([&] { return c.RequestFrame(nullptr); }, {{0x42, 0xC2, 0, 0, {}}});
    Expect([&] { return c.SendRequestCC(); }, {{0x42, 0xCC, 0, 0, {}}});
    Expect([&] { return c.I2cWrite(0x5A, three, 3, 3000); }, {{0x40, 0x30, 3, 0x5A, {1, 2, 3}}});
    Expect([&] { return c.WriteFpgaRegister(0x6C, 1); }, {{0x40, 0x30, 3, 0x40, {0x6C, 0x00, 0x01}}});
    Expect([&] { return c.ReadFpgaRegister(8, &byte); }, {{0x40, 0x30, 1, 0x40, {0x08}}, {0xC0, 0x31, 2, 0x41, {}}});
    Expect([&] { return c.WriteAuxRegister(0x21, 0x9C); }, {{0x40, 0x30, 2, 0x5A, {0x21, 0x9C}}});
    Expect([&] { return c.ReadAuxRegister(0x21, &byte); }, {{0x40, 0x30, 1, 0x5A, {0x21}}, {0xC0, 0x31, 1, 0x5B, {}}});
    EXPECT_EQ(0x9C, byte);
    Expect([&] { return c.WriteSromByte(0x0123, 0xAB); }, {{0x40, 0x30, 3, 0xA2, {0x01, 0x23, 0xAB}}});
    Expect([&] { return c.ReadSromByte(0x0123, &byte); },
           {{0x40, 0x30, 2, 0xA2, {0x01, 0x23}}, {0xC0, 0x31, 1, 0xA3, {}}});
    EXPECT_EQ(0xAB, byte);
    EXPECT_EQ(0xAB, sim::PeekEeprom(camera, 0x0123).value_or(0));
}

TEST_F(UsbRequestTest, I2cTransfersStopAtSixtyFourBytes) {
    std::vector<uint8_t> bytes(65, 0xEE);
    sim::ClearLogs(camera);
    EXPECT_EQ(0, controller->I2cWrite(0x5A, bytes.data(), 65, 3000));
    EXPECT_EQ(0, controller->I2cRead(0x5A, bytes.data(), 65, 3000));
    EXPECT_TRUE(sim::ControlLog(camera).empty());
    EXPECT_EQ(1, controller->I2cWrite(0x5A, bytes.data(), 64, 3000));
    EXPECT_EQ(1, controller->I2cRead(0x5A, bytes.data(), 64, 3000));
    ASSERT_EQ(2u, sim::ControlLog(camera).size());
    EXPECT_EQ(std::vector<uint8_t>(64, 0xEE), sim::ControlLog(camera)[0].dataOut);
    EXPECT_EQ(64, sim::ControlLog(camera)[1].value);
}

TEST_F(UsbRequestTest, BoardStateReadsBackThroughTheController) {
    ASSERT_TRUE(sim::PokeFpga(camera, 0x10, 0x00AB) && sim::PokeFpga(camera, 0x11, 0x00CD));
    uint16_t pair = 0;
    ASSERT_EQ(1, controller->ReadFpgaRegisterPair(&pair));
    EXPECT_EQ(0xCDAB, pair);
    uint8_t info[64] = {};
    ASSERT_EQ(1, controller->ReadCameraInfo(info));
    const auto record = sim::GetInfoRecord(camera, 1);
    ASSERT_TRUE(record);
    EXPECT_TRUE(std::equal(record->begin(), record->end(), info));
    ASSERT_TRUE(sim::SetBusSpeed(camera, 3));
    int speed = 0;
    EXPECT_EQ(1, controller->GetBusSpeed(&speed));
    EXPECT_EQ(3, speed);

    KelvraSim_Unplug(camera);
    sim::ClearLogs(camera);
    EXPECT_EQ(0, controller->WriteRegister32(1, 1));
    EXPECT_EQ(0, controller->GetBusSpeed(&speed));
    EXPECT_TRUE(sim::ControlLog(camera).empty());
}

// Answer lengths the simulated camera never gives, from a scripted driver.
TEST_F(UsbRequestTest, AnswersAreTakenOnlyWhenLongEnough) {
    auto camera = PlugScripted(0x3180, "A");
    auto controller = Opened(camera->Path(), &kScriptedClass);
    std::vector<uint8_t> answer(64);
    for (std::size_t i = 0; i < answer.size(); ++i) answer[i] = uint8_t(0x80 + i);

    int value = -1;
    camera->SetReply(0xD1, answer, 102);
    EXPECT_EQ(1, controller->ReadRegister16(0x10, &value));
    EXPECT_EQ(0x8180, value);
    camera->SetReply(0xD1, answer, 101);
    EXPECT_EQ(1, controller->ReadRegister16(0x10, &value));
    EXPECT_EQ(0, value);

    uint8_t info[64];
    std::fill(std::begin(info), std::end(info), 0x11);
    camera->SetReply(0xB0, answer, 101);
    EXPECT_EQ(1, controller->ReadCameraInfo(info));
    EXPECT_EQ(std::vector<uint8_t>(64, 0x11), std::vector<uint8_t>(info, info + 64));

    // Any data at all is taken by the word and mode reads; a count below the 38-byte header is a
    // data length as it stands.
    value = -1;
    camera->SetReply(0x3F, answer, 38);
    EXPECT_EQ(1, controller->ReadRegisterWord(0x10, &value));
    EXPECT_EQ(-1, value);
    uint8_t mode = 0;
    camera->SetReply(0x3D, answer, 5);
    EXPECT_EQ(1, controller->ReadModeByte(&mode));
    EXPECT_EQ(0x80, mode);

    // A short I2C answer fails and leaves the caller's bytes alone; so does either half of a pair.
    uint8_t bytes[4] = {9, 9, 9, 9};
    camera->SetReply(0x31, answer, 38 + 3);
    EXPECT_EQ(0, controller->I2cRead(0x48, bytes, 4, 3000));
    EXPECT_EQ(9, bytes[0]);
    camera->SetReply(0x31, answer, 38 + 1);
    uint16_t pair = 7;
    EXPECT_EQ(0, controller->ReadFpgaRegisterPair(&pair));
    EXPECT_EQ(7, pair);
}

}  // namespace
}  // namespace usbtest
