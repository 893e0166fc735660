#include "sensors/ChipAccess.h"

#include "sensors/SensorBase.h"
#include "usb/CControllerBase.h"

#include <atomic>

namespace chip {

namespace {

std::atomic<DWORD> defaultSyncLimitMs{VideoSyncWait::kTimeLimitMs};

bool FpgaIdle(CControllerBase* controller) {
    uint8_t busy = 0xFF;
    return controller->ReadFpgaRegister(VerifiedAccess::kBusyRegister, &busy) && busy == 0;
}

}  // namespace

int ValueBytes(RegisterFormat format) { return format == RegisterFormat::kAddress16Value16 ? 2 : 1; }

int32_t WriteRegister(CControllerBase* controller, uint8_t serialAddress, RegisterFormat format, uint32_t reg,
                      uint32_t value) {
    if (controller == nullptr) return 0;
    uint8_t bytes[4] = {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg)};
    int count = 2;
    if (format == RegisterFormat::kAddress16Value16) bytes[count++] = static_cast<uint8_t>(value >> 8);
    bytes[count++] = static_cast<uint8_t>(value);
    return controller->I2cWrite(serialAddress, bytes, count, kI2cTimeoutMs) ? 1 : 0;
}

int32_t ReadRegister(CControllerBase* controller, uint8_t serialAddress, RegisterFormat format, uint32_t reg,
                     uint32_t* value) {
    if (controller == nullptr || value == nullptr) return 0;
    const uint8_t address[2] = {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg)};
    if (!controller->I2cWrite(serialAddress, address, 2, kI2cTimeoutMs)) return 0;
    uint8_t answer[2] = {0, 0};
    const int count = ValueBytes(format);
    if (!controller->I2cRead(static_cast<uint8_t>(serialAddress | 1), answer, count, kI2cTimeoutMs)) return 0;
    *value = count == 2 ? static_cast<uint32_t>(answer[0] << 8 | answer[1]) : answer[0];
    return 1;
}

int32_t VerifiedAccess::Write(CSensorBase& sensor, uint32_t reg, uint32_t value) {
    CControllerBase* controller = sensor.Controller();
    if (controller == nullptr) return 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0) Sleep(kRetryPauseMs);
        if (!FpgaIdle(controller)) continue;
        uint32_t readBack = ~value;
        if (sensor.WriteRegister(reg, value) && sensor.ReadRegister(reg, &readBack) && readBack == value) return 1;
    }
    return 0;
}

int32_t VerifiedAccess::Read(CSensorBase& sensor, uint32_t reg, uint32_t* value) {
    CControllerBase* controller = sensor.Controller();
    if (controller == nullptr || value == nullptr) return 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0) Sleep(kRetryPauseMs);
        if (FpgaIdle(controller) && sensor.ReadRegister(reg, value)) return 1;
    }
    return 0;
}

int32_t VideoSyncWait::Run(CControllerBase* controller, DWORD limitMs) {
    auto running = [controller] {
        uint8_t status = 0;
        return controller->ReadFpgaRegister(kStatusRegister, &status) && (status & kReadyBit) != 0;
    };
    if (controller == nullptr) return 0;
    if (running()) {
        OutputDebugStringA("::SerReset:: VD is ready.\n");
        return 1;
    }
    // A lost pulse write shows as a sync that never starts, which the wait below reports.
    static_cast<void>(controller->WriteFpgaRegister(kStatusRegister, 1));
    Sleep(kResetPulseMs);
    static_cast<void>(controller->WriteFpgaRegister(kStatusRegister, 0));
    Sleep(kResetPulseMs);
    const DWORD start = timeGetTime();
    for (;;) {
        if (running()) {
            OutputDebugStringA("::SerReset:: VD is ready.\n");
            return 1;
        }
        if (timeGetTime() - start >= limitMs) break;
        Sleep(kPollPauseMs);
    }
    OutputDebugStringA("::SerReset:: failure.\n");
    return 0;
}

void VideoSyncWait::SetDefaultTimeLimit(DWORD milliseconds) { defaultSyncLimitMs.store(milliseconds); }
DWORD VideoSyncWait::DefaultTimeLimit() { return defaultSyncLimitMs.load(); }

}  // namespace chip
