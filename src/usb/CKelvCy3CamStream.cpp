// Bulk transfers and the stream reads of CKelvCy3Cam. A pending transfer writes into the caller's
// buffer and into a header and event that the call owns: every path out of a transfer therefore
// waits until the driver has finished with them.
#include "usb/CKelvCy3Cam.h"

#include "common/DebugLog.h"
#include "usb/DeviceIo.h"

#include <algorithm>
#include <cstring>

using namespace kelvra::usb;

namespace {

constexpr DWORD kBufferedWaitMs = 3000;
constexpr DWORD kDirectWaitMs = 5000;
constexpr DWORD kAbortGraceMs = 50;
constexpr uint32_t kHeaderWaitMs = 100;
constexpr int kHeaderAttempts = 30;
constexpr uint32_t kPayloadPieceBytes = 512 * 1024;
constexpr uint8_t kFrameResyncRegister = 0x6C;
constexpr DWORD kFrameResyncSettleMs = 10;
constexpr uint32_t kFrameHeaderBytes = sizeof(FrameRequest::header);

// An auto-reset event for one overlapped request; closed with the scope.
class RequestEvent {
public:
    RequestEvent() : event(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~RequestEvent() {
        if (event != nullptr) CloseHandle(event);
    }
    RequestEvent(const RequestEvent&) = delete;
    RequestEvent& operator=(const RequestEvent&) = delete;

    HANDLE get() const { return event; }
    bool WaitMs(DWORD milliseconds) const { return WaitForSingleObject(event, milliseconds) == WAIT_OBJECT_0; }

private:
    HANDLE event;
};

}  // namespace

void CKelvCy3Cam::AbortPipe(HANDLE device, uint8_t endpoint) {
    RequestEvent done;
    if (device == nullptr || done.get() == nullptr) return;
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.get();
    DWORD bytesReturned = 0;
    if (deviceio::IoControl(device, kIoctlAbortPipe, &endpoint, 1, nullptr, 0, &bytesReturned, &overlapped)) return;
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
        done.WaitMs(INFINITE);
        return;
    }
    // The caller's cancel and wait still end the transfer; a refused abort only makes it slower.
    DebugLog(LogCategory::Usb, "pipe abort on endpoint 0x%02X refused (error %lu)", endpoint,
             static_cast<unsigned long>(error));
}

int CKelvCy3Cam::AbortStream() {
    std::lock_guard<std::mutex> guard(streamLock);
    if (streamHandle != nullptr) AbortPipe(streamHandle, kFrameEndpoint);
    return 1;
}

void CKelvCy3Cam::StopStreamTransfers() {
    // The event first: a transfer issued between the abort and the event would otherwise wait
    // out its whole time.
    if (streamStopEvent != nullptr) SetEvent(streamStopEvent);
    static_cast<void>(AbortStream());
}

void CKelvCy3Cam::ResumeStreamTransfers() {
    if (streamStopEvent != nullptr) ResetEvent(streamStopEvent);
}

bool CKelvCy3Cam::StreamStopped() const {
    return streamStopEvent != nullptr && WaitForSingleObject(streamStopEvent, 0) == WAIT_OBJECT_0;
}

bool CKelvCy3Cam::SettleUnlessStopped(DWORD milliseconds) const {
    if (streamStopEvent == nullptr) {
        Sleep(milliseconds);
        return false;
    }
    return WaitForSingleObject(streamStopEvent, milliseconds) == WAIT_OBJECT_0;
}

bool CKelvCy3Cam::WaitForTransfer(HANDLE device, HANDLE completion, DWORD waitMs) const {
    // Only the stream's own reads end on a stop; any other transfer runs its course.
    if (device != streamHandle || streamStopEvent == nullptr)
        return WaitForSingleObject(completion, waitMs) == WAIT_OBJECT_0;
    const HANDLE events[2] = {completion, streamStopEvent};
    return WaitForMultipleObjects(2, events, FALSE, waitMs) == WAIT_OBJECT_0;
}

void CKelvCy3Cam::AbortPendingTransfer(HANDLE device, uint8_t endpoint, HANDLE completionEvent) {
    // The abort goes to the transfer's own handle and endpoint: a request on any other would stay
    // pending and the wait below would never end.
    AbortPipe(device, endpoint);
    if (WaitForSingleObject(completionEvent, kAbortGraceMs) == WAIT_OBJECT_0) return;
    AbortPipe(device, endpoint);
    deviceio::CancelPending(device);
    WaitForSingleObject(completionEvent, INFINITE);
}

int CKelvCy3Cam::TransferBuffered(HANDLE device, void* buffer, uint32_t length, uint8_t endpoint, uint32_t* count) {
    if (length > kMaxTransferLength || device == nullptr || !transferBuffer || (buffer == nullptr && length > 0))
        return 0;
    uint8_t* record = transferBuffer.get();
    const uint32_t recordBytes = kTransferHeaderBytes + length;
    std::memset(record, 0, recordBytes);
    SetupTransfer setup{};
    setup.endpointAddress = endpoint;
    setup.bufferOffset = kTransferHeaderBytes;
    setup.bufferLength = length;
    std::memcpy(record, &setup, sizeof setup);

    RequestEvent done;
    if (done.get() == nullptr) return 0;
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.get();
    DWORD bytesReturned = 0;
    bool ok = deviceio::IoControl(device, kIoctlBufferedTransfer, record, recordBytes, record, recordBytes,
                                  &bytesReturned, &overlapped);
    if (!ok) {
        const DWORD error = GetLastError();
        if (error == ERROR_SUCCESS) {
            ok = true;
        } else if (error == ERROR_IO_PENDING) {
            if (done.WaitMs(kBufferedWaitMs)) {
                ok = deviceio::OverlappedResult(device, &overlapped, &bytesReturned, false);
            } else {
                AbortPendingTransfer(device, endpoint, done.get());
            }
        }
    }
    if (!ok) return 0;
    const uint32_t dataLength = DataLengthOfReply(bytesReturned);
    if (length >= dataLength) std::memcpy(buffer, record + kTransferHeaderBytes, dataLength);
    if (count != nullptr) *count = dataLength;
    return 1;
}

int CKelvCy3Cam::TransferDirectTimed(HANDLE device, void* buffer, uint32_t length, uint8_t endpoint, uint32_t* count,
                                     uint32_t waitMs) {
    if (length > kMaxTransferLength || device == nullptr || !transferBuffer || (buffer == nullptr && length > 0))
        return 0;
    std::lock_guard<std::mutex> guard(directLock);
    if (directEvent == nullptr) return 0;
    if (device == streamHandle && StreamStopped()) return 0;
    // A transfer that completed at once left the event set: the next one must not see it.
    ResetEvent(directEvent);
    OVERLAPPED overlapped{};
    overlapped.hEvent = directEvent;
    SetupTransfer setup{};
    setup.endpointAddress = endpoint;

    DWORD bytesReturned = 0;
    const bool submitted = deviceio::IoControl(device, kIoctlDirectTransfer, &setup, sizeof(SetupTransfer), buffer,
                                               length, &bytesReturned, &overlapped);
    SetSubmissionOutcome(submitted ? 0 : int(GetLastError()));
    SetLastError(0);

    const bool pending = SubmissionOutcome() == ERROR_IO_PENDING;
    const bool complete = SubmissionOutcome() == 0 || (pending && WaitForTransfer(device, directEvent, waitMs));
    int result = 0;
    DWORD transferred = 0;
    if (complete) {
        result = deviceio::OverlappedResult(device, &overlapped, &transferred, false) && setup.driverStatus == 0 &&
                 setup.usbStatus == 0;
    } else if (pending) {
        // A submission that failed outright left nothing pending to abort or wait for.
        AbortPendingTransfer(device, endpoint, directEvent);
    }
    if (count != nullptr) *count = transferred;
    return result;
}

int CKelvCy3Cam::TransferDirect(HANDLE device, void* buffer, uint32_t length, uint8_t endpoint, uint32_t* count) {
    if (!RequestFrame(device)) return 0;
    return TransferDirectTimed(device, buffer, length, endpoint, count, kDirectWaitMs);
}

int CKelvCy3Cam::OpenStream() {
    if (streamHandle != nullptr) return 1;
    HANDLE opened = OpenDeviceRow(SelectedRow(), true);
    std::lock_guard<std::mutex> guard(streamLock);
    streamHandle = opened;
    return streamHandle != nullptr;
}

void CKelvCy3Cam::CloseStream() {
    if (streamHandle == nullptr) return;
    std::lock_guard<std::mutex> guard(streamLock);
    deviceio::Close(streamHandle);
    streamHandle = nullptr;
}

bool CKelvCy3Cam::EnsureStream(bool& openedHere) {
    openedHere = streamHandle == nullptr;
    return OpenStream() != 0;
}

void CKelvCy3Cam::CloseStreamIf(bool openedHere) {
    if (openedHere) CloseStream();
}

int CKelvCy3Cam::ReadFrameHeader(FrameRequest* frame, uint32_t /*timeoutMs*/) {
    bool openedHere = false;
    if (frame == nullptr || !EnsureStream(openedHere)) return 0;
    uint8_t header[kFrameHeaderBytes] = {};
    if (!RequestFrame(streamHandle)) {
        CloseStreamIf(openedHere);
        return 0;
    }
    for (int attempt = 0; attempt < kHeaderAttempts; ++attempt) {
        uint32_t received = 0;
        if (StreamStopped()) break;
        if (TransferDirectTimed(streamHandle, header, kFrameHeaderBytes, kFrameEndpoint, &received, kHeaderWaitMs)) {
            std::memcpy(frame->header, header, kFrameHeaderBytes);
            frame->frameNumber = HeaderWord(*frame, kHeaderFrameNumberOffset);
            return 1;
        }
        // The FPGA drops a frame it could not hand over; the pulse makes it start the next one.
        const bool raised = WriteFpgaRegister(kFrameResyncRegister, 1);
        const bool lowered = WriteFpgaRegister(kFrameResyncRegister, 0);
        // The next header read tells whether the FPGA took it.
        if (!raised || !lowered) DebugLog(LogCategory::Usb, "frame resync pulse not written");
        // The FPGA's settling time, cut short by a stop, which wants no more attempts.
        if (SettleUnlessStopped(kFrameResyncSettleMs)) break;
        std::memset(header, 0, sizeof header);
        if (!RequestFrame(streamHandle)) break;
    }
    CloseStreamIf(openedHere);
    return 0;
}

int CKelvCy3Cam::ReadFramePayload(FrameRequest* frame, uint32_t timeoutMs) {
    bool openedHere = false;
    if (frame == nullptr || !EnsureStream(openedHere)) return 0;
    // The length comes from the camera: it is believed only as far as the destination reaches.
    const uint32_t payloadBytes = HeaderWord(*frame, kHeaderPayloadLengthOffset);
    if (payloadBytes > frame->capacity || (payloadBytes > 0 && frame->destination == nullptr)) {
        CloseStreamIf(openedHere);
        return 0;
    }
    int result = 1;
    for (uint32_t offset = 0; offset < payloadBytes; offset += kPayloadPieceBytes) {
        const uint32_t piece = std::min(kPayloadPieceBytes, payloadBytes - offset);
        uint32_t received = 0;
        // A short piece would leave the rest of the frame stale: the read fails.
        if (!TransferDirectTimed(streamHandle, frame->destination + offset, piece, kFrameEndpoint, &received,
                                 timeoutMs) ||
            received != piece) {
            result = 0;
            break;
        }
    }
    CloseStreamIf(openedHere);
    return result;
}

int CKelvCy3Cam::ReadFrameEndpoint83(FrameRequest* frame, uint32_t /*timeoutMs*/) {
    bool openedHere = false;
    if (frame == nullptr || !EnsureStream(openedHere)) return 0;
    const uint32_t frameBytes = frame->expectedSize;
    if (frameBytes > frame->capacity || (frameBytes > 0 && frame->destination == nullptr)) {
        CloseStreamIf(openedHere);
        return 0;
    }
    uint32_t received = 0;
    if (!TransferDirect(streamHandle, frame->destination, frameBytes, kWholeFrameEndpoint, &received)) {
        CloseStreamIf(openedHere);
        return 0;
    }
    return received == frameBytes;
}
