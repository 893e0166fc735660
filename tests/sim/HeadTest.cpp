#include "SimClient.h"

#include "kelvra/KelvraSimModel.h"

#include <gtest/gtest.h>

using namespace simtest;
namespace sim = kelvra::sim;

namespace {

class SimHead : public ::testing::Test {
protected:
    void SetUp() override {
        KelvraSim_Reset();
        camera = KelvraSim_Attach(0x3180);
        device = std::make_unique<Device>(*sim::DevicePath(camera), false);
    }
    void TearDown() override { KelvraSim_Reset(); }

    std::string Command(const std::string& text) {
        EXPECT_TRUE(device->SendText(text));
        return device->ReceiveAll();
    }

    int camera = 0;
    std::unique_ptr<Device> device;
};

TEST_F(SimHead, ANewCameraIsIdentifiedOnlyAfterTheHostWritesRegister0xFF) {
    EXPECT_EQ(0, *device->ReadFpga(0xFF) & 0xFF);
    EXPECT_FALSE(*sim::IsHeadIdentified(camera));
    ASSERT_TRUE(device->WriteFpga(0xFF, 4));
    EXPECT_EQ(4, *device->ReadFpga(0xFF) & 0xFF);
    EXPECT_TRUE(*sim::IsHeadIdentified(camera));
    ASSERT_TRUE(device->WriteFpga(0x3C, 2));
    EXPECT_EQ(2, *device->ReadFpga(0x3C) & 0xFF);
    // Unplugging the cable does not power the camera down.
    KelvraSim_Unplug(camera);
    KelvraSim_Replug(camera);
    EXPECT_TRUE(*sim::IsHeadIdentified(camera));
}

TEST_F(SimHead, CommandsGetTheirExactReplies) {
    EXPECT_EQ("", device->ReceiveAll());  // nothing waits on a new head
    EXPECT_EQ("KELVRA-880HQLN-CL\r\n", Command("n\r\n"));
    EXPECT_EQ("OK\r\n", Command("x -c\r\n"));
    EXPECT_EQ("OK\r\n", Command("i -v 5714\n"));
    EXPECT_EQ("OK\r\n", Command("g -v 255\n"));
    EXPECT_EQ("NG\r\n", Command("g -v 256\n"));
    EXPECT_EQ("NG\r\n", Command("i -v -1\n"));
    EXPECT_EQ("NG\r\n", Command("i -v 12x\n"));
    EXPECT_EQ("NG\r\n", Command("hello\r\n"));
    EXPECT_EQ("NG\r\n", Command("d -y 1234\r\n"));
    const auto state = *sim::GetHeadState(camera);
    EXPECT_EQ(5714, state.exposure);
    EXPECT_EQ(255, state.gain);
    EXPECT_TRUE(state.commandModeCleared);
    EXPECT_FALSE(state.debugMode);

    const auto log = sim::HeadLog(camera);
    ASSERT_EQ(9u, log.size());
    EXPECT_EQ("i -v 5714", log[2].command);
    EXPECT_EQ("OK\r\n", log[2].reply);
}

TEST_F(SimHead, RepliesAreReadOneCharacterAtATimeAndEndWithZero) {
    ASSERT_TRUE(device->SendText("x -c\r\n"));
    std::string reply;
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(device->I2cWrite(0x48, {0x00, 0x00}));
        reply.push_back(static_cast<char>((*device->I2cRead(0x48, 1))[0]));
    }
    EXPECT_EQ(std::string("OK\r\n\0\0", 6), reply);
}

TEST_F(SimHead, HeadFpgaWritesNeedDebugModeAndTheApplyPulseSwitchesTrigger) {
    EXPECT_EQ("NG\r\n", Command("q -w x30 x01\n"));
    EXPECT_EQ("Welcome Debug Mode!\r\n", Command("d -y 5820364\r\n"));
    EXPECT_EQ("Fpga Write   : 0x30 : 0x01\r\n", Command("q -w x30 x01\n"));
    EXPECT_FALSE(sim::GetHeadState(camera)->triggerMode);  // not applied yet
    EXPECT_EQ("Fpga Write   : 0x3C : 0x00\r\n", Command("q -w x3c x00\n"));
    EXPECT_EQ("Fpga Write   : 0x3C : 0x01\r\n", Command("q -w x3c x01\n"));
    EXPECT_TRUE(sim::GetHeadState(camera)->triggerMode);
    EXPECT_EQ(1, *sim::PeekHeadFpga(camera, 0x30));
    EXPECT_EQ("NG\r\n", Command("q -w x130 x01\n"));
    EXPECT_EQ("Good Bye!\r\n", Command("d -n\r\n"));
    EXPECT_EQ("NG\r\n", Command("q -w x30 x00\n"));
    EXPECT_TRUE(sim::GetHeadState(camera)->triggerMode);
}

TEST_F(SimHead, InjectedRejectionAndSilenceHitTheNextCommandsOnly) {
    ASSERT_EQ(1, KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_HEAD_NG, 2));
    EXPECT_EQ("NG\r\n", Command("g -v 10\n"));
    EXPECT_EQ("NG\r\n", Command("g -v 10\n"));
    EXPECT_EQ(128, sim::GetHeadState(camera)->gain);  // a rejected command changes nothing
    EXPECT_EQ("OK\r\n", Command("g -v 10\n"));
    EXPECT_EQ(10, sim::GetHeadState(camera)->gain);

    ASSERT_EQ(1, KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_HEAD_SILENT, 1));
    EXPECT_EQ("", Command("n\r\n"));
    EXPECT_EQ("KELVRA-880HQLN-CL\r\n", Command("n\r\n"));
    const auto log = sim::HeadLog(camera);
    EXPECT_EQ("", log[log.size() - 2].reply);
}

TEST_F(SimHead, OverlongLinesAreRejectedAndBareLineEndsIgnored) {
    EXPECT_EQ("", Command("\r\n"));
    EXPECT_EQ("NG\r\n", Command(std::string(300, 'a') + "\n"));
    EXPECT_EQ("OK\r\n", Command("x -c\r\n"));
}

TEST_F(SimHead, RepliesQueueUpWhenTheHostDoesNotReadThem) {
    ASSERT_TRUE(device->SendText("x -c\r\n"));
    ASSERT_TRUE(device->SendText("n\r\n"));
    EXPECT_EQ("OK\r\nKELVRA-880HQLN-CL\r\n", device->ReceiveAll());
}

}  // namespace
