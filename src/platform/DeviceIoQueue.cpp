#include "DeviceIoQueue.h"

#include "DeviceIoRequest.h"

#include <algorithm>

namespace kelvra::platform {

DWORD DeviceIoQueue::Register(DeviceIoRequest& request) {
    std::lock_guard guard(lock);
    // Begin() under the lock, so that a request finishing concurrently cannot signal the event
    // of an OVERLAPPED that this request now reuses.
    if (closed || !request.Begin()) return ERROR_INVALID_HANDLE;
    pending.push_back(&request);
    ++submitting;
    return ERROR_SUCCESS;
}

void DeviceIoQueue::Submitted() {
    {
        std::lock_guard guard(lock);
        --submitting;
    }
    changed.notify_all();
}

void DeviceIoQueue::Finish(DeviceIoRequest& request, DWORD error, DWORD bytesReturned) {
    {
        std::lock_guard guard(lock);
        request.Publish(error, bytesReturned);
        std::erase(pending, &request);
    }
    changed.notify_all();
}

IoOutcome DeviceIoQueue::Peek(const IoOutcome& outcome) {
    std::lock_guard guard(lock);
    return outcome;
}

IoOutcome DeviceIoQueue::WaitUntilDone(const IoOutcome& outcome) {
    std::unique_lock guard(lock);
    changed.wait(guard, [&] { return outcome.done; });
    return outcome;
}

void DeviceIoQueue::WaitForOverlapped(const OVERLAPPED* overlapped) {
    std::unique_lock guard(lock);
    changed.wait(guard, [&] {
        return std::ranges::none_of(pending, [&](const DeviceIoRequest* r) { return r->Overlapped() == overlapped; });
    });
}

void DeviceIoQueue::Close() {
    std::unique_lock guard(lock);
    closed = true;
    changed.wait(guard, [&] { return submitting == 0; });
}

void DeviceIoQueue::WaitUntilIdle() {
    std::unique_lock guard(lock);
    changed.wait(guard, [&] { return pending.empty(); });
}

}  // namespace kelvra::platform
