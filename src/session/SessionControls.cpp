// The camera controls a session offers beside the numbered settings: the output format, the
// exposure in milliseconds and in the hundredths of the camera's unit, the temperature, the
// mirrors, the automatic exposure mode, the correction switch, and raw access to the camera's
// registers, I/O port and SROM.
#include "device/CKelvraUSB3G5SimpleSdk.h"
#include "session/CKelvra.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int32_t kBitsByColourMode[6] = {8, 16, 24, 32, 48, 64};
constexpr uint32_t kIoPortRegister = 7;
constexpr int kSromVerifyAttempts = 10;

// Milliseconds the camera can be given: finite and, truncated, within int32.
bool RepresentableMs(double ms) {
    return std::isfinite(ms) && ms >= 0.0 && ms < static_cast<double>(std::numeric_limits<int32_t>::max());
}

}  // namespace

bool CKelvra::SetColorMode(int32_t bits) {
    // Only 16-bit grey is offered for this camera.
    if (bits != 16) {
        RecordError(KELVRA_ERR_PARAMETER);
        return false;
    }
    // A running worker's images are made for the mode it started with.
    const int32_t state = acquisition.acquisitionState.load();
    if (format.colourMode != 1 && (state == 1 || state == 3)) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    format.colourMode = 1;
    return true;
}

int32_t CKelvra::GetColorMode() const {
    return format.colourMode >= 0 && format.colourMode <= 5 ? kBitsByColourMode[format.colourMode] : -1;
}

bool CKelvra::SetSubSample(int32_t code) {
    // Subsampling is not offered: only "none" is taken, and a refusal is not an error.
    if (code != 0) return false;
    format.subSample = 0;
    return true;
}

bool CKelvra::SetWaitTime(int32_t ms) {
    if (ms < 0) return false;
    format.waitTime.store(ms);
    return true;
}

int32_t CKelvra::SetSamplingRate(int32_t rate) {
    if (!device) return 0;
    return device->SetSamplingRate(0, rate, nullptr);
}

void CKelvra::RefreshExposureMs() {
    double seconds = 0.0;
    if (device->HasRealExposure() && device->GetRealExposure(&seconds)) camera.exposureMs = seconds * 1000.0;
}

bool CKelvra::SetExposureTimeEx(double ms) {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    if (!device->HasRealExposure()) {
        RecordError(KELVRA_ERR_UNSUPPORTED);
        return false;
    }
    // The lines are the whole milliseconds times 10000: a value they cannot hold is refused
    // before the camera is asked.
    if (!RepresentableMs(ms) || std::trunc(ms) * 10000.0 > std::numeric_limits<int32_t>::max()) {
        RecordError(KELVRA_ERR_PARAMETER);
        return false;
    }
    if (!device->SetRealExposure(ms / 1000.0)) return false;
    CriticalSectionGuard frames(acquisition.frameLock);
    camera.exposureMs = ms;
    camera.exposureLines = static_cast<int32_t>(std::trunc(ms)) * 10000;
    return true;
}

double CKelvra::GetExposureTimeEx(int32_t* ok) {
    if (ok) *ok = 0;
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return -1.0;
    }
    if (!device->HasRealExposure()) {
        RecordError(KELVRA_ERR_UNSUPPORTED);
        return -1.0;
    }
    double seconds = 0.0;
    if (!device->GetRealExposure(&seconds)) return -1.0;
    CriticalSectionGuard frames(acquisition.frameLock);
    camera.exposureMs = seconds * 1000.0;
    if (ok) *ok = 1;
    return camera.exposureMs;
}

bool CKelvra::SetRealExposureTime(int32_t value) {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    const int32_t lines = value / 100;
    if (lines < device->GetExposureTimeMin() || lines > device->GetExposureTimeMax() ||
        !device->SetExposureTime(lines)) {
        RecordError(KELVRA_ERR_PARAMETER);
        return false;
    }
    CriticalSectionGuard frames(acquisition.frameLock);
    camera.exposureLines = lines;
    RefreshExposureMs();
    return true;
}

int32_t CKelvra::GetRealExposureTime(int32_t* ok) {
    CriticalSectionGuard frames(acquisition.frameLock);
    // Lines as large as the milliseconds setter makes them would overflow when multiplied.
    const int64_t real = static_cast<int64_t>(camera.exposureLines) * 100;
    camera.realExposure = static_cast<int32_t>(
        std::clamp<int64_t>(real, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    if (ok) *ok = 1;
    return camera.realExposure;
}

double CKelvra::GetTemperatureEx(int32_t* ok) {
    if (ok) *ok = 0;
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return 0.0;
    }
    if (!device->HasTemperature()) {
        RecordError(KELVRA_ERR_UNSUPPORTED);
        return 0.0;
    }
    double degrees = 0.0;
    if (!device->GetTemperature(&degrees)) {
        RecordError(KELVRA_ERR_FAILED);
        return 0.0;
    }
    RecordError(KELVRA_ERR_NONE);
    if (ok) *ok = 1;
    return degrees;
}

bool CKelvra::SetMirror(bool horizontal, int32_t flag) {
    if (!device) {
        if (horizontal) {
            RecordError(KELVRA_ERR_NOT_READY);
        } else {
            PostError(KELVRA_ERR_NOT_READY);
        }
        return false;
    }
    const int32_t on = flag != 0 ? 1 : 0;
    // A camera without a mirror of its own answers 0: the frame pipeline then mirrors in software.
    static_cast<void>(horizontal ? device->SetMirrorH(on) : device->SetMirrorV(on));
    CriticalSectionGuard frames(acquisition.frameLock);
    (horizontal ? camera.mirrorH : camera.mirrorV) = on;
    return true;
}

int32_t CKelvra::GetMirror(bool horizontal) {
    if (!device) {
        if (horizontal) {
            RecordError(KELVRA_ERR_NOT_READY);
        } else {
            PostError(KELVRA_ERR_NOT_READY);
        }
        return 0;
    }
    CriticalSectionGuard frames(acquisition.frameLock);
    return horizontal ? camera.mirrorH : camera.mirrorV;
}

bool CKelvra::SetAutoIris(int32_t mode) {
    if (mode < 0 || mode > 2) {
        PostError(KELVRA_ERR_PARAMETER);
        return false;
    }
    CriticalSectionGuard frames(acquisition.frameLock);
    camera.autoIris = mode;
    return true;
}

int32_t CKelvra::GetAutoIris(int32_t* ok) {
    if (ok) *ok = 1;
    CriticalSectionGuard frames(acquisition.frameLock);
    return camera.autoIris;
}

bool CKelvra::SetConfigFilter(int32_t flag) {
    if (flag != 0 && flag != 1) {
        RecordError(KELVRA_ERR_PARAMETER);
        return false;
    }
    CriticalSectionGuard frames(acquisition.frameLock);
    corrections.configFilter = flag;
    return true;
}

int32_t CKelvra::GetConfigFilter() {
    CriticalSectionGuard frames(acquisition.frameLock);
    return corrections.configFilter;
}

INT_PTR CKelvra::ReadRegister(uint32_t address, int32_t* ok) {
    if (ok) *ok = 0;
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return 0;
    }
    int32_t succeeded = 0;
    const int32_t value = device->ReadSensorRegister(address, &succeeded);
    if (!succeeded) {
        RecordError(KELVRA_ERR_CAMERA_IO);
        return 0;
    }
    if (ok) *ok = 1;
    return value;
}

bool CKelvra::WriteRegister(uint32_t address, uint32_t value) {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    if (device->WriteSensorRegister(address, value)) return true;
    RecordError(KELVRA_ERR_CAMERA_IO);
    return false;
}

int32_t CKelvra::ReadFpgaRegister(uint32_t address, int32_t* ok) {
    if (ok) *ok = 0;
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return 0;
    }
    int32_t succeeded = 0;
    const int32_t value = device->ReadFpgaRegister(address & 0xFF, &succeeded);
    if (!succeeded) {
        RecordError(KELVRA_ERR_CAMERA_IO);
        return 0;
    }
    if (ok) *ok = 1;
    return value & 0xFFFF;
}

bool CKelvra::WriteFpgaRegister(uint32_t address, uint32_t value) {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    if (device->WriteFpgaRegister(address & 0xFF, value & 0xFFFF)) return true;
    RecordError(KELVRA_ERR_CAMERA_IO);
    return false;
}

bool CKelvra::GetIoPort(BYTE* value) {
    if (!device) {
        PostError(KELVRA_ERR_NOT_READY);
        return false;
    }
    int32_t succeeded = 0;
    const int32_t port = value ? device->ReadFpgaRegister(kIoPortRegister, &succeeded) : 0;
    if (!succeeded) {
        PostError(KELVRA_ERR_PARAMETER);
        return false;
    }
    *value = static_cast<BYTE>(port);
    return true;
}

int32_t CKelvra::SetIoPort(int32_t value) {
    if (!device) {
        PostError(KELVRA_ERR_NOT_READY);
        return 0;
    }
    return device->WriteFpgaRegister(kIoPortRegister, static_cast<uint32_t>(value) & 0xFF);
}

int32_t CKelvra::ReadSromId(int32_t address, int32_t* ok) {
    if (ok) *ok = 0;
    uint8_t byte = 0;
    if (!device || !device->ReadSromId(static_cast<uint16_t>(address & 0xFFF), &byte)) {
        PostError(KELVRA_ERR_NOT_READY);
        return 0;
    }
    if (ok) *ok = 1;
    return byte;
}

bool CKelvra::WriteSromId(int32_t address, int32_t value) {
    const uint16_t at = static_cast<uint16_t>(address & 0xFFF);
    const uint8_t byte = static_cast<uint8_t>(value & 0xFF);
    if (!device || !device->WriteSromId(at, byte)) {
        PostError(KELVRA_ERR_NOT_READY);
        return false;
    }
    // The EEPROM may miss a write: it is read back and written again until it holds the byte.
    // A read-back that fails says nothing about what the EEPROM holds, so it ends the attempt.
    for (int attempt = 0; attempt < kSromVerifyAttempts; ++attempt) {
        uint8_t stored = 0;
        if (!device->ReadSromId(at, &stored)) {
            PostError(KELVRA_ERR_NOT_READY);
            return false;
        }
        if (stored == byte) return true;
        if (!device->WriteSromId(at, byte)) break;
    }
    // Still not holding the byte after every attempt is a failed write, not a written one.
    PostError(KELVRA_ERR_NOT_READY);
    return false;
}
