// One DeviceIoControl call on its way through a provider: publishes the outcome to the caller's
// OVERLAPPED and event, and to a synchronous caller waiting in DeviceIoControl.
#pragma once

#include "kelvra/DeviceProvider.h"

#include <atomic>
#include <memory>
#include <vector>

namespace kelvra::platform {

class DeviceIoQueue;

// What the caller learns of a request. Kept apart from the request, so that a synchronous caller
// can wait for it without keeping alive a request that the provider has let go of.
struct IoOutcome {
    bool done = false;
    DWORD error = ERROR_SUCCESS;
    DWORD bytesReturned = 0;
};

class DeviceIoRequest final : public IoRequest {
public:
    // The request keeps its own copy of the input unless the code is METHOD_NEITHER: the system
    // captures such input at the call, so a caller may reuse its buffer while the request pends.
    DeviceIoRequest(std::shared_ptr<DeviceIoQueue> queue, DWORD ioControlCode, const void* inBuffer, DWORD inSize,
                    void* outBuffer, DWORD outSize, OVERLAPPED* overlapped);

    // A provider that lets go of a request without finishing it has abandoned it; the caller
    // must not wait forever for it.
    ~DeviceIoRequest() override;

    void Complete(DWORD error, DWORD bytesReturned) override;

    OVERLAPPED* Overlapped() const { return overlapped; }
    std::shared_ptr<const IoOutcome> Outcome() const { return outcome; }

    // The remaining members are used by DeviceIoQueue under its lock.

    // Marks the caller's OVERLAPPED pending and resets its event. False for an invalid event.
    bool Begin();
    // Writes the outcome where the caller reads it, then signals the event.
    void Publish(DWORD error, DWORD bytesReturned);

private:
    std::shared_ptr<DeviceIoQueue> queue;
    std::vector<unsigned char> capturedInput;
    OVERLAPPED* overlapped;
    HANDLE event;
    std::atomic<bool> finished{true};  // false only between Begin() and the first Complete()
    const std::shared_ptr<IoOutcome> outcome;
};

}  // namespace kelvra::platform
