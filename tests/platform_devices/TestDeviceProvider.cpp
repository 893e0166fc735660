#include "TestDeviceProvider.h"

#include <algorithm>
#include <cstring>

namespace kelvra::test {

void TestConnection::IoControl(std::shared_ptr<platform::IoRequest> request)
{
    switch (request->code) {
    case kIoEcho: {
        DWORD count = std::min(request->inputSize, request->outputSize);
        if (count > 0)
            std::memcpy(request->output, request->input, count);
        request->Complete(ERROR_SUCCESS, count);
        break;
    }
    case kIoUnsupported:
        request->Complete(ERROR_NOT_SUPPORTED, 0);
        break;
    case kIoOverclaim:
        request->Complete(ERROR_SUCCESS, request->outputSize + 100);
        break;
    case kIoCompleteTwice:
        request->Complete(ERROR_SUCCESS, 1);
        request->Complete(ERROR_GEN_FAILURE, 2);
        break;
    case kIoDrop:
        break;
    default: {
        std::lock_guard guard(lock_);
        pending_.push_back(std::move(request));
        changed_.notify_all();
        break;
    }
    }
}

void TestConnection::CancelAll()
{
    std::deque<std::shared_ptr<platform::IoRequest>> cancelled;
    {
        std::lock_guard guard(lock_);
        cancelled.swap(pending_);
        ++cancelCalls_;
    }
    for (auto& request : cancelled)
        request->Complete(ERROR_OPERATION_ABORTED, 0);
}

std::shared_ptr<platform::IoRequest> TestConnection::TakeOldest()
{
    std::lock_guard guard(lock_);
    if (pending_.empty())
        return nullptr;
    auto request = std::move(pending_.front());
    pending_.pop_front();
    return request;
}

bool TestConnection::CompleteOldest(DWORD error, unsigned char fill)
{
    auto request = TakeOldest();
    if (!request)
        return false;
    if (request->outputSize > 0)
        std::memset(request->output, fill, request->outputSize);
    request->Complete(error, request->outputSize);
    return true;
}

bool TestConnection::InspectOldest(const std::function<bool(const platform::IoRequest&)>& check)
{
    std::lock_guard guard(lock_);
    return !pending_.empty() && check(*pending_.front());
}

void TestConnection::WaitForPending(size_t count)
{
    std::unique_lock guard(lock_);
    changed_.wait(guard, [&] { return pending_.size() >= count; });
}

size_t TestConnection::PendingCount()
{
    std::lock_guard guard(lock_);
    return pending_.size();
}

int TestConnection::CancelCalls()
{
    std::lock_guard guard(lock_);
    return cancelCalls_;
}

std::shared_ptr<platform::DeviceConnection> TestProvider::Open(const std::string& path, DWORD& error)
{
    std::lock_guard guard(lock_);
    opened_.push_back(path);
    if (refuseWith_) {
        error = *refuseWith_;
        return nullptr;
    }
    last_ = std::make_shared<TestConnection>();
    return last_;
}

void TestProvider::RefuseOpens(DWORD error)
{
    std::lock_guard guard(lock_);
    refuseWith_ = error;
}

void TestProvider::AcceptOpens()
{
    std::lock_guard guard(lock_);
    refuseWith_.reset();
}

std::shared_ptr<TestConnection> TestProvider::LastConnection()
{
    std::lock_guard guard(lock_);
    return last_;
}

std::vector<std::string> TestProvider::OpenedPaths()
{
    std::lock_guard guard(lock_);
    return opened_;
}

PluggedDevice::PluggedDevice(const GUID& interfaceClass, std::string path, std::shared_ptr<TestProvider> provider)
    : path_(std::move(path)), provider_(std::move(provider))
{
    added_ = platform::AddDeviceInterface(interfaceClass, path_, provider_);
}

PluggedDevice::~PluggedDevice()
{
    Unplug();
}

void PluggedDevice::Unplug()
{
    if (added_)
        platform::RemoveDeviceInterface(path_);
    added_ = false;
}

}  // namespace kelvra::test
