#include "session/CKelvra.h"

#include "common/DebugLog.h"
#include "device/CKelvraUSB3G5SimpleSdk.h"

#include <new>

namespace {

// The device-interface class of the camera's USB driver.
constexpr GUID kCameraInterfaceClass = {0x328184C5, 0x93E6, 0x49B7, {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};

}  // namespace

CKelvra::CKelvra() { acquisition.rateTimer = timeGetTime(); }

CKelvra::~CKelvra() {
    // A session that never selected a camera holds no camera settings worth keeping; saving its
    // defaults would overwrite what camera 0 stored.
    if (settingsLoaded) settings.SaveGroups(*this, deviceNumber);
    if (deviceNotification) UnregisterDeviceNotification(deviceNotification);
    DestroyDevice();
    images.ReleaseAll();
}

void CKelvra::DestroyDevice() {
    if (!device) return;
    // Closing stops the stream and drops the sensor; a camera that no longer answers cannot refuse
    // to be let go, so there is nothing to report.
    static_cast<void>(device->CloseDevice());
    device.reset();
}

bool CKelvra::Initialize(HWND window) {
    // Initialising twice replaces everything the first time made.
    DestroyDevice();
    images.ReleaseAll();
    if (deviceNotification) {
        UnregisterDeviceNotification(deviceNotification);
        deviceNotification = nullptr;
    }

    device.reset(new (std::nothrow) CKelvraUSB3G5SimpleSdk());
    const bool imagesMade = images.MakeAll();
    // A handle that is not a window cannot be told anything: the session goes on as if it had
    // been given none, and the history says why no message will come.
    const bool notWindow = window != nullptr && !IsWindow(window);
    if (notWindow) window = nullptr;
    notifyWindow = window;
    if (notWindow) RecordError(KELVRA_ERR_WINDOW);

    if (window) {
        DEV_BROADCAST_DEVICEINTERFACE_A filter{};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = kCameraInterfaceClass;
        deviceNotification = RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        if (!deviceNotification) {
            // The window still hears about errors and frames; only plugging and unplugging will
            // not reach it.
            DebugLog(LogCategory::Session, "window %p cannot hear device changes (error %lu)",
                     static_cast<void*>(window), static_cast<unsigned long>(GetLastError()));
            RecordError(KELVRA_ERR_WINDOW);
        }
    }
    if (!device || !imagesMade || !images.CreateCalibrationPlanes(kSensorWidth, kSensorHeight)) {
        RecordError(KELVRA_ERR_MEMORY);
        return false;
    }

    SettingsStore::LoadFormat(*this);
    if (!device->SetProductId(kProductId) || !device->CreateController(window, &kCameraInterfaceClass)) {
        DebugLog(LogCategory::Session, "the USB controller could not be made");
        RecordError(KELVRA_ERR_MEMORY);
        return false;
    }
    // The only camera is selected by whatever number it has: an earlier camera may have been
    // unplugged and kept number 0. Its failure is already in the history.
    if (device->CountDevices(kProductId) == 1) static_cast<void>(SetDeviceNumber(NextPresentDevice(0)));
    settings.LoadGroups(*this, deviceNumber);
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
    if (settingsLoaded) settings.SaveGroups(*this, deviceNumber);
    settingsLoaded = 1;
    if (number < 0 || !device->IsDevicePresent(static_cast<uint32_t>(number)) ||
        !device->OpenDevice(static_cast<uint32_t>(number))) {
        RecordError(KELVRA_ERR_NO_DEVICE);
        return false;
    }
    settings.LoadGroups(*this, number);
    ApplyCameraSettings();
    deviceNumber = number;
    return true;
}

void CKelvra::ApplyCameraSettings() {
    // The device answers 0 both for a value it refused and for a control this camera does not
    // have (the 880HQLN has neither colour gains nor mirrors), so a zero here is no fault to
    // report: the camera keeps its own value, and the debug log says which setting did not take.
    const auto apply = [](const char* setting, int32_t result) {
        if (!result) DebugLog(LogCategory::Session, "the camera did not take the stored %s", setting);
    };
    apply("gain", device->SetGlobalGain(camera.globalGain));
    apply("green 1 gain", device->SetColorGainGreen1(camera.colourGainGreen1));
    apply("red gain", device->SetColorGainRed(camera.colourGainRed));
    apply("blue gain", device->SetColorGainBlue(camera.colourGainBlue));
    apply("green 2 gain", device->SetColorGainGreen2(camera.colourGainGreen2));
    if (device->HasRealExposure()) {
        apply("exposure", device->SetRealExposure(camera.exposureMs / 1000.0));
    } else {
        apply("exposure", device->SetExposureTime(camera.exposureLines & 0xFFFF));
    }
    apply("vertical mirror", device->SetMirrorV(camera.mirrorV));
    apply("horizontal mirror", device->SetMirrorH(camera.mirrorH));
    if (device->HasAuxLevel()) apply("black level", device->SetAuxLevel(camera.blackLevel));
    if (device->HasPeltier()) {
        apply("cooler switch", device->SetPeltier(1));
        camera.peltierOn = 1;
    }
    if (device->HasFeatureSwitch()) {
        apply("device switch", device->SetFeatureSwitch(0));
        camera.switch105 = 0;
    }
    if (device->HasModeValue()) apply("gain mode", device->SetModeValue(camera.gainMode));
}

void CKelvra::RecordError(int32_t code) {
    errorHistory.Push(code);
    if (notifyWindow) PostMessageA(notifyWindow, WM_CAMERA_ERROR, 0, code);
}

void CKelvra::PostError(int32_t code) { PostMessageA(notifyWindow, WM_CAMERA_ERROR, 0, code); }

int32_t CKelvra::PopLastError() { return errorHistory.Pop(); }
