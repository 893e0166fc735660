// Vendor requests on endpoint 0: the record each operation sends and how it takes the answer.
#include "UsbTestSupport.h"

#include <functional>

namespace usbtest {
namespace {

struct ExpectedRequest {
    uint8_t requestType;
    uint8_t request;
    uint16_t value;
    uint16_t index;
    std::vector<uint8_t> data;  // leading bytes of the data area; the rest must be zero
};

class ControlRequestTest : public UsbTest {
protected:
    void SetUp() override
    {
        UsbTest::SetUp();
        camera_ = Plug(0x3180, "A");
        controller_ = OpenedController(camera_);
    }

    // Runs one operation and checks every record it sent.
    void ExpectRequests(const std::function<int()>& operation, const std::vector<ExpectedRequest>& expected)
    {
        const std::size_t before = camera_->Controls().size();
        EXPECT_NE(0, operation());
        const std::vector<ControlCall> calls = camera_->Controls();
        ASSERT_EQ(before + expected.size(), calls.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const ControlCall& call = calls[before + i];
            const ExpectedRequest& want = expected[i];
            SCOPED_TRACE(::testing::Message() << "request 0x" << std::hex << int(want.request));
            EXPECT_EQ(want.requestType, call.requestType);
            EXPECT_EQ(want.request, call.request);
            EXPECT_EQ(want.value, call.value);
            EXPECT_EQ(want.index, call.index);
            EXPECT_EQ(102, call.length);
            EXPECT_EQ(3u, call.timeoutSeconds);
            EXPECT_EQ(0, call.endpoint);
            EXPECT_EQ(38u, call.bufferOffset);
            EXPECT_EQ(64u, call.bufferLength);
            std::vector<uint8_t> data = want.data;
            data.resize(64, 0);
            EXPECT_EQ(data, call.data);
        }
    }

    std::shared_ptr<ScriptedCamera> camera_;
    std::unique_ptr<CKelvCy3Cam> controller_;
};

TEST_F(ControlRequestTest, RegisterRequestsCarryAddressAndValueWhereTheCameraExpectsThem)
{
    CKelvCy3Cam& c = *controller_;
    int word = 0;
    ExpectRequests([&] { return c.WriteRegister32(0x8005, 0x11223344); },
                   {{0x40, 0xD0, 1, 0x0005, {0x44, 0x33, 0x22, 0x11}}});
    ExpectRequests([&] { return c.WriteRegister32(0x7FFF, 1); }, {{0x40, 0xD0, 0, 0x7FFF, {1, 0, 0, 0}}});
    ExpectRequests([&] { return c.ReadRegister16(0xBEEF, &word); }, {{0xC0, 0xD1, 0, 0xBEEF, {}}});
    ExpectRequests([&] { return c.WriteRegisterPair(0x1234, 0xABCD); }, {{0x40, 0x3E, 0, 0, {0x12, 0x34, 0xAB, 0xCD}}});
    ExpectRequests([&] { return c.ReadRegisterWord(0x1234, &word); }, {{0xC0, 0x3F, 0x1234, 0, {}}});
    ExpectRequests([&] { return c.WriteModeByte(7); }, {{0x40, 0x3C, 0, 0, {7, 0, 0, 0}}});
    uint8_t byte = 0;
    uint8_t info[64];
    ExpectRequests([&] { return c.ReadModeByte(&byte); }, {{0xC0, 0x3D, 0, 0, {}}});
    ExpectRequests([&] { return c.ReadCameraInfo(info); }, {{0xC0, 0xB0, 0, 0, {}}});
    ExpectRequests([&] { return c.ReadCameraInfo2(info); }, {{0xC0, 0xB1, 0, 0, {}}});
    ExpectRequests([&] { return c.ReadReadyState(&byte); }, {{0xC0, 0xC3, 0, 0, {}}});
    ExpectRequests([&] { return c.ResetStream(); }, {{0x40, 0xC0, 0, 0, {}}});
    ExpectRequests([&] { return c.RequestFrame(nullptr); }, {{0x42, 0xC2, 0, 0, {}}});
    ExpectRequests([&] { return c.SendRequestCC(); }, {{0x42, 0xCC, 0, 0, {}}});
}

TEST_F(ControlRequestTest, BusDevicesAreReachedThroughI2cRequests)
{
    CKelvCy3Cam& c = *controller_;
    uint8_t byte = 0;
    const uint8_t bytes[] = {1, 2, 3};
    uint8_t readBack[2];
    ExpectRequests([&] { return c.I2cWrite(0x48, bytes, 3, 3000); }, {{0x40, 0x30, 3, 0x48, {1, 2, 3}}});
    ExpectRequests([&] { return c.I2cRead(0x48, readBack, 2, 3000); }, {{0xC0, 0x31, 2, 0x49, {}}});
    ExpectRequests([&] { return c.WriteFpgaRegister(0x6C, 1); }, {{0x40, 0x30, 3, 0x40, {0x6C, 0x00, 0x01}}});
    ExpectRequests([&] { return c.ReadFpgaRegister(8, &byte); },
                   {{0x40, 0x30, 1, 0x40, {0x08}}, {0xC0, 0x31, 2, 0x41, {}}});
    ExpectRequests([&] { return c.WriteAuxRegister(0x21, 0x9C); }, {{0x40, 0x30, 2, 0x5A, {0x21, 0x9C}}});
    ExpectRequests([&] { return c.ReadAuxRegister(0x21, &byte); },
                   {{0x40, 0x30, 1, 0x5A, {0x21}}, {0xC0, 0x31, 1, 0x5B, {}}});
    ExpectRequests([&] { return c.WriteSromByte(0x0123, 0x77); }, {{0x40, 0x30, 3, 0xA2, {0x01, 0x23, 0x77}}});
    ExpectRequests([&] { return c.ReadSromByte(0x0123, &byte); },
                   {{0x40, 0x30, 2, 0xA2, {0x01, 0x23}}, {0xC0, 0x31, 1, 0xA3, {}}});
}

TEST_F(ControlRequestTest, I2cTransfersStopAtSixtyFourBytes)
{
    std::vector<uint8_t> bytes(65, 0xEE);
    const std::size_t before = camera_->Controls().size();
    EXPECT_EQ(0, controller_->I2cWrite(0x48, bytes.data(), 65, 3000));
    EXPECT_EQ(0, controller_->I2cRead(0x48, bytes.data(), 65, 3000));
    EXPECT_EQ(before, camera_->Controls().size());

    EXPECT_EQ(1, controller_->I2cWrite(0x48, bytes.data(), 64, 3000));
    EXPECT_EQ(1, controller_->I2cRead(0x48, bytes.data(), 64, 3000));
    const std::vector<ControlCall> calls = camera_->Controls();
    ASSERT_EQ(before + 2, calls.size());
    EXPECT_EQ(64, calls[before].value);
    EXPECT_EQ(std::vector<uint8_t>(64, 0xEE), calls[before].data);
    EXPECT_EQ(64, calls[before + 1].value);
}

TEST_F(ControlRequestTest, AnswersAreTakenOnlyWhenLongEnough)
{
    std::vector<uint8_t> answer(64);
    for (std::size_t i = 0; i < answer.size(); ++i)
        answer[i] = uint8_t(0x80 + i);

    // 16-bit register: only a full 64-byte answer counts; anything shorter reads as 0.
    int value = -1;
    camera_->SetReply(0xD1, answer, 102);
    EXPECT_EQ(1, controller_->ReadRegister16(0x10, &value));
    EXPECT_EQ(0x8180, value);
    camera_->SetReply(0xD1, answer, 101);
    EXPECT_EQ(1, controller_->ReadRegister16(0x10, &value));
    EXPECT_EQ(0, value);

    // Information record: a 63-byte answer leaves the destination alone, yet the request succeeded.
    uint8_t info[64];
    std::fill(std::begin(info), std::end(info), 0x11);
    camera_->SetReply(0xB0, answer, 101);
    EXPECT_EQ(1, controller_->ReadCameraInfo(info));
    EXPECT_EQ(std::vector<uint8_t>(64, 0x11), std::vector<uint8_t>(info, info + 64));
    camera_->SetReply(0xB0, answer, 102);
    EXPECT_EQ(1, controller_->ReadCameraInfo(info));
    EXPECT_EQ(answer, std::vector<uint8_t>(info, info + 64));

    // Register word and mode byte: any data at all is taken; a count below the header's 38 bytes
    // is a data length as it stands.
    value = -1;
    camera_->SetReply(0x3F, answer, 38);
    EXPECT_EQ(1, controller_->ReadRegisterWord(0x10, &value));
    EXPECT_EQ(-1, value);
    camera_->SetReply(0x3F, answer, 40);
    EXPECT_EQ(1, controller_->ReadRegisterWord(0x10, &value));
    EXPECT_EQ(0x8180, value);
    uint8_t mode = 0;
    camera_->SetReply(0x3D, answer, 5);
    EXPECT_EQ(1, controller_->ReadModeByte(&mode));
    EXPECT_EQ(0x80, mode);

    // I2C: a short answer is a failed read that leaves the caller's bytes alone.
    uint8_t bytes[4] = {9, 9, 9, 9};
    camera_->SetReply(0x31, answer, 38 + 3);
    EXPECT_EQ(0, controller_->I2cRead(0x48, bytes, 4, 3000));
    EXPECT_EQ(9, bytes[0]);
    EXPECT_EQ(1, controller_->I2cRead(0x48, bytes, 3, 3000));
    EXPECT_EQ(0x82, bytes[2]);
}

TEST_F(ControlRequestTest, FpgaRegisterIsTheSecondByteOfItsContents)
{
    camera_->SetReply(0x31, {0x12, 0x34}, 38 + 2);
    uint8_t value = 0;
    EXPECT_EQ(1, controller_->ReadFpgaRegister(0x10, &value));
    EXPECT_EQ(0x34, value);
    uint16_t pair = 0;
    EXPECT_EQ(1, controller_->ReadFpgaRegisterPair(&pair));
    EXPECT_EQ(0x3434, pair);
    // A failed half fails the pair and leaves the caller's value alone.
    camera_->SetReply(0x31, {0x12}, 38 + 1);
    pair = 7;
    EXPECT_EQ(0, controller_->ReadFpgaRegisterPair(&pair));
    EXPECT_EQ(7, pair);
}

TEST_F(ControlRequestTest, RequestsOnAnAbsentCameraFailWithoutBeingSent)
{
    camera_->Unplug();
    const std::size_t before = camera_->Controls().size();
    int value = 0;
    EXPECT_EQ(0, controller_->WriteRegister32(1, 1));
    EXPECT_EQ(0, controller_->ReadRegister16(1, &value));
    EXPECT_EQ(0, controller_->ResetPort());
    EXPECT_EQ(0, controller_->GetBusSpeed(&value));
    EXPECT_EQ(before, camera_->Controls().size());
}

TEST_F(ControlRequestTest, BusSpeedKeepsTheOldValueWhenTheDriverCannotTell)
{
    int speed = -1;
    camera_->SetBusSpeed(true, 3);
    EXPECT_EQ(1, controller_->GetBusSpeed(&speed));
    EXPECT_EQ(3, speed);
    camera_->SetBusSpeed(false, 4);
    EXPECT_EQ(1, controller_->GetBusSpeed(&speed));
    EXPECT_EQ(3, speed);
}

TEST_F(ControlRequestTest, PortAndPipeResetsUseTheirOwnCodes)
{
    const std::size_t before = camera_->Codes().size();
    EXPECT_EQ(1, controller_->ResetPort());
    EXPECT_EQ(1, controller_->ResetPipe(0x81));
    const std::vector<DWORD> codes = camera_->Codes();
    ASSERT_EQ(before + 2, codes.size());
    EXPECT_EQ(0x220030u, codes[before]);
    EXPECT_EQ(0x22002Cu, codes[before + 1]);
}

}  // namespace
}  // namespace usbtest
