// The session's view of the attached cameras: their names and the selected camera's ranges.
#include "session/CKelvra.h"

#include "device/CKelvraUSB3G5SimpleSdk.h"

#include <cstdio>
#include <cwchar>

namespace {

// Wide strings go through this many characters, as every wide variant of the library does.
constexpr int kWideBufferSize = 1024;

void FormatDeviceName(char* name, size_t size, int32_t ordinal) {
    std::snprintf(name, size, "%s_%02d", CKelvra::kDeviceNameStem, static_cast<int>(ordinal));
}

}  // namespace

int32_t CKelvra::EnumDevice(char names[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE]) {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return 0;
    }
    if (!names) {
        RecordError(KELVRA_ERR_PARAMETER);
        return 0;
    }
    // Cameras are walked by device number, not by count: a camera unplugged earlier keeps its
    // number, and the ones after it must still be listed.
    const int32_t present = device->CountDevices(kProductId);
    int32_t listed = 0;
    for (int32_t number = NextPresentDevice(0); number >= 0 && listed < present && listed < KELVRA_ENUM_DEVICE_COUNT;
         number = NextPresentDevice(number + 1)) {
        ++listed;
        FormatDeviceName(names[listed - 1], KELVRA_DEVICE_NAME_SIZE, listed);
    }
    for (int32_t entry = listed; entry < KELVRA_ENUM_DEVICE_COUNT; ++entry) names[entry][0] = '\0';
    return listed;
}

int32_t CKelvra::EnumDeviceW(wchar_t names[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE]) {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return 0;
    }
    if (!names) {
        RecordError(KELVRA_ERR_PARAMETER);
        return 0;
    }
    char narrow[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE];
    const int32_t listed = EnumDevice(narrow);
    for (int32_t entry = 0; entry < KELVRA_ENUM_DEVICE_COUNT; ++entry) {
        names[entry][0] = L'\0';
        if (entry >= listed) continue;
        if (MultiByteToWideChar(CP_ACP, 0, narrow[entry], -1, names[entry], KELVRA_DEVICE_NAME_SIZE) <= 0) {
            RecordError(KELVRA_ERR_FAILED);
            names[entry][0] = L'\0';
        }
    }
    return listed;
}

bool CKelvra::GetDeviceName(int32_t index, char* name, int32_t size) {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    // The name never gets cut short: a buffer that cannot hold all of it is refused.
    if (!name || size < kDeviceNameSize) {
        RecordError(KELVRA_ERR_PARAMETER);
        return false;
    }
    if (index < 0 || index >= device->CountDevices(0) || !device->IsDevicePresent(static_cast<uint32_t>(index))) {
        RecordError(KELVRA_ERR_NO_DEVICE);
        return false;
    }
    FormatDeviceName(name, static_cast<size_t>(size), index + 1);
    return true;
}

bool CKelvra::GetDeviceNameW(int32_t index, wchar_t* name, int32_t size) {
    if (!name) {
        RecordError(KELVRA_ERR_PARAMETER);
        return false;
    }
    char narrow[KELVRA_DEVICE_NAME_SIZE];
    if (!GetDeviceName(index, narrow, sizeof narrow)) return false;
    wchar_t wide[kWideBufferSize];
    const int converted = MultiByteToWideChar(CP_THREAD_ACP, 0, narrow, -1, wide, kWideBufferSize);
    if (converted <= 0 || size < converted) {
        RecordError(KELVRA_ERR_FAILED);
        return false;
    }
    std::wmemcpy(name, wide, static_cast<size_t>(converted));
    return true;
}

bool CKelvra::GetCameraInfo(KelvraCameraInfo* info) {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    if (!info) {
        RecordError(KELVRA_ERR_PARAMETER);
        return false;
    }
    if (info->size < KELVRA_CAMERA_INFO_BASE_SIZE) {
        RecordError(KELVRA_ERR_MEMORY);
        return false;
    }
    info->sensorWidth = kSensorWidth;
    info->sensorHeight = kSensorHeight;
    info->gainMin = device->GetGlobalGainMin();
    info->gainMax = device->GetGlobalGainMax();
    info->colorGainMin = device->GetColorGainMin();
    info->colorGainMax = device->GetColorGainMax();
    info->exposureMin = device->GetExposureTimeMin();
    info->exposureMax = device->GetExposureTimeMax();
    // A shorter record ends before the doubles; nothing may be written past its declared size.
    if (info->size >= sizeof(KelvraCameraInfo)) {
        // A camera without exposures in seconds fails both and leaves them 0, which is what the
        // record then says.
        double minimumSeconds = 0.0;
        double maximumSeconds = 0.0;
        static_cast<void>(device->GetRealExposureMin(&minimumSeconds));
        static_cast<void>(device->GetRealExposureMax(&maximumSeconds));
        info->exposureMsMin = minimumSeconds * 1000.0;
        info->exposureMsMax = maximumSeconds * 1000.0;
    }
    return true;
}
