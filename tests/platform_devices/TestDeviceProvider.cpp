#include "TestDeviceProvider.h"

#include <algorithm>
#include <cstring>

namespace kelvra::test {

void TestConnection::IoControl(std::shared_ptr<platform::IoRequest> request) {
    switch (request->code) {
        case kIoEcho: {
            DWORD count = std::min(request->inputSize, request->outputSize);
            if (count > 0) std::memcpy(request->output, request->input, count);
            return request->Complete(ERROR_SUCCESS, count);
        }
        case kIoUnsupported:
            return request->Complete(ERROR_NOT_SUPPORTED, 0);
        case kIoOverclaim:
            return request->Complete(ERROR_SUCCESS, request->outputSize + 100);
        case kIoCompleteTwice:
            request->Complete(ERROR_SUCCESS, 1);
            return request->Complete(ERROR_GEN_FAILURE, 2);
        case kIoDrop:
            return;
        default: {
            std::lock_guard guard(lock);
            pending.push_back(std::move(request));
            changed.notify_all();
        }
    }
}

void TestConnection::CancelAll() {
    std::deque<std::shared_ptr<platform::IoRequest>> cancelled;
    {
        std::lock_guard guard(lock);
        cancelled.swap(pending);
    }
    for (auto& request : cancelled) request->Complete(ERROR_OPERATION_ABORTED, 0);
}

std::shared_ptr<platform::IoRequest> TestConnection::TakeOldest() {
    std::lock_guard guard(lock);
    if (pending.empty()) return nullptr;
    auto request = std::move(pending.front());
    pending.pop_front();
    return request;
}

bool TestConnection::CompleteOldest(DWORD error, unsigned char fill) {
    auto request = TakeOldest();
    if (!request) return false;
    if (request->outputSize > 0) std::memset(request->output, fill, request->outputSize);
    request->Complete(error, request->outputSize);
    return true;
}

void TestConnection::WaitForPending(size_t count) {
    std::unique_lock guard(lock);
    changed.wait(guard, [&] { return pending.size() >= count; });
}

size_t TestConnection::PendingCount() {
    std::lock_guard guard(lock);
    return pending.size();
}

std::shared_ptr<platform::DeviceConnection> TestProvider::Open(const std::string& path, DWORD& error) {
    lastPath = path;
    if (refuseWith) {
        error = *refuseWith;
        return nullptr;
    }
    lastConnection = std::make_shared<TestConnection>();
    return lastConnection;
}

PluggedDevice::PluggedDevice(const GUID& interfaceClass, std::string devicePath) : path(std::move(devicePath)) {
    added = platform::AddDeviceInterface(interfaceClass, path, provider);
}

void PluggedDevice::Unplug() {
    if (added) platform::RemoveDeviceInterface(path);
    added = false;
}

}  // namespace kelvra::test
