#include "DeviceIoRequest.h"

#include "DeviceIoQueue.h"
#include "IoStatus.h"

#include <algorithm>
#include <atomic>

namespace kelvra::platform {

DeviceIoRequest::DeviceIoRequest(std::shared_ptr<DeviceIoQueue> queue, DWORD ioControlCode, const void* inBuffer,
                                 DWORD inSize, void* outBuffer, DWORD outSize, OVERLAPPED* overlapped)
    : queue(std::move(queue)),
      overlapped(overlapped),
      event(overlapped ? overlapped->hEvent : nullptr),
      outcome(std::make_shared<IoOutcome>()) {
    code = ioControlCode;
    input = inBuffer;
    inputSize = inSize;
    output = outBuffer;
    outputSize = outSize;
    if (inSize > 0 && METHOD_FROM_CTL_CODE(ioControlCode) != METHOD_NEITHER) {
        const auto* bytes = static_cast<const unsigned char*>(inBuffer);
        capturedInput.assign(bytes, bytes + inSize);
        input = capturedInput.data();
    }
}

DeviceIoRequest::~DeviceIoRequest() { Complete(ERROR_OPERATION_ABORTED, 0); }

void DeviceIoRequest::Complete(DWORD error, DWORD bytesReturned) {
    if (finished.exchange(true)) return;
    queue->Finish(*this, error, std::min(bytesReturned, outputSize));
}

bool DeviceIoRequest::Begin() {
    if (event && !ResetEvent(event)) return false;
    if (overlapped) {
        overlapped->InternalHigh = 0;
        std::atomic_ref(overlapped->Internal).store(STATUS_PENDING, std::memory_order_release);
    }
    finished.store(false);
    return true;
}

void DeviceIoRequest::Publish(DWORD error, DWORD bytesReturned) {
    *outcome = {true, error, bytesReturned};
    if (overlapped) {
        // Internal last: a caller polling it may release the OVERLAPPED as soon as it changes.
        overlapped->InternalHigh = bytesReturned;
        std::atomic_ref(overlapped->Internal).store(ErrorToStatus(error), std::memory_order_release);
    }
    if (event) SetEvent(event);
}

}  // namespace kelvra::platform
