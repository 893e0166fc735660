#include "DeviceIoQueue.h"

#include "DeviceIoRequest.h"

#include <algorithm>

namespace kelvra::platform {

DWORD DeviceIoQueue::Register(DeviceIoRequest& request)
{
    std::lock_guard guard(lock_);
    // Begin() under the lock, so that a request finishing concurrently cannot signal the event
    // of an OVERLAPPED that this request now reuses.
    if (closed_ || !request.Begin())
        return ERROR_INVALID_HANDLE;
    pending_.push_back(&request);
    ++submitting_;
    return ERROR_SUCCESS;
}

void DeviceIoQueue::Submitted()
{
    {
        std::lock_guard guard(lock_);
        --submitting_;
    }
    changed_.notify_all();
}

void DeviceIoQueue::Finish(DeviceIoRequest& request, DWORD error, DWORD bytesReturned)
{
    {
        std::lock_guard guard(lock_);
        request.Publish(error, bytesReturned);
        std::erase(pending_, &request);
    }
    changed_.notify_all();
}

IoOutcome DeviceIoQueue::Peek(const IoOutcome& outcome)
{
    std::lock_guard guard(lock_);
    return outcome;
}

IoOutcome DeviceIoQueue::WaitUntilDone(const IoOutcome& outcome)
{
    std::unique_lock guard(lock_);
    changed_.wait(guard, [&] { return outcome.done; });
    return outcome;
}

void DeviceIoQueue::WaitForOverlapped(const OVERLAPPED* overlapped)
{
    std::unique_lock guard(lock_);
    changed_.wait(guard, [&] {
        return std::ranges::none_of(pending_, [&](const DeviceIoRequest* r) { return r->Overlapped() == overlapped; });
    });
}

void DeviceIoQueue::Close()
{
    std::unique_lock guard(lock_);
    closed_ = true;
    changed_.wait(guard, [&] { return submitting_ == 0; });
}

void DeviceIoQueue::WaitUntilIdle()
{
    std::unique_lock guard(lock_);
    changed_.wait(guard, [&] { return pending_.empty(); });
}

}  // namespace kelvra::platform
