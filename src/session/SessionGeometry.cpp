// Where the session's frames come from on the sensor and where its preview window goes.
#include "device/CKelvraUSB3G5SimpleSdk.h"
#include "session/CKelvra.h"

#include <optional>
#include <utility>

bool CKelvra::SetPreviewWindow(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    // The window itself is made by the next start of a mode.
    preview.SetPlacement(parent, RECT{x, y, width, height});
    return true;
}

bool CKelvra::GetCaptureWindowEx(int32_t* totalWidth, int32_t* xOffset, int32_t* width, int32_t* totalHeight,
                                 int32_t* yOffset, int32_t* height) const {
    const std::pair<int32_t*, int32_t> values[] = {{totalWidth, format.totalWidth}, {xOffset, format.xOffset},
                                                   {width, format.width},           {totalHeight, format.totalHeight},
                                                   {yOffset, format.yOffset},       {height, format.height}};
    for (const auto& [out, value] : values) {
        if (out) *out = value;
    }
    return true;
}

bool CKelvra::CaptureWindowChangeable() {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    // A preview or trigger worker reads frames into images made for the present window: a new
    // window would send it frames of another size. Stop it first.
    const int32_t state = acquisition.acquisitionState.load();
    if (state == 1 || state == 3) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    return true;
}

bool CKelvra::UseCaptureWindow() {
    // In capture state the next SnapShot takes frames of the new window into images of its size.
    if (acquisition.acquisitionState.load() == 2) return CaptureSetup();
    if (!device->SetVideoFormat(format.xOffset, format.yOffset, format.width, format.height, format.subSample)) {
        RecordError(KELVRA_ERR_SIZE);
        return false;
    }
    return true;
}

bool CKelvra::SetCaptureWindow(int32_t width, int32_t height) {
    if (!CaptureWindowChangeable()) return false;
    const std::optional<CaptureSize> stored = SettingsStore::FindCaptureSize(deviceNumber, width, height);
    if (!stored) {
        RecordError(KELVRA_ERR_WINDOW);
        return false;
    }
    CaptureSize size = *stored;
    const bool cameraTakesIt = (device->IsWidthAdjustable() || size.width == kSensorWidth) &&
                               (device->IsHeightAdjustable() || size.height == kSensorHeight);
    if (!SettingsStore::OnSensor(size) || !cameraTakesIt) {
        // The stored entry is of no use to this camera: it runs on the whole sensor instead.
        RecordError(KELVRA_ERR_SIZE);
        size = CaptureSize{kSensorWidth, kSensorHeight, kSensorWidth, kSensorHeight, 0, 0, format.bufferCount};
    }
    SettingsStore::UseCaptureSize(format, size);
    return UseCaptureWindow();
}

bool CKelvra::SetCaptureWindowEx(int32_t totalWidth, int32_t xOffset, int32_t width, int32_t totalHeight,
                                 int32_t yOffset, int32_t height) {
    if (!CaptureWindowChangeable()) return false;
    if ((!device->IsWidthAdjustable() && width != kSensorWidth) ||
        (!device->IsHeightAdjustable() && height != kSensorHeight)) {
        RecordError(KELVRA_ERR_PARAMETER);
        return false;
    }
    format.totalWidth = totalWidth;
    format.xOffset = xOffset;
    format.width = width;
    format.totalHeight = totalHeight;
    format.yOffset = yOffset;
    format.height = height;
    if (!CaptureWindowValid()) {
        RecordError(KELVRA_ERR_SIZE);
        return false;
    }
    return UseCaptureWindow();
}
