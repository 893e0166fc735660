// The character channel to the head: how lines are assembled from single register reads and how
// text goes out, whatever the head sends.
#include "FakeHeadController.h"
#include "sensors/Sensor880HQLN.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class HeadText : public ::testing::Test {
protected:
    FakeHeadController head;
    CSensor880HQLN sensor{&head, FakeHeadController::kBridgeAddress};
};

TEST_F(HeadText, LineEndedByCarriageReturnAloneArrivesAsCrLf) {
    head.QueueReply("OK\r");
    char line[16] = {};
    ASSERT_EQ(sensor.ReceiveText(line, sizeof(line)), 4);
    EXPECT_EQ(std::string(line, 4), "OK\r\n");

    head.crOnly = true;
    EXPECT_EQ(sensor.Transact(3, "g -v 7\n"), 1);
}

TEST_F(HeadText, NothingWaitingGivesZeroAfterOneRead) {
    char line[16] = {};
    EXPECT_EQ(sensor.ReceiveText(line, sizeof(line)), 0);
    head.QueueReply("\nAB\n");
    EXPECT_EQ(sensor.ReceiveText(line, sizeof(line)), 0);  // a leading line end is no line
    EXPECT_EQ(sensor.ReceiveText(line, sizeof(line)), 3);
    EXPECT_EQ(std::string(line, 3), "AB\n");
}

TEST_F(HeadText, OverlongLineIsDiscardedAndTheReceiverNeverWritesPastItsCaller) {
    head.QueueReply(std::string(256, 'x'));
    char line[300];
    EXPECT_EQ(sensor.ReceiveText(line, sizeof(line)), 0);
    EXPECT_EQ(head.PendingReplyCharacters(), 0u);

    // The longest line kept: 255 characters and a CR, delivered as 257 with CR LF.
    head.QueueReply(std::string(255, 'y') + "\r");
    std::string guarded(300, '#');
    EXPECT_EQ(sensor.ReceiveText(guarded.data(), 256), 257);
    EXPECT_EQ(guarded.substr(0, 255), std::string(255, 'y'));
    EXPECT_EQ(guarded[255], '\r');
    EXPECT_EQ(guarded.substr(256), std::string(44, '#'));

    head.QueueReply("HELLO\n");
    std::string small(8, '#');
    EXPECT_EQ(sensor.ReceiveText(small.data(), 2), 6);
    EXPECT_EQ(small, "HE######");
    head.QueueReply("X\n");
    EXPECT_EQ(sensor.ReceiveText(nullptr, 10), 2);
}

TEST_F(HeadText, FailedReadEndsTheLineWithWhatCame) {
    head.QueueReply("PARTIAL\r\n");
    head.failReadsAfter = 3;
    char line[16] = {};
    EXPECT_EQ(sensor.ReceiveText(line, sizeof(line)), 3);
    EXPECT_EQ(std::string(line, 3), "PAR");
}

TEST_F(HeadText, SendStopsAtTheTerminatorTheLengthOrAFailedWrite) {
    EXPECT_EQ(sensor.SendText("n\r\nIGNORED", 3), 1);
    ASSERT_EQ(head.commands.size(), 1u);
    EXPECT_EQ(head.commands[0], "n");

    EXPECT_EQ(sensor.SendText("x -c\n\0q -w x30 x01\n", 40), 1);
    EXPECT_EQ(head.commands.size(), 2u);

    EXPECT_EQ(sensor.SendText("", 5), 0);
    EXPECT_EQ(sensor.SendText(nullptr, 5), 0);

    head.failWritesAfter = 2;
    EXPECT_EQ(sensor.SendText("g -v 1\n", 7), 0);
    EXPECT_EQ(head.commands.size(), 2u);
}

TEST_F(HeadText, SendingDiscardsOnePendingLineFirst) {
    head.QueueReply("STALE\r\n");
    EXPECT_NE(sensor.SendText("n\r\n", 3), 0);
    // The stale line's LF is still waiting and reads as "no line"; the answer follows it.
    char line[32] = {};
    EXPECT_EQ(sensor.ReceiveText(line, sizeof(line)), 0);
    ASSERT_EQ(sensor.ReceiveText(line, sizeof(line)), 19);
    EXPECT_STREQ(line, "KELVRA-880HQLN-CL\r\n");
}

}  // namespace
