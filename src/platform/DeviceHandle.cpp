#include "DeviceHandle.h"

#include "DeviceIoRequest.h"

namespace kelvra::platform {

DeviceHandle::DeviceHandle(std::shared_ptr<DeviceConnection> connection, bool overlapped)
    : connection(std::move(connection)), overlapped(overlapped), queue(std::make_shared<DeviceIoQueue>()) {}

DWORD DeviceHandle::Submit(const std::shared_ptr<DeviceIoRequest>& request) {
    if (DWORD error = queue->Register(*request); error != ERROR_SUCCESS) return error;
    connection->IoControl(request);
    queue->Submitted();
    return ERROR_SUCCESS;
}

void DeviceHandle::CancelAll() { connection->CancelAll(); }

void DeviceHandle::OnClose() {
    queue->Close();
    connection->CancelAll();
    queue->WaitUntilIdle();
}

}  // namespace kelvra::platform
