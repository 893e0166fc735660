#include "DeviceIoRequest.h"

#include "DeviceIoQueue.h"
#include "IoStatus.h"

#include <algorithm>
#include <atomic>

namespace kelvra::platform {

DeviceIoRequest::DeviceIoRequest(std::shared_ptr<DeviceIoQueue> queue, DWORD ioControlCode, const void* inBuffer,
                                 DWORD inSize, void* outBuffer, DWORD outSize, OVERLAPPED* overlapped)
    : queue_(std::move(queue)), overlapped_(overlapped), event_(overlapped ? overlapped->hEvent : nullptr),
      outcome_(std::make_shared<IoOutcome>())
{
    code = ioControlCode;
    input = inBuffer;
    inputSize = inSize;
    output = outBuffer;
    outputSize = outSize;
    if (inSize > 0 && METHOD_FROM_CTL_CODE(ioControlCode) != METHOD_NEITHER) {
        const auto* bytes = static_cast<const unsigned char*>(inBuffer);
        capturedInput_.assign(bytes, bytes + inSize);
        input = capturedInput_.data();
    }
}

DeviceIoRequest::~DeviceIoRequest()
{
    Complete(ERROR_OPERATION_ABORTED, 0);
}

void DeviceIoRequest::Complete(DWORD error, DWORD bytesReturned)
{
    if (finished_.exchange(true))
        return;
    queue_->Finish(*this, error, std::min(bytesReturned, outputSize));
}

bool DeviceIoRequest::Begin()
{
    if (event_ && !ResetEvent(event_))
        return false;
    if (overlapped_) {
        overlapped_->InternalHigh = 0;
        std::atomic_ref(overlapped_->Internal).store(STATUS_PENDING, std::memory_order_release);
    }
    finished_.store(false);
    return true;
}

void DeviceIoRequest::Publish(DWORD error, DWORD bytesReturned)
{
    *outcome_ = {true, error, bytesReturned};
    if (overlapped_) {
        // Internal last: a caller polling it may release the OVERLAPPED as soon as it changes.
        overlapped_->InternalHigh = bytesReturned;
        std::atomic_ref(overlapped_->Internal).store(ErrorToStatus(error), std::memory_order_release);
    }
    if (event_)
        SetEvent(event_);
}

}  // namespace kelvra::platform
