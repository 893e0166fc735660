// Commands of the 880HQLN driver as the head sees them, and how the driver reacts to its answers.
#include "FakeHeadController.h"
#include "sensors/Sensor880HQLN.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <string>
#include <vector>

namespace {

class Head880HQLN : public ::testing::Test {
protected:
    void SetUp() override {
        sensor.SetReplyTimeLimit(2000);
        // Debug mode is one state for the process: start every test with it off.
        ASSERT_EQ(sensor.SetDebugMode(0), 1);
        head.commands.clear();
    }

    int32_t Exposure() {
        int32_t value = 0;
        EXPECT_EQ(sensor.GetExposure(&value), 1);
        return value;
    }

    FakeHeadController head;
    CSensor880HQLN sensor{&head, FakeHeadController::kBridgeAddress};
};

template <class Action>
long long MillisecondsOf(Action action) {
    const auto start = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(Head880HQLN, GainIsClampedToItsMaximumAndStoredOnOk) {
    ASSERT_EQ(sensor.SetGain(300), 1);
    EXPECT_EQ(head.commands, std::vector<std::string>{"g -v 255"});
    int32_t gain = 0;
    EXPECT_EQ(sensor.GetGain(&gain), 1);
    EXPECT_EQ(gain, 255);
}

TEST_F(Head880HQLN, ExposureTimeIsSentInHeadUnits) {
    ASSERT_EQ(sensor.SetExposureTime(100), 1);
    ASSERT_EQ(sensor.SetExposureTime(7), 1);
    EXPECT_EQ(head.commands, (std::vector<std::string>{"i -v 5714", "i -v 400"}));
    int32_t time = 0;
    EXPECT_EQ(sensor.GetExposureTime(&time), 1);
    EXPECT_EQ(time, 7);
    EXPECT_EQ(Exposure(), 400);

    head.commands.clear();
    ASSERT_EQ(sensor.SetExposureTime(INT32_MAX), 1);
    EXPECT_EQ(head.commands, std::vector<std::string>{"i -v 1000000"});
}

TEST_F(Head880HQLN, RejectedCommandIsRepeatedUntilTheRetriesRunOut) {
    head.ngReplies = 2;
    ASSERT_EQ(sensor.SetExposure(2000), 1);
    EXPECT_EQ(head.CountCommands("i -v 2000"), 3u);
    EXPECT_EQ(Exposure(), 2000);

    head.commands.clear();
    head.ngReplies = 3;
    EXPECT_EQ(sensor.SetExposure(3000), 0);
    EXPECT_EQ(head.CountCommands("i -v 3000"), 3u);  // no fourth copy after the last "NG"
    EXPECT_EQ(Exposure(), 2000);
}

TEST_F(Head880HQLN, EchoesAndOtherOutputAreSkipped) {
    head.echo = true;
    head.QueueReply("boot banner\r\n");
    ASSERT_EQ(sensor.SetGain(12), 1);
    EXPECT_EQ(head.CountCommands("g -v 12"), 1u);
}

TEST_F(Head880HQLN, SilentHeadFailsTheTransactionAtTheLimit) {
    EXPECT_EQ(CSensor880HQLN::kReplyTimeLimitMs, 60000u);
    sensor.SetReplyTimeLimit(300);
    head.silentCommands = 1;
    EXPECT_EQ(sensor.SetGain(10), 0);
    int32_t gain = 0;
    EXPECT_EQ(sensor.GetGain(&gain), 1);
    EXPECT_EQ(gain, 128);
    // The head answers the next command again.
    EXPECT_EQ(sensor.SetGain(10), 1);
}

TEST_F(Head880HQLN, DebugModeIsEnteredOnceForConsecutiveHeadFpgaWrites) {
    ASSERT_EQ(sensor.WriteHeadFpgaRegister(0x30, 0x01), 1);
    ASSERT_EQ(sensor.WriteHeadFpgaRegister(0x3C, 0xAB), 1);
    EXPECT_EQ(head.commands, (std::vector<std::string>{"d -y 5820364", "q -w x30 x01", "q -w x3c xab"}));
    EXPECT_EQ(CSensor880HQLN::DebugModeState(), 1);

    // Another driver of the process finds debug mode already on.
    FakeHeadController otherHead;
    CSensor880HQLN other(&otherHead, FakeHeadController::kBridgeAddress);
    EXPECT_EQ(other.SetDebugMode(1), 1);
    EXPECT_TRUE(otherHead.commands.empty());
}

TEST_F(Head880HQLN, HeadThatLeftDebugModeIsBroughtBackForTheWrite) {
    ASSERT_EQ(sensor.SetDebugMode(1), 1);
    FakeHeadController freshHead;  // a head that was power-cycled: debug mode is off there
    CSensor880HQLN other(&freshHead, FakeHeadController::kBridgeAddress);
    other.SetReplyTimeLimit(2000);
    ASSERT_EQ(other.WriteHeadFpgaRegister(0x30, 0x00), 1);
    EXPECT_EQ(freshHead.CountCommands("d -y 5820364"), 1u);
    EXPECT_EQ(freshHead.commands.back(), "q -w x30 x00");
}

TEST_F(Head880HQLN, TriggerModeWritesTheHeadFpgaInOrderAndAlwaysStoresTheMode) {
    ASSERT_EQ(sensor.SetTriggerMode(1), 1);
    EXPECT_EQ(head.commands,
              (std::vector<std::string>{"d -y 5820364", "q -w x30 x01", "q -w x3c x00", "q -w x3c x01"}));
    int32_t mode = 0;
    EXPECT_EQ(sensor.GetTriggerMode(&mode), 1);
    EXPECT_EQ(mode, 1);

    head.commands.clear();
    sensor.SetReplyTimeLimit(100);
    head.silentCommands = 100;
    EXPECT_EQ(sensor.SetTriggerMode(2), 1);
    EXPECT_EQ(head.commands.front(), "q -w x30 x00");
    EXPECT_EQ(sensor.GetTriggerMode(&mode), 1);
    EXPECT_EQ(mode, 2);
}

TEST_F(Head880HQLN, IdentificationSequence) {
    ASSERT_EQ(sensor.IsCameraReady(), 0);
    ASSERT_EQ(sensor.Identify(), 1);
    EXPECT_EQ(head.commands, (std::vector<std::string>{"n", "x -c"}));
    EXPECT_EQ(head.fpgaWrites.front(), std::make_pair(uint8_t{0xFF}, uint8_t{4}));
    EXPECT_EQ(head.fpga[0x3C], 2);
    EXPECT_EQ(sensor.IsCameraReady(), 1);

    ASSERT_EQ(sensor.Initialize(), 1);
    int32_t x = -1, width = 0, y = -1, height = 0, mode = -1;
    EXPECT_EQ(sensor.GetWindow(&x, &width, &y, &height, &mode), 1);
    EXPECT_EQ(width, 2048);
    EXPECT_EQ(height, 1024);
    ASSERT_EQ(sensor.SetBitDepth(1), 1);
    EXPECT_EQ(sensor.Parameters().bitsPerPixel, 16);
    EXPECT_EQ(sensor.GetWindow(&x, &width, &y, &height, &mode), 1);
    EXPECT_EQ(width, 2048);
}

TEST_F(Head880HQLN, IdentificationFailsOnAWrongNameOrWithoutController) {
    head.ngReplies = 10;
    EXPECT_EQ(sensor.Identify(), 0);
    EXPECT_EQ(head.CountCommands("n"), 10u);
    EXPECT_EQ(head.CountCommands("x -c"), 0u);

    CSensor880HQLN detached(nullptr, 0x48);
    EXPECT_EQ(detached.Identify(), 0);
    EXPECT_EQ(detached.SetGain(1), 0);
    EXPECT_EQ(detached.IsCameraReady(), 0);
}

// A bridge that fails carries no reply: the command fails at once, however long the head may take.
TEST_F(Head880HQLN, FailedBridgeFailsTheCommandWithoutWaitingForAReply) {
    sensor.SetReplyTimeLimit(CSensor880HQLN::kReplyTimeLimitMs);
    head.failReadsAfter = 0;
    EXPECT_LT(MillisecondsOf([&] { EXPECT_EQ(sensor.SetGain(10), 0); }), 1000);
    EXPECT_EQ(sensor.LastAnswerLoss(), AnswerLoss::kLinkFailed);

    // A read that fails in the middle of the reply ("OK" and no line end) ends the command too.
    head.failReadsAfter = 3;
    EXPECT_LT(MillisecondsOf([&] { EXPECT_EQ(sensor.SetGain(11), 0); }), 1000);
    int32_t gain = 0;
    EXPECT_EQ(sensor.GetGain(&gain), 1);
    EXPECT_EQ(gain, 128);

    head.failReadsAfter = -1;
    head.failWritesAfter = 2;  // the command is cut off after two characters
    EXPECT_LT(MillisecondsOf([&] { EXPECT_EQ(sensor.SetExposure(500), 0); }), 1000);
    EXPECT_EQ(Exposure(), 10000);
}

TEST_F(Head880HQLN, SilentHeadStopsTheRestOfASequence) {
    ASSERT_EQ(sensor.SetDebugMode(1), 1);
    head.commands.clear();
    sensor.SetReplyTimeLimit(300);
    head.silentCommands = 100;
    // Three head FPGA writes, each of which would also enter debug mode once more.
    const long long elapsed = MillisecondsOf([&] { EXPECT_EQ(sensor.SetTriggerMode(1), 1); });
    EXPECT_LT(elapsed, 600);
    EXPECT_EQ(head.commands, std::vector<std::string>{"q -w x30 x01"});
    EXPECT_EQ(sensor.LastAnswerLoss(), AnswerLoss::kSilent);

    // Outside a sequence every command gets its own chance, and a refusal cuts nothing off.
    head.silentCommands = 0;
    head.ngReplies = 3;
    sensor.BeginCommandSequence();
    EXPECT_EQ(sensor.SetGain(5), 0);
    EXPECT_EQ(sensor.SetExposure(600), 1);
    sensor.EndCommandSequence();
    EXPECT_EQ(sensor.LastAnswerLoss(), AnswerLoss::kNone);
}

}  // namespace
