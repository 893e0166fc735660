// The Windows test route as the SDK's device seam sees it: a program linking the simulator takes
// its device calls there, and each call keeps its Win32 contract (errors, sizes, pending requests
// ended by their event, handles closed with their requests).
#include "kelvra/DeviceProvider.h"
#include "usb/DeviceIo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

namespace deviceio = kelvra::usb::deviceio;
using kelvra::platform::DeviceConnection;
using kelvra::platform::IoRequest;

constexpr GUID kHeldClass = {0x7E570002, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0xDE}};
constexpr GUID kOtherClass = {0x7E570003, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0xDE}};
constexpr DWORD kAnswerAtOnce = 1;  // any other code stays pending until Finish or a cancel

// A device whose requests wait for the test, except kAnswerAtOnce, which returns its input.
class HeldDevice : public kelvra::platform::DeviceProvider, public DeviceConnection {
public:
    std::shared_ptr<DeviceConnection> Open(const std::string&, DWORD& error) override {
        if (!openable) {
            error = ERROR_ACCESS_DENIED;
            return nullptr;
        }
        return std::shared_ptr<DeviceConnection>(std::shared_ptr<void>(), this);
    }
    void IoControl(std::shared_ptr<IoRequest> request) override {
        if (request->code == kAnswerAtOnce) {
            const DWORD bytes = std::min(request->inputSize, request->outputSize);
            std::memcpy(request->output, request->input, bytes);
            request->Complete(ERROR_SUCCESS, bytes);
            return;
        }
        std::lock_guard lock(mutex);
        held.push_back(std::move(request));
    }
    void CancelAll() override { Finish(ERROR_OPERATION_ABORTED, 0); }
    void Finish(DWORD error, DWORD bytes) {
        std::vector<std::shared_ptr<IoRequest>> ending;
        {
            std::lock_guard lock(mutex);
            ending.swap(held);
        }
        for (auto& request : ending) request->Complete(error, bytes);
    }

    bool openable = true;

private:
    std::mutex mutex;
    std::vector<std::shared_ptr<IoRequest>> held;
};

class DeviceRoute : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kelvra::platform::AddDeviceInterface(kHeldClass, firstPath, device));
        ASSERT_TRUE(kelvra::platform::AddDeviceInterface(kOtherClass, otherPath, other));
        ASSERT_TRUE(kelvra::platform::AddDeviceInterface(kHeldClass, secondPath, device));
    }
    void TearDown() override {
        for (const char* path : {firstPath, otherPath, secondPath}) kelvra::platform::RemoveDeviceInterface(path);
    }

    const char* firstPath = "\\\\?\\usb#vid_7e57&pid_0001#held-1#{route}";
    const char* otherPath = "\\\\?\\usb#vid_7e57&pid_0002#other#{route}";
    const char* secondPath = "\\\\?\\usb#vid_7e57&pid_0001#held-2#{route}";
    std::shared_ptr<HeldDevice> device = std::make_shared<HeldDevice>();
    std::shared_ptr<HeldDevice> other = std::make_shared<HeldDevice>();
};

TEST_F(DeviceRoute, EnumerationCountsTheAskedClassOnlyAndReportsEachPathsSize) {
    EXPECT_FALSE(kelvra::platform::AddDeviceInterface(kOtherClass, firstPath, other)) << "a path is listed once";
    const HDEVINFO devices = deviceio::GetClassDevices(kHeldClass);
    std::vector<std::string> paths;
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    DWORD index = 0;
    for (; deviceio::EnumerateInterface(devices, kHeldClass, index, &interfaceData); ++index) {
        EXPECT_TRUE(IsEqualGUID(interfaceData.InterfaceClassGuid, kHeldClass));
        DWORD required = 0;
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(deviceio::GetInterfaceDetail(devices, &interfaceData, nullptr, 0, &required));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        std::vector<char> buffer(required);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        ASSERT_TRUE(deviceio::GetInterfaceDetail(devices, &interfaceData, detail, required, nullptr));
        paths.emplace_back(detail->DevicePath);
        EXPECT_EQ(required, offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + paths.back().size() + 1);
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(paths, (std::vector<std::string>{firstPath, secondPath}));
    deviceio::DestroyDeviceList(devices);
}

TEST_F(DeviceRoute, OpeningFailsWithTheProvidersErrorOrFileNotFound) {
    device->openable = false;
    EXPECT_FALSE(deviceio::IsOpen(deviceio::OpenPath(firstPath, false)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(deviceio::IsOpen(deviceio::OpenPath("\\\\?\\usb#vid_7e57&pid_0009#gone#{route}", false)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    DWORD bytes = 0;
    char data = 0;
    EXPECT_FALSE(
        deviceio::IoControl(reinterpret_cast<HANDLE>(&data), kAnswerAtOnce, &data, 1, &data, 1, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "only the route's own handles are used";
}

TEST_F(DeviceRoute, APendingRequestEndsThroughItsEventAndItsResult) {
    // Paths are matched without regard to case, as Windows does.
    std::string upper(firstPath);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const HANDLE handle = deviceio::OpenPath(upper.c_str(), true);
    ASSERT_TRUE(deviceio::IsOpen(handle));

    char in[4] = {'a', 'b', 'c', 'd'}, out[4] = {};
    DWORD bytes = 0;
    EXPECT_TRUE(deviceio::IoControl(handle, kAnswerAtOnce, in, 4, out, 4, &bytes, nullptr));
    EXPECT_EQ(bytes, 4u);
    EXPECT_EQ(std::string(out, 4), "abcd");

    const HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);  // set: the call must reset it
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    EXPECT_FALSE(deviceio::IoControl(handle, 2, in, 4, out, 4, &bytes, &overlapped));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_FALSE(deviceio::OverlappedResult(handle, &overlapped, &bytes, false));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));

    device->Finish(ERROR_SUCCESS, 3);
    EXPECT_EQ(WaitForSingleObject(event, 1000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_TRUE(deviceio::OverlappedResult(handle, &overlapped, &bytes, false));
    EXPECT_EQ(bytes, 3u);

    // A failure reaches the caller as its own error code.
    EXPECT_FALSE(deviceio::IoControl(handle, 2, in, 4, out, 4, &bytes, &overlapped));
    device->Finish(ERROR_GEN_FAILURE, 0);
    EXPECT_FALSE(deviceio::OverlappedResult(handle, &overlapped, &bytes, true));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));

    // Cancelling ends a pending request as aborted, and so does closing; the handle is gone then.
    EXPECT_FALSE(deviceio::IoControl(handle, 2, in, 4, out, 4, &bytes, &overlapped));
    deviceio::CancelPending(handle);
    EXPECT_FALSE(deviceio::OverlappedResult(handle, &overlapped, &bytes, true));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_FALSE(deviceio::IoControl(handle, 2, in, 4, out, 4, &bytes, &overlapped));
    deviceio::Close(handle);
    EXPECT_EQ(WaitForSingleObject(event, 1000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_FALSE(deviceio::IoControl(handle, kAnswerAtOnce, in, 4, out, 4, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(event);
}

}  // namespace
