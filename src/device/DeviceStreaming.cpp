// Streaming side of the device object: the acquisition thread that moves frames from the camera
// into the frame ring, the stream modes, and how a caller takes a finished frame out of the ring.
#include "device/CKelvraU3G5Base.h"

#include "common/DebugLog.h"
#include "device/FpgaRegisters.h"
#include "device/FrameCopy.h"
#include "device/ProductRules.h"
#include "sensors/SensorBase.h"
#include "usb/CKelvCy3Cam.h"
#include "usb/FrameRequest.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace {

constexpr uint16_t kPipeResetFirmware = 0x10FF;  // firmware above this wants its bulk pipe reset
constexpr uint8_t kFrameEndpoint = 0x81;
constexpr uint32_t kHeaderTimeoutMs = 100;
constexpr uint32_t kSingleTransferTimeoutMs = 3000;
constexpr int kFailuresBeforeGivingUp = 5;
constexpr int kCaptureAttempts = 10;
constexpr DWORD kCaptureGiveUpMs = 9999;
constexpr DWORD kRegisterSettleMs = 1;
constexpr DWORD kCounterPollMs = 1;

enum StreamMode : uint32_t { kContinuous = 0, kSingleFrame = 1, kNextNewFrame = 2, kCounterSync = 3 };
enum WaitResult : int32_t { kGaveUp = 1, kNoFrame = 2, kFrameReady = 3 };

void Signal(HANDLE event) {
    if (event != nullptr) SetEvent(event);
}

}  // namespace

void CKelvraU3G5Base::ReleaseFrameBuffers() {
    transferBufferSize = 0;
    frameRing.Release();
    frameBytes = 0;
}

bool CKelvraU3G5Base::WriteFpgaRegisterTaken(uint8_t reg, uint8_t value) {
    if (!controller->WriteFpgaRegister(reg, value)) return false;
    // The board has taken the value once it reads back; a board that answers reads late still
    // gets no longer than the pause it was always given.
    const DWORD start = timeGetTime();
    do {
        uint8_t seen = 0;
        if (controller->ReadFpgaRegister(reg, &seen) && seen == value) return true;
    } while (timeGetTime() - start < kRegisterSettleMs);
    return true;
}

void CKelvraU3G5Base::PulseTransferReset() {
    const uint8_t reg = Rules().alternateRegisterMap ? fpga::kAltTransferReset : fpga::kTransferReset;
    const bool raised = WriteFpgaRegisterTaken(reg, 1);
    const bool lowered = WriteFpgaRegisterTaken(reg, 0);
    // Recovery goes on regardless: the next transfer shows whether the board took the reset.
    if (!raised || !lowered) DebugLog(LogCategory::Device, "transfer reset pulse not written");
}

DWORD WINAPI CKelvraU3G5Base::AcquisitionThread(LPVOID context) {
    auto* device = static_cast<CKelvraU3G5Base*>(context);
    // The loop's result is its thread end, which it has signalled already.
    if (device->Rules().singleTransfer) {
        static_cast<void>(device->StreamLoopSingleTransfer());
    } else {
        static_cast<void>(device->StreamLoop());
    }
    return 0;
}

int32_t CKelvraU3G5Base::StartStreaming(uint32_t mode) {
    if (running.load()) StopStreaming();
    if (threadEndEvent != nullptr) {
        CloseHandle(threadEndEvent);
        threadEndEvent = nullptr;
    }
    if (threadHandle != nullptr) {
        // A thread that ended by itself (single frame, give-up) is only waiting to be joined.
        WaitForSingleObject(threadHandle, INFINITE);
        CloseHandle(threadHandle);
        threadHandle = nullptr;
    }
    const int32_t modeSet = SetStreamMode(mode);
    if (!modeSet) return modeSet;
    // Failing, it leaves no transfer buffer, and the thread then ends at once as a failed stream.
    if (geometryDirty) static_cast<void>(ApplyImageSize());
    // Unnamed: a named event would be one object for every camera of the process, and one
    // camera's thread end would wake another camera's StopStreaming.
    threadEndEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (threadEndEvent == nullptr) return 0;
    // Cleared here as well as by the thread: a caller waiting right after the start must not
    // see the give-up of the previous stream.
    transferFailed.store(0);
    controller->ResumeStreamTransfers();
    running.store(1);
    threadHandle = CreateThread(nullptr, 0, AcquisitionThread, this, 0, nullptr);
    if (threadHandle == nullptr) {
        running.store(0);
        return 0;
    }
    SetThreadPriority(threadHandle, THREAD_PRIORITY_TIME_CRITICAL);
    if (sensor) sensor->RestartStream();
    return 1;
}

int32_t CKelvraU3G5Base::StopStreaming() {
    if (sensor) sensor->StopMonitor();
    if (running.exchange(0)) {
        // The transfer in flight is aborted rather than waited out: a header read with no frame
        // coming would otherwise run all its attempts.
        if (controller) controller->StopStreamTransfers();
        WaitForSingleObject(threadEndEvent, INFINITE);
    }
    if (threadHandle != nullptr) {
        // Joined without a limit: the thread writes into buffers that may be freed after this
        // returns, and it ends as soon as its aborted transfer returns.
        WaitForSingleObject(threadHandle, INFINITE);
        CloseHandle(threadHandle);
        threadHandle = nullptr;
    }
    if (threadEndEvent != nullptr) {
        CloseHandle(threadEndEvent);
        threadEndEvent = nullptr;
    }
    Signal(frameEvent);  // releases a caller still waiting for a frame
    // Fails only without a controller, when there is no transfer to reset.
    // Its requests complete only once the board has taken them: nothing more to wait for.
    static_cast<void>(ResetTransfer());
    streamMode.store(kContinuous);
    return 1;
}

int32_t CKelvraU3G5Base::SetStreamMode(uint32_t mode) {
    if (!controller) return 0;
    if (mode != streamMode.load()) {
        StopStreaming();
        if (mode == kNextNewFrame) {
            ringReadIndex.store(frameRing.FramesStored());
            // Unread, the last counter stays: the stream then waits for the one after it.
            if (!ReadFrameCounter()) DebugLog(LogCategory::Device, "frame counter unreadable");
        }
    }
    streamMode.store(mode);
    return 1;
}

int32_t CKelvraU3G5Base::ResetTransfer() {
    if (!controller) return 0;
    const ProductRules& rules = Rules();
    // A reset is best effort: a camera that misses one fails its next transfer, and the stream
    // loop recovers or gives up there.
    int failed = 0;
    if (rules.singleTransfer) {
        failed += !controller->ResetPort();
    } else {
        const uint16_t firmware = static_cast<uint16_t>(deviceInfo[24] | deviceInfo[25] << 8);
        if (firmware > kPipeResetFirmware) failed += !controller->ResetPipe(kFrameEndpoint);
        if (!rules.skipsTransferResetPulse) PulseTransferReset();
        failed += !controller->WriteFpgaRegister(fpga::kTransferMode, 2);
        if (rules.transferResetSettleMs != 0) Sleep(rules.transferResetSettleMs);
    }
    failed += !controller->ResetStream();
    if (failed != 0) DebugLog(LogCategory::Device, "transfer reset: %d steps failed", failed);
    return 1;
}

int32_t CKelvraU3G5Base::ReadFrameCounter() {
    uint8_t counter = 0;
    if (!controller || !controller->ReadFpgaRegister(fpga::kFrameCounter, &counter)) return 0;
    lastFrameCounter.store(counter);
    return 1;
}

int32_t CKelvraU3G5Base::SetTransferTimeout(uint32_t milliseconds) {
    transferTimeout.store(milliseconds);
    return 1;
}

void CKelvraU3G5Base::PrepareTransfer(FrameRequest& frame) const {
    std::memset(&frame, 0, sizeof(frame));
    // The destination is the ring slot claimed for each transfer.
    frame.capacity = static_cast<uint32_t>(transferBufferSize);
    frame.expectedSize = frameBytes;
}

FrameRing::Claim CKelvraU3G5Base::ClaimStreamSlot() {
    // Readers pin a slot only for one copy, so a slot comes free within a copy's time; a stop
    // does not wait for it.
    for (;;) {
        FrameRing::Claim slot = frameRing.ClaimNext();
        if (slot || !running.load()) return slot;
        std::this_thread::yield();
    }
}

bool CKelvraU3G5Base::ReadIntoSlot(FrameRing::Claim& slot, FrameRequest& frame, bool wholeFrame, uint32_t timeoutMs) {
    if (!slot) return false;
    frame.destination = slot.Data();
    frame.capacity = static_cast<uint32_t>(slot.Bytes());
    const bool read = wholeFrame ? controller->ReadFrameEndpoint83(&frame, timeoutMs) != 0
                                 : controller->ReadFramePayload(&frame, timeoutMs) != 0;
    frame.destination = nullptr;
    return read;
}

void CKelvraU3G5Base::PublishStreamFrame(FrameRing::Claim& slot) {
    slot.Publish();
    Signal(frameEvent);
}

bool CKelvraU3G5Base::WaitForNewFrameCounter() {
    uint8_t counter = 0;
    // An unread counter reads as 0 and, unless 0 was last, counts as a new frame: the transfer
    // that follows then tells whether one came.
    static_cast<void>(controller->ReadFpgaRegister(fpga::kFrameCounter, &counter));
    if (counter == lastFrameCounter.load()) {
        // The board announces no new count: it is polled, but a stop ends the pause.
        const HANDLE stopped = controller->StreamStopEvent();
        if (stopped != nullptr) {
            WaitForSingleObject(stopped, kCounterPollMs);
        } else {
            Sleep(kCounterPollMs);
        }
        return false;
    }
    lastFrameCounter.store(counter);
    return true;
}

bool CKelvraU3G5Base::TransferOneFrame(FrameRequest& frame, uint32_t mode) {
    if (!controller->ReadFrameHeader(&frame, kHeaderTimeoutMs)) return false;
    if (mode != kNextNewFrame) lastFrameCounter.store(frame.frameNumber);
    if (mode == kCounterSync) return true;
    // Claimed only now, so a header that never comes holds no slot.
    FrameRing::Claim slot = ClaimStreamSlot();
    if (!ReadIntoSlot(slot, frame, false, transferTimeout.load())) return false;
    PublishStreamFrame(slot);
    return true;
}

void CKelvraU3G5Base::RestartAfterFailure() {
    const bool piped = !Rules().resetsPipeAfterFailure || controller->ResetPipe(kFrameEndpoint);
    PulseTransferReset();
    // A stream that does not reopen fails its next transfer, which counts towards giving up.
    if (!controller->OpenStream() || !piped)
        DebugLog(LogCategory::Device, "restart after a failed transfer incomplete");
}

int32_t CKelvraU3G5Base::FinishStreamLoop() {
    controller->CloseStream();
    // running goes first: a StopStreaming that still sees it set is then sure to get the event.
    running.store(0);
    Signal(threadEndEvent);
    if (transferFailed.load()) Signal(frameEvent);
    return 1;
}

// Without a controller or transfer buffer the thread ends at once, but still as a stopping
// stream expects: running cleared, then "thread end" signalled.
bool CKelvraU3G5Base::StreamLoopCanStart() {
    if (controller && frameRing.Allocated()) return true;
    running.store(0);
    Signal(threadEndEvent);
    return false;
}

int32_t CKelvraU3G5Base::StreamLoop() {
    if (!StreamLoopCanStart()) return 0;
    FrameRequest frame;
    PrepareTransfer(frame);
    transferFailed.store(0);
    const uint32_t mode = streamMode.load();
    if (controller->OpenStream()) {
        int failures = 0;
        while (running.load()) {
            if (pendingExposure.exchange(0) && sensor) {
                if (!sensor->SetExposure(static_cast<int32_t>(pendingExposureValue.load())))
                    DebugLog(LogCategory::Device, "deferred exposure refused by the head");
            }
            if (mode == kNextNewFrame && !WaitForNewFrameCounter()) continue;
            if (TransferOneFrame(frame, mode)) {
                if (mode == kCounterSync) break;
                transferFailed.store(0);
                failures = 0;
                if (mode == kSingleFrame || mode == kNextNewFrame) break;
                continue;
            }
            // A stopped stream's transfer was aborted: nothing to recover.
            if (!running.load()) break;
            controller->CloseStream();
            if ((Rules().givesUpOnMissedNewFrame && mode == kNextNewFrame) || ++failures >= kFailuresBeforeGivingUp) {
                transferFailed.store(1);
                Signal(frameEvent);
                break;
            }
            RestartAfterFailure();
        }
    }
    return FinishStreamLoop();
}

int32_t CKelvraU3G5Base::StreamLoopSingleTransfer() {
    if (!StreamLoopCanStart()) return 0;
    FrameRequest frame;
    PrepareTransfer(frame);
    // The first read shows whether the endpoint is usable; it recovers from there.
    if (!controller->ResetStream()) DebugLog(LogCategory::Device, "stream reset before streaming failed");
    transferFailed.store(0);
    DWORD lastSuccess = timeGetTime();
    if (controller->OpenStream()) {
        int attempts = 0;
        while (running.load()) {
            FrameRing::Claim slot = ClaimStreamSlot();
            if (ReadIntoSlot(slot, frame, true, kSingleTransferTimeoutMs)) {
                PublishStreamFrame(slot);
                lastSuccess = timeGetTime();
                transferFailed.store(0);
                if (streamMode.load() == kSingleFrame) break;
                attempts = 0;
                continue;
            }
            if (!running.load()) break;
            if (timeGetTime() - lastSuccess > kCaptureGiveUpMs || ++attempts >= kCaptureAttempts) {
                transferFailed.store(1);
                break;
            }
            // Each reset is a try; the next read tells whether the endpoint came back.
            int failed = !controller->ResetPort();
            failed += !controller->ResetStream();
            failed += !controller->ResetPipe(kFrameEndpoint);
            if (failed != 0) DebugLog(LogCategory::Device, "single-transfer recovery: %d resets failed", failed);
        }
    }
    // Unlike StreamLoop this variant leaves frameEvent alone when it gives up: a waiting caller
    // sees WaitFrame time out.
    controller->CloseStream();
    running.store(0);
    Signal(threadEndEvent);
    return 1;
}

bool CKelvraU3G5Base::CaptureOnce(FrameRequest& frame, FrameRing::Claim& slot) {
    if (Rules().singleTransfer) return ReadIntoSlot(slot, frame, true, kSingleTransferTimeoutMs);
    return controller->ReadFrameHeader(&frame, kSingleTransferTimeoutMs) &&
           ReadIntoSlot(slot, frame, false, kSingleTransferTimeoutMs);
}

int32_t CKelvraU3G5Base::CaptureSingleFrame() {
    if (!controller) return 2;
    // The capture reads the same pipe as the acquisition thread: a running stream ends first.
    if (running.load()) StopStreaming();
    // Failing, it leaves no transfer buffer, which the next line reports.
    if (geometryDirty) static_cast<void>(ApplyImageSize());
    if (!frameRing.Allocated()) return 2;
    controller->ResumeStreamTransfers();
    FrameRequest frame;
    PrepareTransfer(frame);
    FrameRing::Claim slot = frameRing.ClaimFirst();
    if (Rules().singleTransfer && !controller->ResetStream()) DebugLog(LogCategory::Device, "stream reset failed");
    transferFailed.store(0);
    const DWORD start = timeGetTime();
    if (controller->OpenStream()) {
        for (int attempt = 1;; ++attempt) {
            if (CaptureOnce(frame, slot)) {
                slot.Publish();
                transferFailed.store(0);
                break;
            }
            if (timeGetTime() - start > kCaptureGiveUpMs || attempt >= kCaptureAttempts) {
                transferFailed.store(1);
                break;
            }
            if (Rules().singleTransfer && !controller->ResetPort()) DebugLog(LogCategory::Device, "port reset failed");
        }
    }
    controller->CloseStream();
    Signal(threadEndEvent);
    return 0;
}

int32_t CKelvraU3G5Base::WaitFrame(uint32_t milliseconds) { return WaitFrameUnless(milliseconds, nullptr); }

int32_t CKelvraU3G5Base::WaitFrameUnless(uint32_t milliseconds, HANDLE stopEvent) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    auto settled = [this] {
        if (transferFailed.load()) return kGaveUp;
        return frameRing.FramesStored() != ringReadIndex.load() ? kFrameReady : kNoFrame;
    };
    for (;;) {
        const int32_t state = settled();
        if (state != kNoFrame) return state;
        // Without an acquisition thread no frame can come: answer at once rather than sleep out
        // the caller's time. A thread that ended just now has stored its last frame already.
        if (!running.load()) return settled();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (frameEvent == nullptr || left <= 0) return settled();
        // The event is auto-reset and may be stale (set for a frame already taken): wake, look,
        // and wait again for what is left of the time.
        const HANDLE events[2] = {frameEvent, stopEvent};
        const DWORD woken =
            WaitForMultipleObjects(stopEvent != nullptr ? 2 : 1, events, FALSE, static_cast<DWORD>(left));
        if (woken == WAIT_OBJECT_0 + 1) return kWaitStopped;
        if (woken != WAIT_OBJECT_0) return settled();
    }
}

int32_t CKelvraU3G5Base::CopyFrame(uint8_t* buffer, uint32_t size, int32_t fromFirstSlot, int32_t keepOrder) {
    uint64_t taken = 0;
    return CopyRingSlot(buffer, size, fromFirstSlot != 0, keepOrder, &taken);
}

int32_t CKelvraU3G5Base::CopyRingSlot(uint8_t* buffer, uint32_t size, bool fromFirstSlot, int32_t keepOrder,
                                      uint64_t* taken) {
    if (buffer == nullptr || size < frameBytes || !frameRing.Allocated() || !sensor) return 0;
    const SensorParameters& geometry = sensor->Parameters();
    // A pixel moves whole when a row is mirrored, all its samples with it.
    const uint32_t bytesPerPixel = BytesPerPixel();
    FrameLayout layout{};
    layout.bytesPerPixel = bytesPerPixel;
    layout.rowBytes = static_cast<size_t>(geometry.windowWidth) * bytesPerPixel;
    layout.rows = static_cast<size_t>(geometry.windowHeight);
    // A window that does not fit the frame (a driver that changed it behind our back) is not copied.
    if (layout.rowBytes * layout.rows > frameBytes) return 0;
    const FrameCopyPlan plan = Rules().copiesByBoardRevision
                                   ? PlanForRevision(sensor->Revision())
                                   : PlanForOrientation(sensor->ReadoutOrientation(), keepOrder);
    auto copy = [&](const uint8_t* slot) { CopyFrameRows(buffer, slot, layout, plan); };
    *taken = fromFirstSlot ? frameRing.ReadFirst(copy) : frameRing.ReadNewest(copy);
    return 1;
}

int32_t CKelvraU3G5Base::CopyNextFrame(uint8_t* buffer, uint32_t capacity, int32_t keepOrder) {
    uint64_t taken = 0;
    // A destination smaller than the frame (a window changed since the caller sized it) takes
    // nothing; the frame is still marked read, so the caller does not spin on it.
    const bool copied = capacity >= frameBytes && CopyRingSlot(buffer, frameBytes, false, keepOrder, &taken);
    // Marks read what was copied, not what the ring holds now: a frame that arrived during the
    // copy stays new.
    ringReadIndex.store(copied ? taken : frameRing.FramesStored());
    return copied ? 1 : 0;
}

int32_t CKelvraU3G5Base::CopyLatestFrame(uint8_t* buffer, int32_t keepOrder) {
    if (buffer == nullptr) return -2;
    // The caller's buffer keeps what it held when no frame is there yet; the answer is 0 either way.
    static_cast<void>(CopyFrame(buffer, frameBytes, 1, keepOrder));
    return 0;
}

int32_t CKelvraU3G5Base::Reserved32() { return -1; }
int32_t CKelvraU3G5Base::Reserved37() { return 0; }
