// A handle that CreateFileA opened on a device path: the provider's connection and the queue of
// this handle's requests.
#pragma once

#include "DeviceIoQueue.h"
#include "KernelObject.h"
#include "kelvra/DeviceProvider.h"

#include <memory>

namespace kelvra::platform {

class DeviceIoRequest;

class DeviceHandle final : public KernelObject {
public:
    DeviceHandle(std::shared_ptr<DeviceConnection> connection, bool overlapped);

    // Opened with FILE_FLAG_OVERLAPPED: requests with an OVERLAPPED may return before they end.
    bool IsOverlapped() const { return overlapped; }
    const std::shared_ptr<DeviceIoQueue>& Queue() const { return queue; }

    // Hands a request of this handle's queue to the provider. ERROR_SUCCESS, or the error of a
    // request that never started.
    DWORD Submit(const std::shared_ptr<DeviceIoRequest>& request);

    void CancelAll();

    // CloseHandle: no provider may write into a caller's buffer once the handle is gone, so
    // this cancels what is pending and waits until the provider has completed all of it.
    void OnClose() override;

private:
    const std::shared_ptr<DeviceConnection> connection;
    const bool overlapped;
    const std::shared_ptr<DeviceIoQueue> queue;
};

}  // namespace kelvra::platform
