// Bulk transfers and stream reads: submission outcomes, aborts of transfers that do not end, the
// pieces a payload is read in, and the header retries.
#include "UsbTestSupport.h"

#include <algorithm>
#include <cstring>

namespace usbtest {
namespace {

constexpr DWORD kDirect = 0x22004B;
constexpr DWORD kAbort = 0x220044;

class TransferTest : public UsbTest {
protected:
    void SetUp() override
    {
        UsbTest::SetUp();
        camera_ = Plug(0x3180, "A");
        controller_ = OpenedController(camera_);
        ASSERT_EQ(1, controller_->OpenStream());
    }

    std::vector<BulkCall> CallsOf(DWORD code) const
    {
        std::vector<BulkCall> calls;
        for (const BulkCall& call : camera_->BulkCalls())
            if (call.code == code)
                calls.push_back(call);
        return calls;
    }

    // A frame record whose header announces payloadBytes.
    FrameRequest Frame(uint32_t payloadBytes, std::vector<uint8_t>& destination)
    {
        FrameRequest frame{};
        std::memcpy(frame.header + 16, &payloadBytes, 4);
        frame.destination = destination.data();
        frame.capacity = uint32_t(destination.size());
        return frame;
    }

    std::shared_ptr<ScriptedCamera> camera_;
    std::unique_ptr<CKelvCy3Cam> controller_;
};

TEST_F(TransferTest, DirectTransferSucceedsOnlyWhenTheDriverReportsNoError)
{
    uint8_t buffer[256] = {};
    uint32_t count = 0;
    HANDLE stream = controller_->StreamHandle();
    camera_->ScriptTransfer({TransferScript::kComplete, 200, 0});
    EXPECT_EQ(1, controller_->TransferDirectTimed(stream, buffer, sizeof buffer, 0x81, &count, 100));
    EXPECT_EQ(200u, count);
    EXPECT_EQ(0x5A, buffer[199]);
    EXPECT_EQ(0, buffer[200]);
    EXPECT_EQ(0, controller_->SubmissionOutcome());

    camera_->ScriptTransfer({TransferScript::kComplete, 256, 0xC0000001});
    EXPECT_EQ(0, controller_->TransferDirectTimed(stream, buffer, sizeof buffer, 0x81, &count, 100));

    // A submission the driver refuses has nothing pending: no abort follows.
    camera_->ScriptTransfer({TransferScript::kReject, 0, 0});
    EXPECT_EQ(0, controller_->TransferDirectTimed(stream, buffer, sizeof buffer, 0x81, &count, 100));
    EXPECT_EQ(int(ERROR_GEN_FAILURE), controller_->SubmissionOutcome());
    EXPECT_EQ(0u, count);
    EXPECT_EQ(0u, GetLastError());
    EXPECT_TRUE(CallsOf(kAbort).empty());
}

TEST_F(TransferTest, TransfersNeedAHandleABufferAndALengthWithinLimits)
{
    uint8_t buffer[16];
    uint32_t count = 0;
    HANDLE stream = controller_->StreamHandle();
    EXPECT_EQ(0, controller_->TransferDirectTimed(nullptr, buffer, sizeof buffer, 0x81, &count, 100));
    EXPECT_EQ(0, controller_->TransferDirectTimed(stream, buffer, 64u * 1024 * 1024 + 1, 0x81, &count, 100));
    EXPECT_EQ(0, controller_->TransferDirectTimed(stream, nullptr, 16, 0x81, &count, 100));
    EXPECT_EQ(0, controller_->TransferBuffered(stream, buffer, 64u * 1024 * 1024 + 1, 0x81, &count));
    controller_->Close();
    EXPECT_EQ(0, controller_->TransferDirectTimed(stream, buffer, sizeof buffer, 0x81, &count, 100));
    EXPECT_TRUE(camera_->BulkCalls().empty());
}

TEST_F(TransferTest, PendingTransferIsAbortedOnItsEndpointAndAwaited)
{
    uint8_t buffer[64];
    uint32_t count = 99;
    for (uint8_t endpoint : {uint8_t(0x81), uint8_t(0x83)}) {
        camera_->ScriptTransfer({TransferScript::kPend, 0, 0});
        EXPECT_EQ(0, controller_->TransferDirectTimed(controller_->StreamHandle(), buffer, sizeof buffer, endpoint,
                                                       &count, 20));
        EXPECT_EQ(int(ERROR_IO_PENDING), controller_->SubmissionOutcome());
        EXPECT_EQ(0u, count);
        EXPECT_EQ(0, camera_->Pending());
        ASSERT_FALSE(CallsOf(kAbort).empty());
        EXPECT_EQ(endpoint, CallsOf(kAbort).back().endpoint);
    }
    EXPECT_EQ(2, camera_->Aborted());
}

TEST_F(TransferTest, TransferWhoseAbortIsIgnoredIsCancelledBeforeItsMemoryIsReleased)
{
    camera_->SetAbortIgnored(true);
    camera_->ScriptTransfer({TransferScript::kPend, 0, 0});
    std::vector<uint8_t> buffer(64);
    uint32_t count = 0;
    EXPECT_EQ(0, controller_->TransferDirectTimed(controller_->StreamHandle(), buffer.data(), 64, 0x81, &count, 20));
    EXPECT_EQ(0, camera_->Pending());
    EXPECT_EQ(1, camera_->Aborted());
    EXPECT_EQ(2u, CallsOf(kAbort).size());
}

TEST_F(TransferTest, BufferedTransferCopiesWhatFitsAndReportsTheDataLength)
{
    std::vector<uint8_t> buffer(100, 0);
    uint32_t count = 0;
    HANDLE stream = controller_->StreamHandle();
    camera_->ScriptTransfer({TransferScript::kComplete, 60, 0});
    EXPECT_EQ(1, controller_->TransferBuffered(stream, buffer.data(), 100, 0x81, &count));
    EXPECT_EQ(60u, count);
    EXPECT_EQ(0x5A, buffer[59]);
    EXPECT_EQ(0, buffer[60]);

    // A pending buffered transfer ends by abort after its wait and is awaited before returning.
    camera_->ScriptTransfer({TransferScript::kPend, 0, 0});
    EXPECT_EQ(0, controller_->TransferBuffered(stream, buffer.data(), 100, 0x81, &count));
    EXPECT_EQ(0, camera_->Pending());
    EXPECT_EQ(1u, CallsOf(kAbort).size());
}

TEST_F(TransferTest, PayloadIsReadInPiecesOfHalfAMebibyte)
{
    const uint32_t piece = 524288;
    std::vector<uint8_t> destination(2 * piece);
    const std::pair<uint32_t, std::vector<DWORD>> cases[] = {
        {piece, {piece}}, {piece + 1, {piece, 1}}, {2 * piece, {piece, piece}}, {0, {}}, {100, {100}}};
    for (const auto& [payload, pieces] : cases) {
        SCOPED_TRACE(payload);
        const std::size_t before = CallsOf(kDirect).size();
        FrameRequest frame = Frame(payload, destination);
        EXPECT_EQ(1, controller_->ReadFramePayload(&frame, 1000));
        std::vector<DWORD> lengths;
        for (std::size_t i = before; i < CallsOf(kDirect).size(); ++i)
            lengths.push_back(CallsOf(kDirect)[i].length);
        EXPECT_EQ(pieces, lengths);
    }
}

TEST_F(TransferTest, HeaderValuesNeverTakeAReadPastItsDestination)
{
    std::vector<uint8_t> destination(1000);
    FrameRequest frame = Frame(1001, destination);
    EXPECT_EQ(0, controller_->ReadFramePayload(&frame, 1000));
    FrameRequest huge = Frame(0xFFFFFFFF, destination);
    EXPECT_EQ(0, controller_->ReadFramePayload(&huge, 1000));
    FrameRequest nowhere = Frame(10, destination);
    nowhere.destination = nullptr;
    EXPECT_EQ(0, controller_->ReadFramePayload(&nowhere, 1000));
    FrameRequest whole = Frame(0, destination);
    whole.expectedSize = 1001;
    EXPECT_EQ(0, controller_->ReadFrameEndpoint83(&whole, 3000));
    EXPECT_TRUE(CallsOf(kDirect).empty());

    // A piece that comes back short leaves the frame incomplete: the read fails.
    FrameRequest shortPiece = Frame(1000, destination);
    camera_->ScriptTransfer({TransferScript::kComplete, 999, 0});
    EXPECT_EQ(0, controller_->ReadFramePayload(&shortPiece, 1000));

    whole.expectedSize = 1000;
    EXPECT_EQ(1, controller_->ReadFrameEndpoint83(&whole, 3000));
    EXPECT_EQ(0x83, CallsOf(kDirect).back().endpoint);
    EXPECT_EQ(1000u, CallsOf(kDirect).back().length);
}

TEST_F(TransferTest, MissingHeaderIsAskedForAgainAfterTheResyncPulse)
{
    camera_->ScriptTransfer({TransferScript::kPend, 0, 0});
    camera_->ScriptTransfer({TransferScript::kPend, 0, 0});
    FrameRequest frame{};
    const std::size_t before = camera_->Controls().size();
    ASSERT_EQ(1, controller_->ReadFrameHeader(&frame, 100));
    EXPECT_EQ(0x5A5A5A5Au, frame.frameNumber);
    EXPECT_EQ(3u, CallsOf(kDirect).size());

    // RequestFrame, then per missed header: 0x6C := 1, 0x6C := 0, RequestFrame.
    std::vector<std::pair<uint8_t, std::vector<uint8_t>>> sent;
    const std::vector<ControlCall> calls = camera_->Controls();
    for (std::size_t i = before; i < calls.size(); ++i)
        sent.push_back({calls[i].request, std::vector<uint8_t>(calls[i].data.begin(), calls[i].data.begin() + 3)});
    const std::vector<uint8_t> none = {0, 0, 0};
    const std::vector<std::pair<uint8_t, std::vector<uint8_t>>> expected = {
        {0xC2, none}, {0x30, {0x6C, 0, 1}}, {0x30, {0x6C, 0, 0}}, {0xC2, none},
        {0x30, {0x6C, 0, 1}}, {0x30, {0x6C, 0, 0}}, {0xC2, none}};
    EXPECT_EQ(expected, sent);
}

TEST_F(TransferTest, HeaderReadGivesUpAfterThirtyAttempts)
{
    for (int i = 0; i < 31; ++i)
        camera_->ScriptTransfer({TransferScript::kPend, 0, 0});
    controller_->CloseStream();
    FrameRequest frame{};
    EXPECT_EQ(0, controller_->ReadFrameHeader(&frame, 100));
    EXPECT_EQ(30u, CallsOf(kDirect).size());
    EXPECT_EQ(0, camera_->Pending());
    EXPECT_EQ(nullptr, controller_->StreamHandle());  // opened by the read, closed by it
}

}  // namespace
}  // namespace usbtest
