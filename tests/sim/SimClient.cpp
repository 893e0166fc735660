#include "SimClient.h"

#include <algorithm>
#include <cstring>

namespace simtest {

namespace {

void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

std::uint32_t Load32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::vector<std::string> EnumeratePaths() {
    std::vector<std::string> paths;
    HDEVINFO set = SetupDiGetClassDevsA(&kCameraClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return paths;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &kCameraClass, index, &data)) break;
        DWORD required = 0;
        SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr);
        std::vector<std::uint8_t> buffer(std::max<DWORD>(required, 8));
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
        detail->cbSize = 8;
        if (SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr))
            paths.emplace_back(detail->DevicePath);
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

Device::Device(const std::string& path, bool overlapped)
    : handle(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr)) {
    if (!handle) handle = INVALID_HANDLE_VALUE;
}

Device::~Device() {
    if (IsOpen()) CloseHandle(handle);
}

bool Device::SimpleIoctl(DWORD code, const std::vector<std::uint8_t>& input, DWORD* bytesReturned, void* output,
                         DWORD outputSize) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<std::uint8_t> in = input;
    DWORD count = 0;
    BOOL ok = DeviceIoControl(handle, code, in.empty() ? nullptr : in.data(), static_cast<DWORD>(in.size()), output,
                              outputSize, &count, &overlapped);
    if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(handle, &overlapped, &count, TRUE);
    CloseHandle(overlapped.hEvent);
    if (bytesReturned) *bytesReturned = count;
    return ok != FALSE;
}

Device::ControlAnswer Device::Control(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                                      std::uint16_t index, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> buffer(102, 0);
    buffer[0] = requestType;
    buffer[1] = request;
    Put16(&buffer[2], value);
    Put16(&buffer[4], index);
    Put16(&buffer[6], 102);
    Put32(&buffer[8], 3);
    Put32(&buffer[30], kSetupSize);
    Put32(&buffer[34], 64);
    std::copy(data.begin(), data.end(), buffer.begin() + kSetupSize);
    ControlAnswer answer;
    DWORD count = 0;
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    BOOL ok = DeviceIoControl(handle, kIoctlControl, buffer.data(), 102, buffer.data(), 102, &count, &overlapped);
    if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(handle, &overlapped, &count, TRUE);
    answer.error = ok ? 0 : GetLastError();
    CloseHandle(overlapped.hEvent);
    answer.ok = ok != FALSE;
    if (answer.ok && count > kSetupSize && (requestType & 0x80))
        answer.data.assign(buffer.begin() + kSetupSize, buffer.begin() + count);
    return answer;
}

bool Device::I2cWrite(std::uint8_t address, const std::vector<std::uint8_t>& bytes) {
    return Control(0x40, 0x30, static_cast<std::uint16_t>(bytes.size()), address, bytes).ok;
}

std::optional<std::vector<std::uint8_t>> Device::I2cRead(std::uint8_t address, std::size_t count) {
    auto answer = Control(0xC0, 0x31, static_cast<std::uint16_t>(count), address | 1);
    if (!answer.ok || answer.data.size() != count) return std::nullopt;
    return answer.data;
}

bool Device::WriteFpga(std::uint8_t reg, std::uint8_t value) { return I2cWrite(0x40, {reg, 0x00, value}); }

std::optional<std::uint16_t> Device::ReadFpga(std::uint8_t reg) {
    if (!I2cWrite(0x40, {reg})) return std::nullopt;
    auto bytes = I2cRead(0x40, 2);
    if (!bytes) return std::nullopt;
    return static_cast<std::uint16_t>((*bytes)[0] << 8 | (*bytes)[1]);
}

bool Device::RequestFrame() { return Control(0x42, 0xC2, 0, 0).ok; }

bool Device::SendText(const std::string& text) {
    for (char c : text)
        if (!I2cWrite(0x48, {0x00, 0x00, static_cast<std::uint8_t>(c)})) return false;
    return true;
}

std::string Device::ReceiveAll() {
    std::string text;
    for (;;) {
        if (!I2cWrite(0x48, {0x00, 0x00})) return text;
        auto c = I2cRead(0x48, 1);
        if (!c || (*c)[0] == 0) return text;
        text.push_back(static_cast<char>((*c)[0]));
    }
}

BulkRead::BulkRead(HANDLE device, std::uint8_t endpoint, void* buffer, DWORD length, bool buffered)
    : device(device), event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    io.assign(kSetupSize + (buffered ? length : 0), 0);
    io[13] = endpoint;
    if (buffered) {
        Put32(&io[30], kSetupSize);
        Put32(&io[34], length);
    }
    overlapped.hEvent = event;
    DWORD count = 0;
    const BOOL ok = buffered ? DeviceIoControl(this->device, kIoctlBuffered, io.data(), static_cast<DWORD>(io.size()),
                                               io.data(), static_cast<DWORD>(io.size()), &count, &overlapped)
                             : DeviceIoControl(this->device, kIoctlDirect, io.data(), kSetupSize, buffer, length,
                                               &count, &overlapped);
    issued = ok || GetLastError() == ERROR_IO_PENDING;
    finished = !issued;
}

BulkRead::~BulkRead() {
    if (issued && !finished) {
        CancelIo(device);
        WaitForSingleObject(event, INFINITE);
    }
    CloseHandle(event);
}

bool BulkRead::Wait(DWORD milliseconds) {
    if (!finished) finished = WaitForSingleObject(event, milliseconds) == WAIT_OBJECT_0;
    return finished;
}

bool BulkRead::Succeeded(DWORD* count, DWORD* error) {
    DWORD transferred = 0;
    const BOOL ok = issued && GetOverlappedResult(device, &overlapped, &transferred, TRUE);
    finished = true;
    if (count) *count = transferred;
    if (error) *error = ok ? 0 : GetLastError();
    return ok != FALSE;
}

std::uint32_t BulkRead::DriverStatus() const { return Load32(&io[14]); }

std::uint32_t BulkRead::UsbStatus() const { return Load32(&io[18]); }

std::optional<Frame> ReadFrame(Device& device, std::size_t piece, DWORD waitMs) {
    Frame frame;
    frame.header.assign(64, 0);
    {
        BulkRead read(device.Handle(), 0x81, frame.header.data(), 64);
        DWORD count = 0;
        if (!read.Wait(waitMs) || !read.Succeeded(&count) || count != 64 || read.DriverStatus() || read.UsbStatus())
            return std::nullopt;
    }
    const std::uint32_t length = Load32(&frame.header[16]);
    frame.payload.assign(length, 0);
    for (std::size_t offset = 0; offset < length;) {
        const auto n = static_cast<DWORD>(std::min(piece, length - offset));
        BulkRead read(device.Handle(), 0x81, frame.payload.data() + offset, n);
        DWORD count = 0;
        if (!read.Wait(waitMs) || !read.Succeeded(&count) || count != n) return std::nullopt;
        offset += count;
    }
    return frame;
}

}  // namespace simtest
