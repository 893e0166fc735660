#include "usb/CKelvCy3Cam.h"

#include "common/DebugLog.h"
#include "usb/DeviceIo.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

using namespace kelvra::usb;

namespace {

constexpr uint8_t kFpgaAddress = 0x40;
constexpr uint8_t kEepromAddress = 0xA2;
constexpr uint8_t kAuxAddress = 0x5A;
constexpr uint32_t kI2cTimeoutMs = 3000;
constexpr uint32_t kControlTimeoutSeconds = 3;
constexpr DWORD kEepromWriteCycleMs = 14;
constexpr DWORD kEepromAddressSetupMs = 10;

uint16_t LittleEndian16(const uint8_t* bytes) { return uint16_t(bytes[0] | bytes[1] << 8); }

// The I2C read address is the write address with bit 0 set.
uint8_t ReadForm(uint8_t address) { return uint8_t(address | 1); }

}  // namespace

CKelvCy3Cam::CKelvCy3Cam(const GUID* interfaceClass)
    : streamStopEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      directEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
    SetInterfaceClass(interfaceClass ? *interfaceClass : kCameraInterfaceClass);
}

CKelvCy3Cam::~CKelvCy3Cam() {
    Close();
    if (directEvent != nullptr) CloseHandle(directEvent);
    if (streamStopEvent != nullptr) CloseHandle(streamStopEvent);
}

void CKelvCy3Cam::Close() {
    CloseStream();
    transferBuffer.reset();
}

int CKelvCy3Cam::SelectDevice(int row) {
    CloseStream();
    if (!IsDeviceRowPresent(row)) return 0;
    SetSelectedRow(row);
    return 1;
}

CKelvCy3Cam::ControlReply CKelvCy3Cam::Control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                                               std::span<const uint8_t> send, HANDLE device) {
    ControlReply reply;
    if (send.size() > kControlDataBytes) return reply;
    HANDLE handle = device ? device : OpenDeviceRow(SelectedRow(), false);
    if (handle == nullptr) return reply;

    ControlRequest record{};
    record.setup.requestType = requestType;
    record.setup.request = request;
    record.setup.value = value;
    record.setup.index = index;
    record.setup.length = sizeof(ControlRequest);
    record.setup.timeoutSeconds = kControlTimeoutSeconds;
    record.setup.bufferOffset = kTransferHeaderBytes;
    record.setup.bufferLength = kControlDataBytes;
    if (!send.empty()) std::memcpy(record.data, send.data(), send.size());

    DWORD bytesReturned = 0;
    reply.ok = deviceio::IoControl(handle, kIoctlControlTransfer, &record, sizeof record, &record, sizeof record,
                                   &bytesReturned, nullptr);
    if (reply.ok) {
        reply.dataLength = std::min<uint32_t>(DataLengthOfReply(bytesReturned), kControlDataBytes);
        std::memcpy(reply.data, record.data, sizeof reply.data);
    }
    if (device == nullptr) deviceio::Close(handle);
    return reply;
}

std::optional<bool> CKelvCy3Cam::RowRequest(uint32_t code, void* input, uint32_t inputSize, void* output,
                                            uint32_t outputSize) {
    HANDLE device = OpenDeviceRow(SelectedRow(), false);
    if (device == nullptr) return std::nullopt;
    DWORD bytesReturned = 0;
    const bool ok = deviceio::IoControl(device, code, input, inputSize, output, outputSize, &bytesReturned, nullptr);
    deviceio::Close(device);
    return ok;
}

int CKelvCy3Cam::I2cWrite(uint8_t address, const uint8_t* bytes, int count, uint32_t /*timeoutMs*/) {
    if (count < 0 || count > kMaxI2cBytes || (bytes == nullptr && count > 0)) return 0;
    return Control(kVendorToDevice, request::kI2cWrite, uint16_t(count), address,
                   std::span<const uint8_t>(bytes, std::size_t(count)))
        .ok;
}

int CKelvCy3Cam::I2cRead(uint8_t address, uint8_t* bytes, int count, uint32_t /*timeoutMs*/) {
    if (count < 0 || count > kMaxI2cBytes || (bytes == nullptr && count > 0)) return 0;
    const ControlReply reply = Control(kVendorFromDevice, request::kI2cRead, uint16_t(count), ReadForm(address));
    // A short answer leaves the caller's bytes as they were, and is no success.
    if (!reply.ok || reply.dataLength < uint32_t(count)) return 0;
    std::memcpy(bytes, reply.data, std::size_t(count));
    return 1;
}

int CKelvCy3Cam::WriteRegister32(uint16_t address, uint32_t value) {
    const uint8_t data[] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    return Control(kVendorToDevice, request::kWriteRegister32, uint16_t(address >> 15), uint16_t(address & 0x7FFF),
                   data)
        .ok;
}

int CKelvCy3Cam::ReadRegister16(uint16_t address, int* value) {
    if (value == nullptr) return 0;
    const ControlReply reply = Control(kVendorFromDevice, request::kReadRegister16, 0, address);
    *value = reply.ok && reply.dataLength >= kControlDataBytes ? LittleEndian16(reply.data) : 0;
    return reply.ok;
}

int CKelvCy3Cam::WriteRegisterPair(uint16_t address, uint16_t value) {
    const uint8_t data[] = {uint8_t(address >> 8), uint8_t(address), uint8_t(value >> 8), uint8_t(value)};
    return Control(kVendorToDevice, request::kWriteRegisterPair, 0, 0, data).ok;
}

int CKelvCy3Cam::ReadRegisterWord(uint16_t address, int* value) {
    if (value == nullptr) return 0;
    const ControlReply reply = Control(kVendorFromDevice, request::kReadRegisterWord, address, 0);
    if (reply.ok && reply.dataLength > 0) *value = LittleEndian16(reply.data);
    return reply.ok;
}

int CKelvCy3Cam::WriteFpgaRegister(uint8_t reg, uint8_t value) {
    const uint8_t data[] = {reg, 0x00, value};
    std::lock_guard guard(fpgaLock);
    return I2cWrite(kFpgaAddress, data, sizeof data, kI2cTimeoutMs);
}

int CKelvCy3Cam::ReadFpgaRegister(uint8_t reg, uint8_t* value) {
    if (value == nullptr) return 0;
    uint8_t contents[2] = {};
    std::lock_guard guard(fpgaLock);
    if (!I2cWrite(kFpgaAddress, &reg, 1, kI2cTimeoutMs) || !I2cRead(kFpgaAddress, contents, 2, kI2cTimeoutMs)) return 0;
    *value = contents[1];
    return 1;
}

int CKelvCy3Cam::ReadFpgaRegisterPair(uint16_t* value) {
    if (value == nullptr) return 0;
    uint8_t low = 0;
    uint8_t high = 0;
    if (!ReadFpgaRegister(0x10, &low) || !ReadFpgaRegister(0x11, &high)) return 0;
    *value = uint16_t(high << 8 | low);
    return 1;
}

int CKelvCy3Cam::WriteAuxRegister(uint8_t reg, uint8_t value) {
    const uint8_t data[] = {reg, value};
    return I2cWrite(kAuxAddress, data, sizeof data, kI2cTimeoutMs);
}

int CKelvCy3Cam::ReadAuxRegister(uint8_t reg, uint8_t* value) {
    if (value == nullptr) return 0;
    return I2cWrite(kAuxAddress, &reg, 1, kI2cTimeoutMs) && I2cRead(ReadForm(kAuxAddress), value, 1, kI2cTimeoutMs);
}

int CKelvCy3Cam::WriteSromByte(uint16_t address, uint8_t value) {
    const uint8_t data[] = {uint8_t(address >> 8), uint8_t(address), value};
    const int written = I2cWrite(kEepromAddress, data, sizeof data, kI2cTimeoutMs);
    Sleep(kEepromWriteCycleMs);
    return written;
}

int CKelvCy3Cam::ReadSromByte(uint16_t address, uint8_t* value) {
    if (value == nullptr) return 0;
    const uint8_t data[] = {uint8_t(address >> 8), uint8_t(address)};
    if (!I2cWrite(kEepromAddress, data, sizeof data, kI2cTimeoutMs)) return 0;
    Sleep(kEepromAddressSetupMs);
    return I2cRead(ReadForm(kEepromAddress), value, 1, kI2cTimeoutMs);
}

int CKelvCy3Cam::SendRequestCC() { return Control(kVendorToEndpoint, request::kSendRequestCC, 0, 0).ok; }

int CKelvCy3Cam::WriteModeByte(uint8_t value) {
    const uint8_t data[] = {value, 0, 0, 0};
    return Control(kVendorToDevice, request::kWriteModeByte, 0, 0, data).ok;
}

int CKelvCy3Cam::ReadModeByte(uint8_t* value) {
    if (value == nullptr) return 0;
    const ControlReply reply = Control(kVendorFromDevice, request::kReadModeByte, 0, 0);
    if (reply.ok && reply.dataLength > 0) *value = reply.data[0];
    return reply.ok;
}

int CKelvCy3Cam::ReadInfoRecord(uint8_t request, uint8_t* info) {
    if (info == nullptr) return 0;
    const ControlReply reply = Control(kVendorFromDevice, request, 0, 0);
    if (reply.ok && reply.dataLength >= kControlDataBytes) std::memcpy(info, reply.data, kControlDataBytes);
    return reply.ok;
}

int CKelvCy3Cam::ReadCameraInfo(uint8_t* info) { return ReadInfoRecord(request::kReadCameraInfo, info); }

int CKelvCy3Cam::ReadCameraInfo2(uint8_t* info) { return ReadInfoRecord(request::kReadCameraInfo2, info); }

int CKelvCy3Cam::ReadReadyState(uint8_t* state) {
    if (state == nullptr) return 0;
    const ControlReply reply = Control(kVendorFromDevice, request::kReadReadyState, 0, 0);
    if (reply.ok && reply.dataLength >= kControlDataBytes) *state = reply.data[0];
    return reply.ok;
}

int CKelvCy3Cam::ResetStream() { return Control(kVendorToDevice, request::kResetStream, 0, 0).ok; }

int CKelvCy3Cam::RequestFrame(HANDLE device) {
    return Control(kVendorToEndpoint, request::kRequestFrame, 0, 0, {}, device).ok;
}

int CKelvCy3Cam::ResetPort() { return RowRequest(kIoctlResetPort, nullptr, 0, nullptr, 0).value_or(false); }

int CKelvCy3Cam::ResetPipe(uint8_t endpoint) {
    return RowRequest(kIoctlResetPipe, &endpoint, 1, nullptr, 0).value_or(false);
}

int CKelvCy3Cam::GetBusSpeed(int* speed) {
    if (speed == nullptr) return 0;
    uint32_t request = 0;
    uint32_t code = 0;
    const std::optional<bool> answered = RowRequest(kIoctlBusSpeed, &request, sizeof request, &code, sizeof code);
    if (!answered) return 0;
    // A driver that does not report the speed leaves the caller's value as it was.
    if (*answered) *speed = int(code);
    return 1;
}

int CKelvCy3Cam::AllocateTransferBuffer() {
    if (!transferBuffer) {
        transferBuffer.reset(new (std::nothrow) uint8_t[kTransferBufferBytes]);
        if (!transferBuffer) return 0;
    }
    // A fresh port is a courtesy to the first stream; the stream's own resets follow anyway.
    if (!ResetPort()) DebugLog(LogCategory::Usb, "port reset before the first stream failed");
    return 1;
}
