#include "session/CKelvra.h"

#include "device/CKelvraUSB3G5SimpleSdk.h"
#include "imaging/DibImage.h"
#include "session/SettingsStore.h"

#include <cstring>
#include <new>

namespace {

// The device-interface class of the camera's USB driver.
constexpr GUID kCameraInterfaceClass = {0x328184C5, 0x93E6, 0x49B7, {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};

// A white level of 8191 makes the flat-field correction scale 16-bit samples to the camera's
// 13-bit range.
constexpr uint16_t kWhiteLevel16 = 8191;

void FillImage(DibImage* image, uint16_t sample) {
    for (int32_t row = 0; row < image->height; ++row) {
        BYTE* line = image->bits + static_cast<size_t>(row) * static_cast<size_t>(image->stride);
        if (image->bitsPerPixel == 8) {
            std::memset(line, sample & 0xFF, static_cast<size_t>(image->width));
            continue;
        }
        for (int32_t column = 0; column < image->width; ++column) {
            line[2 * column] = static_cast<BYTE>(sample & 0xFF);
            line[2 * column + 1] = static_cast<BYTE>(sample >> 8);
        }
    }
}

}  // namespace

CKelvra::CKelvra() : rateTimer(timeGetTime()) {
    InitializeCriticalSection(&frameLock);
    InitializeCriticalSection(&imageLock);
}

CKelvra::~CKelvra() {
    // A session that never selected a camera holds no camera settings worth keeping; saving its
    // defaults would overwrite what camera 0 stored.
    if (settingsLoaded) SettingsStore::SaveGroups(*this, deviceNumber);
    if (deviceNotification) UnregisterDeviceNotification(deviceNotification);
    DestroyDevice();
    DestroyImages();
    DeleteCriticalSection(&imageLock);
    DeleteCriticalSection(&frameLock);
}

std::array<DibImage**, CKelvra::kImageCount> CKelvra::ImageSlots() {
    return {&raw8,   &raw16,  &rgb24,   &rgb32,    &rgb48,   &rgb64,     &filterCopy,  &display,     &dark8,
            &white8, &dark16, &white16, &hotMap8,  &deadMap8, &hotMap16, &deadMap16,   &defectWork8, &defectWork16};
}

void CKelvra::DestroyDevice() {
    if (!device) return;
    device->CloseDevice();
    delete device;
    device = nullptr;
}

void CKelvra::DestroyImages() {
    for (DibImage** slot : ImageSlots()) {
        if (!*slot) continue;
        DestroyImage(*slot);
        delete *slot;
        *slot = nullptr;
    }
}

bool CKelvra::CreateCalibrationImages() {
    struct Plane {
        DibImage* image;
        uint16_t bitsPerPixel;
        uint16_t fill;
    };
    const Plane planes[] = {{dark8, 8, 0},       {white8, 8, 0xFF},     {dark16, 16, 0},    {white16, 16, kWhiteLevel16},
                            {hotMap8, 8, 0},     {deadMap8, 8, 0},      {hotMap16, 16, 0},  {deadMap16, 16, 0},
                            {defectWork8, 8, 0}, {defectWork16, 16, 0}};
    for (const Plane& plane : planes) {
        if (!CreateImage(plane.image, kSensorWidth, kSensorHeight, plane.bitsPerPixel)) return false;
    }
    for (const Plane& plane : planes) FillImage(plane.image, plane.fill);
    return true;
}

bool CKelvra::Initialize(HWND window) {
    // Initialising twice replaces everything the first time made.
    DestroyDevice();
    DestroyImages();
    if (deviceNotification) {
        UnregisterDeviceNotification(deviceNotification);
        deviceNotification = nullptr;
    }

    device = new (std::nothrow) CKelvraUSB3G5SimpleSdk();
    bool imagesMade = true;
    for (DibImage** slot : ImageSlots()) {
        *slot = new (std::nothrow) DibImage;
        if (*slot) {
            InitImage(*slot);
        } else {
            imagesMade = false;
        }
    }
    notifyWindow = window;

    if (window) {
        DEV_BROADCAST_DEVICEINTERFACE_A filter{};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = kCameraInterfaceClass;
        deviceNotification = RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        if (!deviceNotification) return false;
    }
    if (!device || !imagesMade) {
        RecordError(KELVRA_ERR_MEMORY);
        return false;
    }
    if (!CreateCalibrationImages()) return false;

    SettingsStore::LoadFormat(*this);
    device->SetProductId(kProductId);
    static_cast<void>(device->CreateController(window, &kCameraInterfaceClass));
    // The only camera is selected by whatever number it has: an earlier camera may have been
    // unplugged and kept number 0.
    if (device->CountDevices(kProductId) == 1) SetDeviceNumber(NextPresentDevice(0));
    SettingsStore::LoadGroups(*this, deviceNumber);
    return true;
}

int32_t CKelvra::NextPresentDevice(int32_t first) {
    const int32_t limit = device->GetMaxDevices();
    for (int32_t number = first < 0 ? 0 : first; number < limit; ++number) {
        if (device->IsDevicePresent(static_cast<uint32_t>(number))) return number;
    }
    return -1;
}

bool CKelvra::SetDeviceNumber(int32_t number) {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    if (settingsLoaded) SettingsStore::SaveGroups(*this, deviceNumber);
    settingsLoaded = 1;
    if (number < 0 || !device->IsDevicePresent(static_cast<uint32_t>(number)) ||
        !device->OpenDevice(static_cast<uint32_t>(number))) {
        RecordError(KELVRA_ERR_NO_DEVICE);
        return false;
    }
    SettingsStore::LoadGroups(*this, number);
    ApplyCameraSettings();
    deviceNumber = number;
    return true;
}

void CKelvra::ApplyCameraSettings() {
    static_cast<void>(device->SetGlobalGain(globalGain));
    static_cast<void>(device->SetColorGainGreen1(colourGainGreen1));
    static_cast<void>(device->SetColorGainRed(colourGainRed));
    static_cast<void>(device->SetColorGainBlue(colourGainBlue));
    static_cast<void>(device->SetColorGainGreen2(colourGainGreen2));
    if (device->HasRealExposure()) {
        static_cast<void>(device->SetRealExposure(exposureMs / 1000.0));
    } else {
        static_cast<void>(device->SetExposureTime(exposureLines & 0xFFFF));
    }
    static_cast<void>(device->SetMirrorV(mirrorV));
    static_cast<void>(device->SetMirrorH(mirrorH));
    if (device->HasAuxLevel()) static_cast<void>(device->SetAuxLevel(blackLevel));
    if (device->HasPeltier()) {
        static_cast<void>(device->SetPeltier(1));
        peltierOn = 1;
    }
    if (device->HasFeatureSwitch()) {
        static_cast<void>(device->SetFeatureSwitch(0));
        switch105 = 0;
    }
    if (device->HasModeValue()) static_cast<void>(device->SetModeValue(gainMode));
}

void CKelvra::RecordError(int32_t code) {
    errorHistory.Push(code);
    if (notifyWindow) PostMessageA(notifyWindow, WM_CAMERA_ERROR, 0, code);
}

void CKelvra::PostError(int32_t code) { PostMessageA(notifyWindow, WM_CAMERA_ERROR, 0, code); }

int32_t CKelvra::PopLastError() { return errorHistory.Pop(); }
