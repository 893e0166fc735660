#include "DeviceHandle.h"

#include "DeviceIoRequest.h"

namespace kelvra::platform {

DeviceHandle::DeviceHandle(std::shared_ptr<DeviceConnection> connection, bool overlapped)
    : connection_(std::move(connection)), overlapped_(overlapped), queue_(std::make_shared<DeviceIoQueue>())
{
}

DWORD DeviceHandle::Submit(const std::shared_ptr<DeviceIoRequest>& request)
{
    if (DWORD error = queue_->Register(*request); error != ERROR_SUCCESS)
        return error;
    connection_->IoControl(request);
    queue_->Submitted();
    return ERROR_SUCCESS;
}

void DeviceHandle::CancelAll()
{
    connection_->CancelAll();
}

void DeviceHandle::OnClose()
{
    queue_->Close();
    connection_->CancelAll();
    queue_->WaitUntilIdle();
}

}  // namespace kelvra::platform
