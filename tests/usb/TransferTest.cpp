// Bulk transfers and stream reads: completion rules, aborts of transfers that do not end, the
// pieces of a payload, and frames from a simulated camera with missing headers.
#include "UsbTestSupport.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace usbtest {
namespace {

namespace sim = kelvra::sim;
constexpr DWORD kDirect = 0x22004B;
constexpr DWORD kAbort = 0x220044;

class UsbTransferTest : public UsbTest {
protected:
    void SetUp() override {
        UsbTest::SetUp();
        camera = PlugScripted(0x3180, "A");
        controller = Opened(camera->Path(), &kScriptedClass);
        stream = controller->StreamHandle();
    }

    // A frame record whose header announces payloadBytes for destination.
    static FrameRequest Frame(uint32_t payloadBytes, std::vector<uint8_t>& destination) {
        FrameRequest frame{};
        std::memcpy(frame.header + 16, &payloadBytes, 4);
        frame.destination = destination.data();
        frame.capacity = uint32_t(destination.size());
        return frame;
    }

    std::shared_ptr<ScriptedCamera> camera;
    std::unique_ptr<CKelvCy3Cam> controller;
    HANDLE stream = nullptr;
};

TEST_F(UsbTransferTest, DirectTransferSucceedsOnlyWhenTheDriverReportsNoError) {
    uint8_t buffer[256] = {};
    uint32_t count = 0;
    camera->ScriptTransfer({TransferScript::kComplete, 200, 0});
    EXPECT_EQ(1, controller->TransferDirectTimed(stream, buffer, sizeof buffer, 0x81, &count, 100));
    EXPECT_EQ(200u, count);
    EXPECT_EQ(0, controller->SubmissionOutcome());
    camera->ScriptTransfer({TransferScript::kComplete, 256, 0xC0000001});
    EXPECT_EQ(0, controller->TransferDirectTimed(stream, buffer, sizeof buffer, 0x81, &count, 100));

    // A submission the driver refuses leaves nothing pending: no abort, no wait.
    camera->ScriptTransfer({TransferScript::kReject, 0, 0});
    EXPECT_EQ(0, controller->TransferDirectTimed(stream, buffer, sizeof buffer, 0x81, &count, 100));
    EXPECT_EQ(int(ERROR_GEN_FAILURE), controller->SubmissionOutcome());
    EXPECT_EQ(0u, GetLastError());
    EXPECT_TRUE(camera->BulkCalls(kAbort).empty());

    EXPECT_EQ(0, controller->TransferDirectTimed(nullptr, buffer, sizeof buffer, 0x81, &count, 100));
    EXPECT_EQ(0, controller->TransferDirectTimed(stream, buffer, 64u * 1024 * 1024 + 1, 0x81, &count, 100));
    controller->Close();  // frees the transfer buffer
    EXPECT_EQ(0, controller->TransferDirectTimed(stream, buffer, sizeof buffer, 0x81, &count, 100));
    EXPECT_EQ(3u, camera->BulkCalls(kDirect).size());
}

TEST_F(UsbTransferTest, PendingTransferIsAbortedOnItsOwnEndpointAndAwaited) {
    uint8_t buffer[64];
    uint32_t count = 99;
    for (uint8_t endpoint : {uint8_t(0x81), uint8_t(0x83)}) {
        camera->ScriptTransfer({TransferScript::kPend, 0, 0});
        EXPECT_EQ(0, controller->TransferDirectTimed(stream, buffer, sizeof buffer, endpoint, &count, 20));
        EXPECT_EQ(int(ERROR_IO_PENDING), controller->SubmissionOutcome());
        EXPECT_EQ(0u, count);
        EXPECT_EQ(endpoint, camera->BulkCalls(kAbort).back().endpoint);
    }
    // A driver that ignores the abort: the transfer is cancelled before its memory goes.
    camera->SetAbortBehaviour(true, 0);
    camera->ScriptTransfer({TransferScript::kPend, 0, 0});
    EXPECT_EQ(0, controller->TransferDirectTimed(stream, buffer, sizeof buffer, 0x81, &count, 20));
    EXPECT_EQ(0, camera->Pending());
    EXPECT_EQ(3, camera->Aborted());

    // The buffered path waits for its aborted transfer as well.
    camera->SetAbortBehaviour(false, 0);
    camera->ScriptTransfer({TransferScript::kPend, 0, 0});
    EXPECT_EQ(0, controller->TransferBuffered(stream, buffer, sizeof buffer, 0x81, &count));
    EXPECT_EQ(0, camera->Pending());
}

TEST_F(UsbTransferTest, BufferedTransferCopiesOnlyWhatFits) {
    std::vector<uint8_t> buffer(100, 0);
    uint32_t count = 0;
    camera->ScriptTransfer({TransferScript::kComplete, 60, 0});
    EXPECT_EQ(1, controller->TransferBuffered(stream, buffer.data(), 100, 0x81, &count));
    EXPECT_EQ(60u, count);
    EXPECT_EQ(0x5A, buffer[59]);
    EXPECT_EQ(0, buffer[60]);
}

TEST_F(UsbTransferTest, PayloadIsReadInPiecesOfHalfAMebibyte) {
    const uint32_t piece = 524288;
    std::vector<uint8_t> destination(2 * piece);
    const std::pair<uint32_t, std::vector<DWORD>> cases[] = {
        {piece, {piece}}, {piece + 1, {piece, 1}}, {2 * piece, {piece, piece}}, {0, {}}};
    for (const auto& [payload, pieces] : cases) {
        SCOPED_TRACE(payload);
        const std::size_t before = camera->BulkCalls(kDirect).size();
        FrameRequest frame = Frame(payload, destination);
        EXPECT_EQ(1, controller->ReadFramePayload(&frame, 1000));
        std::vector<DWORD> lengths;
        for (const BulkCall& call : camera->BulkCalls(kDirect)) lengths.push_back(call.length);
        EXPECT_EQ(pieces, std::vector<DWORD>(lengths.begin() + before, lengths.end()));
    }
}

TEST_F(UsbTransferTest, HeaderValuesNeverTakeAReadPastItsDestination) {
    std::vector<uint8_t> destination(1000);
    for (uint32_t payload : {1001u, 0xFFFFFFFFu}) {
        FrameRequest frame = Frame(payload, destination);
        EXPECT_EQ(0, controller->ReadFramePayload(&frame, 1000));
    }
    FrameRequest nowhere = Frame(10, destination);
    nowhere.destination = nullptr;
    EXPECT_EQ(0, controller->ReadFramePayload(&nowhere, 1000));
    FrameRequest whole = Frame(0, destination);
    whole.expectedSize = 1001;
    EXPECT_EQ(0, controller->ReadFrameEndpoint83(&whole, 3000));
    EXPECT_TRUE(camera->BulkCalls(kDirect).empty());

    // A piece that comes back short leaves the frame incomplete.
    FrameRequest shortPiece = Frame(1000, destination);
    camera->ScriptTransfer({TransferScript::kComplete, 999, 0});
    EXPECT_EQ(0, controller->ReadFramePayload(&shortPiece, 1000));
    whole.expectedSize = 1000;
    EXPECT_EQ(1, controller->ReadFrameEndpoint83(&whole, 3000));
    EXPECT_EQ(0x83, camera->BulkCalls(kDirect).back().endpoint);
}

TEST_F(UsbTransferTest, SimulatedFrameArrivesThroughHeaderAndPayload) {
    const int camera = KelvraSim_Attach(0x3180);
    ASSERT_EQ(1, KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_FLAT, 0x0321));
    auto controller = Opened(SimPath(camera));
    ASSERT_EQ(1, KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_DROP_HEADER, 2));
    sim::ClearLogs(camera);
    FrameRequest frame{};
    ASSERT_EQ(1, controller->ReadFrameHeader(&frame, 100));
    EXPECT_EQ(kelvra::usb::HeaderWord(frame, 32), frame.frameNumber);

    // Each missing header was answered by the resync pulse on FPGA register 0x6C.
    std::vector<uint16_t> pulses;
    for (const sim::FpgaWrite& write : sim::FpgaWriteLog(camera))
        if (write.reg == 0x6C) pulses.push_back(write.value);
    EXPECT_EQ((std::vector<uint16_t>{1, 0, 1, 0}), pulses);

    const uint32_t payload = kelvra::usb::HeaderWord(frame, 16);
    ASSERT_GT(payload, 524288u);
    std::vector<uint8_t> destination(payload);
    frame.destination = destination.data();
    frame.capacity = payload;
    ASSERT_EQ(1, controller->ReadFramePayload(&frame, 5000));
    for (std::size_t i = 0; i < destination.size(); i += 2)
        ASSERT_EQ(0x0321, destination[i] | destination[i + 1] << 8) << "at byte " << i;
    EXPECT_EQ(1, KelvraSim_FramesSent(camera));
}

TEST_F(UsbTransferTest, HeaderReadGivesUpAfterThirtyAttempts) {
    const int camera = KelvraSim_Attach(0x3180);
    auto controller = Opened(SimPath(camera));
    controller->CloseStream();
    ASSERT_EQ(1, KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_DROP_HEADER, 30));
    sim::ClearLogs(camera);
    FrameRequest frame{};
    EXPECT_EQ(0, controller->ReadFrameHeader(&frame, 100));
    EXPECT_EQ(nullptr, controller->StreamHandle());  // opened by the read, closed by it
    int requests = 0;
    for (const sim::ControlRecord& record : sim::ControlLog(camera)) requests += record.request == 0xC2;
    EXPECT_EQ(31, requests);

    // The next frame comes as usual once the camera sends headers again.
    EXPECT_EQ(1, controller->ReadFrameHeader(&frame, 100));
}

// A stop from another thread ends the header read in flight and every stream read after it,
// without their waits or attempts; resumed, the stream reads again.
TEST_F(UsbTransferTest, StoppedStreamTransfersEndAtOnceUntilResumed) {
    using Clock = std::chrono::steady_clock;
    const int camera = KelvraSim_Attach(0x3180);
    auto controller = Opened(SimPath(camera));
    ASSERT_EQ(1, KelvraSim_SetFrameRate(camera, 1));
    FrameRequest frame{};
    ASSERT_EQ(1, controller->ReadFrameHeader(&frame, 100));  // the second's frame is taken
    std::vector<uint8_t> destination(kelvra::usb::HeaderWord(frame, 16));
    frame.destination = destination.data();
    frame.capacity = uint32_t(destination.size());
    ASSERT_EQ(1, controller->ReadFramePayload(&frame, 5000));

    // The next frame is a second away: only the stop ends the read.
    int read = -1;
    const auto start = Clock::now();
    std::thread reader([&] { read = controller->ReadFrameHeader(&frame, 100); });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    controller->StopStreamTransfers();
    reader.join();
    EXPECT_EQ(0, read);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));

    ASSERT_EQ(1, KelvraSim_SetFrameRate(camera, 0));
    const auto stopped = Clock::now();
    EXPECT_EQ(0, controller->ReadFrameHeader(&frame, 100));
    EXPECT_LT(Clock::now() - stopped, std::chrono::milliseconds(50));

    controller->ResumeStreamTransfers();
    EXPECT_EQ(1, controller->ReadFrameHeader(&frame, 100));
}

}  // namespace
}  // namespace usbtest
