#include "device/CKelvraU3G5Base.h"

#include "device/ProductIds.h"
#include "device/ProductTable.h"
#include "sensors/SensorBase.h"
#include "usb/CKelvCy3Cam.h"

#include <cstring>
#include <mutex>
#include <new>

namespace {

constexpr uint32_t kSingleTransferStartMode = 0x10000;
constexpr int kReadyPolls = 40;
constexpr DWORD kReadyPollPauseMs = 500;
constexpr int kI2cTimeoutMs = 3000;
constexpr uint8_t kChipVersionAddress = 0x20;

// The class-wide critical section exists from the first instance to the last; the count that
// decides it is itself guarded, since sessions create device objects on any thread.
std::mutex instanceCountLock;
int32_t instanceCount = 0;
CRITICAL_SECTION classSection;

class ClassLockHold {
public:
    explicit ClassLockHold(CRITICAL_SECTION& section) : held(section) { EnterCriticalSection(&held); }
    ~ClassLockHold() { LeaveCriticalSection(&held); }
    ClassLockHold(const ClassLockHold&) = delete;
    ClassLockHold& operator=(const ClassLockHold&) = delete;

private:
    CRITICAL_SECTION& held;
};

bool HasProducts3090Family(int32_t productId) {
    return productId == 0x3090 || productId == 0x30B0 || productId == 0x30C0;
}

}  // namespace

// The frame event lives as long as the object: a caller may wait for a frame on one thread while
// another stops or restarts the stream, so the handle it waits on must never change under it.
CKelvraU3G5Base::CKelvraU3G5Base() : frameEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
    std::lock_guard<std::mutex> guard(instanceCountLock);
    if (instanceCount++ == 0) InitializeCriticalSection(&classSection);
}

CKelvraU3G5Base::~CKelvraU3G5Base() {
    CloseDevice();
    if (frameEvent != nullptr) CloseHandle(frameEvent);
    std::lock_guard<std::mutex> guard(instanceCountLock);
    if (--instanceCount == 0) DeleteCriticalSection(&classSection);
}

int32_t CKelvraU3G5Base::InstanceCount() {
    std::lock_guard<std::mutex> guard(instanceCountLock);
    return instanceCount;
}

CRITICAL_SECTION& CKelvraU3G5Base::ClassLock() { return classSection; }

int32_t CKelvraU3G5Base::CreateController(HWND, const GUID* interfaceClass) {
    CloseDevice();
    controller.reset(new (std::nothrow) CKelvCy3Cam(interfaceClass));
    return 1;
}

int32_t CKelvraU3G5Base::PollReadyState() {
    for (int poll = 0; poll < kReadyPolls; ++poll) {
        if (poll > 0) Sleep(kReadyPollPauseMs);
        uint8_t state = 0;
        if (controller->ReadReadyState(&state) && state == 1) return 1;
    }
    return 0;
}

int32_t CKelvraU3G5Base::ProductSpecificStartUp() {
    uint8_t value = 0;
    switch (productId) {
    case kProductP3140:
        controller->WriteFpgaRegister(56, 0);
        controller->WriteFpgaRegister(62, 3);
        return controller->WriteFpgaRegister(56, 1);
    case kProduct880HQLN:
        // A head that already answers as ready was identified by an earlier open.
        return sensor->IsCameraReady() ? 1 : sensor->Identify();
    case kProductP31E0: {
        uint8_t revision = 0;
        controller->ReadFpgaRegister(16, &revision);
        controller->ReadFpgaRegister(19, &value);
        return value != 0 || revision > 25 ? PollReadyState() : 1;
    }
    case kProductGLUX9701:
        controller->ReadFpgaRegister(19, &value);
        if (value <= 8) return 1;
        return PollReadyState() ? sensor->WriteRegister(0, 4) : sensor->ResetSensor();
    default:
        return 1;
    }
}

int32_t CKelvraU3G5Base::InitializeSensor() {
    if (!controller || !controller->AllocateTransferBuffer()) return 0;
    controller->ReadCameraInfo(deviceInfo);
    if (!sensor) return 0;
    if (productId == kProductSingleTransfer) sensor->SetTriggerModeValue(kSingleTransferStartMode);
    ProductSpecificStartUp();
    if (!sensor->IsCameraReady()) return 0;
    return sensor->Initialize();
}

int32_t CKelvraU3G5Base::CreateSensorForProduct(uint32_t number) {
    const ProductSensorRow& row = SensorRowForProduct(productId);
    uint16_t chipVersion = 0;
    if (row.productId == kProductMT9F) {
        const uint8_t versionRegister[2] = {0, 0};
        uint8_t version[2] = {0, 0};
        controller->I2cWrite(kChipVersionAddress, versionRegister, 2, kI2cTimeoutMs);
        if (!controller->I2cRead(kChipVersionAddress | 1, version, 2, kI2cTimeoutMs)) return 0;
        chipVersion = static_cast<uint16_t>(version[0] << 8 | version[1]);
    }
    CControllerBase* registers = controller.get();
    sensor.reset(SensorFactoryFor(row, chipVersion)(registers, row.serialAddress));
    if (!sensor) return 0;
    if (row.variantCode != 0) sensor->SetVariant(row.variantCode);
    deviceNumber = number;
    return 1;
}

int32_t CKelvraU3G5Base::OpenDevice(uint32_t number) {
    if (!controller || productId == kNoProductId) return 0;
    {
        ClassLockHold hold(ClassLock());
        if (controller->EnumerateDevices() == 0) return 0;
        if (!IsDevicePresent(number)) return 0;
        const int row = controller->FindDeviceRow(productId & 0xFFFF, static_cast<int>(number));
        if (controller->SelectDevice(row)) {
            // The old driver goes only once the new camera is open, so a failed switch keeps it.
            sensor.reset();
            if (!CreateSensorForProduct(number)) return 0;
        }
    }
    geometryDirty = 1;
    return InitializeSensor();
}

int32_t CKelvraU3G5Base::ReopenDevice(uint32_t number) {
    StopStreaming();
    return OpenDevice(number) ? 0 : -1;
}

int32_t CKelvraU3G5Base::CloseDevice() {
    StopStreaming();
    if (HasProducts3090Family(productId)) {
        if (sensor) {
            sensor->WriteRegister(0, 3);
            sensor->WriteRegister(0x8000, 3);
        }
        if (controller) {
            controller->WriteFpgaRegister(37, 0);
            for (uint8_t reg : {36, 31, 35, 34, 32, 33, 224}) {
                Sleep(1);
                controller->WriteFpgaRegister(reg, 0);
            }
        }
    }
    // The driver keeps a pointer to the controller's register interface: it goes first.
    sensor.reset();
    if (controller) {
        controller->CloseStream();
        controller.reset();
    }
    std::memset(deviceInfo, 0, sizeof(deviceInfo));
    ReleaseFrameBuffers();
    streamMode = 0;
    for (HANDLE* handle : {&threadEndEvent, &threadHandle}) {
        if (*handle != nullptr) CloseHandle(*handle);
        *handle = nullptr;
    }
    transferFailed = 0;
    return 1;
}

int32_t CKelvraU3G5Base::ReadDeviceInfo(uint8_t* info) {
    return info != nullptr && controller ? controller->ReadCameraInfo(info) : 0;
}

int32_t CKelvraU3G5Base::ReadDeviceInfoEx(uint8_t* info) {
    return info != nullptr && controller ? controller->ReadCameraInfo2(info) : 0;
}

int32_t CKelvraU3G5Base::GetSensorParameters(SensorParameters* record) {
    return record != nullptr && sensor ? sensor->CopyParameters(record) : 0;
}

int32_t CKelvraU3G5Base::Reserved10() { return 0; }

int32_t CKelvraU3G5Base::IsDevicePresent(uint32_t number) {
    return controller && controller->IsDeviceNumberPresent(productId, static_cast<int>(number)) ? 1 : 0;
}

int32_t CKelvraU3G5Base::CountDevices(int32_t countedProductId) {
    return controller ? controller->CountDevices(countedProductId) : 0;
}

int32_t CKelvraU3G5Base::GetDeviceName(int32_t tableIndex, char* text, size_t capacity) {
    if (!controller || text == nullptr) return 0;
    return controller->FormatDeviceName(tableIndex, text, capacity) ? 1 : 0;
}

int32_t CKelvraU3G5Base::SetProductId(int32_t id) {
    productId = id;
    return 1;
}

int32_t CKelvraU3G5Base::GetProductId() { return productId; }

int32_t CKelvraU3G5Base::GetTableVendorId(int32_t tableIndex) {
    if (!controller || tableIndex < 0 || tableIndex >= kMaxDevices) return 0;
    return controller->DeviceEntry(tableIndex).vendorId;
}

int32_t CKelvraU3G5Base::GetTableProductId(int32_t tableIndex) {
    if (!controller || tableIndex < 0 || tableIndex >= kMaxDevices) return 0;
    return controller->DeviceEntry(tableIndex).productId;
}

int32_t CKelvraU3G5Base::GetTableInstance(int32_t tableIndex) {
    if (!controller || tableIndex < 0 || tableIndex >= kMaxDevices) return -1;
    return controller->DeviceEntry(tableIndex).deviceNumber;
}

int32_t CKelvraU3G5Base::IsSingleTransferModel() { return productId == kProductSingleTransfer ? 1 : 0; }
int32_t CKelvraU3G5Base::GetDeviceNumber() { return static_cast<int32_t>(deviceNumber); }
int32_t CKelvraU3G5Base::GetMaxDevices() { return kMaxDevices; }

int32_t CKelvraU3G5Base::WriteSromId(uint16_t address, uint8_t value) {
    return controller ? controller->WriteSromByte(address, value) : 0;
}

int32_t CKelvraU3G5Base::ReadSromId(uint16_t address, uint8_t* value) {
    return controller && value != nullptr ? controller->ReadSromByte(address, value) : 0;
}

int32_t CKelvraU3G5Base::WriteSromSetting(int32_t value) {
    return WriteSromId(kSromSettingAddress, static_cast<uint8_t>(value & 0xFF));
}

int32_t CKelvraU3G5Base::ReadSromSetting(uint8_t* value) { return ReadSromId(kSromSettingAddress, value); }
