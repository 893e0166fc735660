// A device provider for the tests: answers some I/O-control codes at once and keeps the others
// pending until the test completes them, possibly from another thread.
#pragma once

#include "kelvra/DeviceProvider.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace kelvra::test {

constexpr DWORD TestCode(DWORD function, DWORD method = METHOD_BUFFERED) {
    return CTL_CODE(FILE_DEVICE_UNKNOWN, function, method, FILE_ANY_ACCESS);
}
constexpr DWORD kIoEcho = TestCode(0x800);                  // output = input, at once
constexpr DWORD kIoUnsupported = TestCode(0x801);           // ERROR_NOT_SUPPORTED, at once
constexpr DWORD kIoOverclaim = TestCode(0x802);             // claims more bytes than the output holds
constexpr DWORD kIoCompleteTwice = TestCode(0x803);         // 1 byte, then again with an error
constexpr DWORD kIoDrop = TestCode(0x804);                  // lets go of the request unfinished
constexpr DWORD kIoPend = TestCode(0x805, METHOD_NEITHER);  // any other code pends too

class TestConnection final : public platform::DeviceConnection {
public:
    void IoControl(std::shared_ptr<platform::IoRequest> request) override;
    void CancelAll() override;  // aborts what is queued, not a request TakeOldest handed out

    std::shared_ptr<platform::IoRequest> TakeOldest();
    // Fills the oldest pending request's output with fill and completes it with the error.
    bool CompleteOldest(DWORD error, unsigned char fill);
    void WaitForPending(size_t count);
    size_t PendingCount();

private:
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::shared_ptr<platform::IoRequest>> pending;
};

class TestProvider final : public platform::DeviceProvider {
public:
    std::shared_ptr<platform::DeviceConnection> Open(const std::string& path, DWORD& error) override;

    std::optional<DWORD> refuseWith;  // opens fail with this error while set
    std::string lastPath;
    std::shared_ptr<TestConnection> lastConnection;
};

// A device interface present for the lifetime of the object (or until Unplug).
class PluggedDevice {
public:
    PluggedDevice(const GUID& interfaceClass, std::string path);
    ~PluggedDevice() { Unplug(); }
    PluggedDevice(const PluggedDevice&) = delete;
    PluggedDevice& operator=(const PluggedDevice&) = delete;

    void Unplug();

    const std::string path;
    const std::shared_ptr<TestProvider> provider = std::make_shared<TestProvider>();
    bool added = false;
};

}  // namespace kelvra::test
