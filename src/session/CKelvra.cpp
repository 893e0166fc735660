#include "session/CKelvra.h"

#include "common/DebugLog.h"
#include "device/CKelvraUSB3G5SimpleSdk.h"
#include "sensors/SensorBase.h"

#include <new>

namespace {

// The device-interface class of the camera's USB driver.
constexpr GUID kCameraInterfaceClass = {0x328184C5, 0x93E6, 0x49B7, {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};

}  // namespace

CKelvra::CKelvra() { acquisition.rateTimer = timeGetTime(); }

CKelvra::~CKelvra() {
    // The worker reads the stream and draws into the window: it ends before either goes.
    if (device) StopPreview();
    preview.Destroy();
    // A session that never selected a camera holds no camera settings worth keeping; saving its
    // defaults would overwrite what camera 0 stored.
    if (settingsLoaded) SettingsStore::SaveGroups(*this, deviceNumber);
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

    SettingsStore::LoadFormat(*this, deviceNumber);
    if (!device->SetProductId(kProductId) || !device->CreateController(window, &kCameraInterfaceClass)) {
        DebugLog(LogCategory::Session, "the USB controller could not be made");
        RecordError(KELVRA_ERR_MEMORY);
        return false;
    }
    // The only camera is selected by whatever number it has: an earlier camera may have been
    // unplugged and kept number 0. Its failure is already in the history.
    if (device->CountDevices(kProductId) == 1) static_cast<void>(SetDeviceNumber(NextPresentDevice(0)));
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
    if (!ApplyCameraSettings()) {
        // The camera went while its settings were sent: nothing is selected, and the session goes
        // back to the settings of the camera number it had, which are saved under that number.
        SettingsStore::LoadGroups(*this, deviceNumber);
        RecordError(KELVRA_ERR_NO_DEVICE);
        return false;
    }
    deviceNumber = number;
    return true;
}

bool CKelvra::ApplyCameraSettings() {
    // The device answers 0 both for a value the camera refused and for a control it does not have
    // (the 880HQLN has neither colour gains nor mirrors): only the controls the sensor offers are
    // sent, so that every 0 left is a refusal worth recording.
    SensorParameters offered{};
    if (!device->GetSensorParameters(&offered))
        DebugLog(LogCategory::Session, "no sensor parameters: no settings sent");

    const CommandSequence sequence(*device);

    bool cameraGone = false;
    const auto apply = [&](const char* setting, bool offeredHere, auto send) {
        if (!offeredHere || cameraGone) return;
        if (send()) return;
        // A bridge that failed means the camera is gone: the rest would fail the same way.
        if (device->LastAnswerLoss() == AnswerLoss::kLinkFailed) {
            cameraGone = true;
            return;
        }
        DebugLog(LogCategory::Session, "the camera did not take the stored %s", setting);
        RecordError(KELVRA_ERR_CAMERA_IO);
    };
    apply("gain", offered.gainSupported, [&] { return device->SetGlobalGain(camera.globalGain); });
    apply("green 1 gain", offered.green1GainSupported,
          [&] { return device->SetColorGainGreen1(camera.colourGainGreen1); });
    apply("red gain", offered.redGainSupported, [&] { return device->SetColorGainRed(camera.colourGainRed); });
    apply("blue gain", offered.blueGainSupported, [&] { return device->SetColorGainBlue(camera.colourGainBlue); });
    apply("green 2 gain", offered.green2GainSupported,
          [&] { return device->SetColorGainGreen2(camera.colourGainGreen2); });
    if (device->HasRealExposure()) {
        apply("exposure", true, [&] { return device->SetRealExposure(camera.exposureMs / 1000.0); });
    } else {
        apply("exposure", offered.exposureSupported, [&] { return device->SetExposureTime(camera.exposureLines); });
    }
    // The device's vertical mirror is the sensor's horizontal one and the other way round.
    apply("vertical mirror", offered.mirrorHSupported, [&] { return device->SetMirrorV(camera.mirrorV); });
    apply("horizontal mirror", offered.mirrorVSupported, [&] { return device->SetMirrorH(camera.mirrorH); });
    if (device->HasAuxLevel()) apply("black level", true, [&] { return device->SetAuxLevel(camera.blackLevel); });
    if (device->HasPeltier()) {
        apply("cooler switch", true, [&] { return device->SetPeltier(1); });
        camera.peltierOn = 1;
    }
    if (device->HasFeatureSwitch()) {
        apply("device switch", true, [&] { return device->SetFeatureSwitch(0); });
        camera.switch105 = 0;
    }
    if (device->HasModeValue()) apply("gain mode", true, [&] { return device->SetModeValue(camera.gainMode); });
    return !cameraGone;
}

void CKelvra::RecordError(int32_t code) {
    errorHistory.Push(code);
    if (notifyWindow) PostMessageA(notifyWindow, WM_CAMERA_ERROR, 0, code);
}

void CKelvra::PostError(int32_t code) { PostMessageA(notifyWindow, WM_CAMERA_ERROR, 0, code); }

int32_t CKelvra::PopLastError() { return errorHistory.Pop(); }
