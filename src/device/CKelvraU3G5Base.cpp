#include "device/CKelvraU3G5Base.h"

#include "common/CriticalSection.h"
#include "common/DebugLog.h"
#include "device/FpgaRegisters.h"
#include "device/ProductRules.h"
#include "device/ProductTable.h"
#include "sensors/SensorBase.h"
#include "usb/CKelvCy3Cam.h"

#include <cstring>
#include <new>

namespace {

constexpr uint32_t kSingleTransferStartMode = 0x10000;
constexpr int kReadyPolls = 40;
constexpr DWORD kReadyPollPauseMs = 500;
constexpr int kI2cTimeoutMs = 3000;
constexpr uint8_t kChipVersionAddress = 0x20;

// Guards the instance count and serialises enumeration and device selection across every device
// object of the process, since sessions create and open cameras on any thread.
CriticalSection& ClassSection() {
    static CriticalSection section;
    return section;
}
int32_t instanceCount = 0;  // under ClassSection()

}  // namespace

// The frame event lives as long as the object: a caller may wait for a frame on one thread while
// another stops or restarts the stream, so the handle it waits on must never change under it.
CKelvraU3G5Base::CKelvraU3G5Base() : frameEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
    CriticalSectionGuard guard(ClassLock());
    ++instanceCount;
}

CKelvraU3G5Base::~CKelvraU3G5Base() {
    CloseDevice();
    if (frameEvent != nullptr) CloseHandle(frameEvent);
    CriticalSectionGuard guard(ClassLock());
    --instanceCount;
}

int32_t CKelvraU3G5Base::InstanceCount() {
    CriticalSectionGuard guard(ClassLock());
    return instanceCount;
}

CriticalSection& CKelvraU3G5Base::ClassLock() { return ClassSection(); }

void CKelvraU3G5Base::BeginCommandSequence() {
    if (sensor) sensor->BeginCommandSequence();
}

void CKelvraU3G5Base::EndCommandSequence() {
    if (sensor) sensor->EndCommandSequence();
}

AnswerLoss CKelvraU3G5Base::LastAnswerLoss() const { return sensor ? sensor->LastAnswerLoss() : AnswerLoss::kNone; }

int32_t CKelvraU3G5Base::CreateController(HWND, const GUID* interfaceClass) {
    CloseDevice();
    controller.reset(new (std::nothrow) CKelvCy3Cam(interfaceClass));
    return controller ? 1 : 0;
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
    switch (Rules().startUp) {
        case StartUpRule::kSensorStartSequence: {
            const bool stopped = controller->WriteFpgaRegister(fpga::kSensorEnable, 0);
            const bool moded = controller->WriteFpgaRegister(fpga::kSensorStartMode, 3);
            if (!stopped || !moded) DebugLog(LogCategory::Device, "sensor start sequence: an FPGA write failed");
            return controller->WriteFpgaRegister(fpga::kSensorEnable, 1);
        }
        case StartUpRule::kIdentifyHead:
            // A head that already answers as ready was identified by an earlier open.
            return sensor->IsCameraReady() ? 1 : sensor->Identify();
        case StartUpRule::kAwaitReadyWhenBusy: {
            uint8_t revision = 0;
            // An unread register stays 0: the board then counts as an early revision that is not busy.
            const bool revisionRead = controller->ReadFpgaRegister(fpga::kBoardRevision, &revision);
            const bool stateRead = controller->ReadFpgaRegister(fpga::kStartUpState, &value);
            if (!revisionRead || !stateRead)
                DebugLog(LogCategory::Device, "start-up: board revision or state unreadable");
            return value != 0 || revision > 25 ? PollReadyState() : 1;
        }
        case StartUpRule::kAwaitReadyThenWake:
            // Unreadable counts as idle (0): the camera then starts without the poll.
            if (!controller->ReadFpgaRegister(fpga::kStartUpState, &value))
                DebugLog(LogCategory::Device, "start-up: board state unreadable");
            if (value <= 8) return 1;
            return PollReadyState() ? sensor->WriteRegister(0, 4) : sensor->ResetSensor();
        case StartUpRule::kNone:
            break;
    }
    return 1;
}

int32_t CKelvraU3G5Base::InitializeSensor() {
    if (!controller || !controller->AllocateTransferBuffer()) return 0;
    // Without the record the firmware version reads as 0, which only skips the pipe reset.
    if (!controller->ReadCameraInfo(deviceInfo)) DebugLog(LogCategory::Device, "camera info unreadable");
    if (!sensor) return 0;
    if (Rules().singleTransfer) sensor->SetTriggerModeValue(kSingleTransferStartMode);
    // The readiness check below decides; a start-up step that failed shows there. Only a head
    // that could not be identified reads ready all the same (identification sets the ready
    // register first), and a head that does not know itself or is gone cannot be used.
    if (!ProductSpecificStartUp() && Rules().startUp == StartUpRule::kIdentifyHead) return 0;
    if (!sensor->IsCameraReady()) return 0;
    return sensor->Initialize();
}

int32_t CKelvraU3G5Base::CreateSensorForProduct(uint32_t number, int row) {
    const ProductSensorRow& sensorRow = SensorRowForProduct(productId);
    uint16_t chipVersion = 0;
    if (sensorRow.productId == kProductMT9F) {
        const uint8_t versionRegister[2] = {0, 0};
        uint8_t version[2] = {0, 0};
        // A lost write shows in the read that follows, and that read decides.
        static_cast<void>(controller->I2cWrite(kChipVersionAddress, versionRegister, 2, kI2cTimeoutMs));
        if (!controller->I2cRead(kChipVersionAddress | 1, version, 2, kI2cTimeoutMs)) return 0;
        chipVersion = static_cast<uint16_t>(version[0] << 8 | version[1]);
    }
    CControllerBase* registers = controller.get();
    sensor.reset(SensorFactoryFor(sensorRow, chipVersion)(registers, sensorRow.serialAddress));
    if (!sensor) return 0;
    // Sessions of the process that open this same camera talk to its head one at a time.
    sensor->SetDevicePath(controller->DeviceEntry(row).devicePath);
    // A driver that refuses its variant still runs as the family's base model.
    if (sensorRow.variantCode != 0 && !sensor->SetVariant(sensorRow.variantCode))
        DebugLog(LogCategory::Device, "variant %d refused by the driver", sensorRow.variantCode);
    deviceNumber = number;
    return 1;
}

int32_t CKelvraU3G5Base::OpenDevice(uint32_t number) {
    if (!controller || productId == kNoProductId) return 0;
    {
        CriticalSectionGuard hold(ClassLock());
        if (controller->EnumerateDevices() == 0) return 0;
        if (!IsDevicePresent(number)) return 0;
        const int row = controller->FindDeviceRow(productId & 0xFFFF, static_cast<int>(number));
        if (controller->SelectDevice(row)) {
            // The old driver goes only once the new camera is open, so a failed switch keeps it.
            sensor.reset();
            if (!CreateSensorForProduct(number, row)) return 0;
        }
    }
    geometryDirty = 1;
    return InitializeSensor();
}

const ProductRules& CKelvraU3G5Base::Rules() const { return RulesForProduct(productId); }

int32_t CKelvraU3G5Base::ReopenDevice(uint32_t number) {
    StopStreaming();
    return OpenDevice(number) ? 0 : -1;
}

int32_t CKelvraU3G5Base::CloseDevice() {
    StopStreaming();
    if (Rules().powersDownOnClose) {
        // Closing goes on whatever the camera answers: a camera already gone cannot be powered down.
        int failed = 0;
        if (sensor) {
            failed += !sensor->WriteRegister(0, 3);
            failed += !sensor->WriteRegister(0x8000, 3);
        }
        if (controller) {
            failed += !controller->WriteFpgaRegister(fpga::kOutputEnable, 0);
            for (uint8_t reg : fpga::kPowerDownOrder) {
                Sleep(1);
                failed += !controller->WriteFpgaRegister(reg, 0);
            }
        }
        if (failed != 0) DebugLog(LogCategory::Device, "power-down on close: %d writes failed", failed);
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

int32_t CKelvraU3G5Base::IsSingleTransferModel() { return Rules().singleTransfer ? 1 : 0; }
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
