// A device provider for the tests: answers some I/O-control codes at once and keeps others
// pending until the test completes them, possibly from another thread.
#pragma once

#include "kelvra/DeviceProvider.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kelvra::test {

// Copies the input to the output and completes at once.
constexpr DWORD kIoEcho = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x800, METHOD_BUFFERED, FILE_ANY_ACCESS);
// Completes at once with ERROR_NOT_SUPPORTED.
constexpr DWORD kIoUnsupported = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x801, METHOD_BUFFERED, FILE_ANY_ACCESS);
// Stays pending until CompleteOldest or a cancellation.
constexpr DWORD kIoPend = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x802, METHOD_NEITHER, FILE_ANY_ACCESS);
// Completes at once, claiming more bytes than the output holds.
constexpr DWORD kIoOverclaim = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x803, METHOD_BUFFERED, FILE_ANY_ACCESS);
// Completes at once and then completes the same request again.
constexpr DWORD kIoCompleteTwice = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x804, METHOD_BUFFERED, FILE_ANY_ACCESS);
// Drops the request without completing it.
constexpr DWORD kIoDrop = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x805, METHOD_BUFFERED, FILE_ANY_ACCESS);

class TestConnection final : public platform::DeviceConnection {
public:
    void IoControl(std::shared_ptr<platform::IoRequest> request) override;
    void CancelAll() override;

    // Fills the oldest pending request's output with fill and completes it with the error.
    // False when nothing is pending.
    bool CompleteOldest(DWORD error, unsigned char fill);
    // Removes the oldest pending request and hands it over; null when nothing is pending.
    std::shared_ptr<platform::IoRequest> TakeOldest();
    // The verdict of check on the oldest pending request; false when nothing is pending.
    bool InspectOldest(const std::function<bool(const platform::IoRequest&)>& check);
    void WaitForPending(size_t count);
    size_t PendingCount();
    int CancelCalls();

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<platform::IoRequest>> pending_;
    int cancelCalls_ = 0;
};

class TestProvider final : public platform::DeviceProvider {
public:
    std::shared_ptr<platform::DeviceConnection> Open(const std::string& path, DWORD& error) override;

    // Later opens fail and report this error, until AcceptOpens.
    void RefuseOpens(DWORD error);
    void AcceptOpens();
    std::shared_ptr<TestConnection> LastConnection();
    std::vector<std::string> OpenedPaths();

private:
    std::mutex lock_;
    std::optional<DWORD> refuseWith_;
    std::shared_ptr<TestConnection> last_;
    std::vector<std::string> opened_;
};

// Adds a device interface for the test's lifetime.
class PluggedDevice {
public:
    PluggedDevice(const GUID& interfaceClass, std::string path,
                  std::shared_ptr<TestProvider> provider = std::make_shared<TestProvider>());
    ~PluggedDevice();
    PluggedDevice(const PluggedDevice&) = delete;
    PluggedDevice& operator=(const PluggedDevice&) = delete;

    const std::string& Path() const { return path_; }
    TestProvider& Provider() { return *provider_; }
    bool Added() const { return added_; }
    void Unplug();

private:
    std::string path_;
    std::shared_ptr<TestProvider> provider_;
    bool added_ = false;
};

}  // namespace kelvra::test
