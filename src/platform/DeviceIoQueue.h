// The requests of one device handle that the provider has not completed yet, and the waits on
// them. Requests keep the queue alive, not the handle: a provider dropping its last reference to
// a request never destroys its own connection that way.
#pragma once

#include "kelvra/win32/devio.h"

#include <condition_variable>
#include <mutex>
#include <vector>

namespace kelvra::platform {

class DeviceIoRequest;
struct IoOutcome;

class DeviceIoQueue {
public:
    // Registers the request on its way to the provider. ERROR_SUCCESS, or ERROR_INVALID_HANDLE
    // for a closed handle or an invalid event.
    DWORD Register(DeviceIoRequest& request);
    // The provider's IoControl has returned for a registered request.
    void Submitted();

    // Called once per request, from whichever thread completes it.
    void Finish(DeviceIoRequest& request, DWORD error, DWORD bytesReturned);

    // A copy of the outcome as it stands, or once the request is done.
    IoOutcome Peek(const IoOutcome& outcome);
    IoOutcome WaitUntilDone(const IoOutcome& outcome);
    // Returns once no request that uses the OVERLAPPED is pending.
    void WaitForOverlapped(const OVERLAPPED* overlapped);

    // Refuses new requests and waits until those being registered have reached the provider,
    // so that a cancellation that follows sees them.
    void Close();
    void WaitUntilIdle();

private:
    std::mutex lock;
    std::condition_variable changed;
    std::vector<const DeviceIoRequest*> pending;
    int submitting = 0;  // registered, but the provider's IoControl has not returned yet
    bool closed = false;
};

}  // namespace kelvra::platform
