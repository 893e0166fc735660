#include "CameraSession.h"

#include "ErrorText.h"
#include "kelvra/KelvraSdk.h"
#include "kelvra/KelvraSim.h"

#include <ostream>

namespace {

constexpr unsigned short kCameraProductId = 0x3180;
// Device numbers run below the size of the SDK's device table.
constexpr int32_t kDeviceNumberLimit = 32;

int32_t CountCameras(int32_t handle) {
    char names[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE];
    return Kelvra_EnumDevice(handle, names);
}

}  // namespace

CameraSession::CameraSession(std::ostream& out, std::ostream& err) {
    handle = Kelvra_Initialize(nullptr);
    if (handle != 0 && CountCameras(handle) == 0) {
        // A fresh session finds the simulated camera and selects it as it would a real one.
        Kelvra_Release(handle);
        handle = 0;
        if (KelvraSim_Attach(kCameraProductId) == 0) {
            err << "kelvra: no camera attached, and no simulated camera could be attached\n";
            return;
        }
        simulated = true;
        out << "No camera attached: using a simulated 880HQLN camera.\n";
        handle = Kelvra_Initialize(nullptr);
    }
    if (handle == 0) err << "kelvra: the camera SDK could not start a session\n";
}

CameraSession::~CameraSession() {
    if (handle != 0) Kelvra_Release(handle);
    if (simulated) KelvraSim_Reset();
}

std::vector<CameraEntry> CameraSession::Cameras() {
    char names[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE];
    const int32_t listed = Kelvra_EnumDevice(handle, names);
    // The names come in device-number order; the numbers are found by asking for each one.
    std::vector<CameraEntry> cameras;
    char probe[KELVRA_DEVICE_NAME_SIZE];
    for (int32_t number = 0; number < kDeviceNumberLimit && static_cast<int32_t>(cameras.size()) < listed; ++number) {
        if (Kelvra_GetDeviceName(handle, number, probe, sizeof probe)) {
            cameras.push_back(CameraEntry{number, names[cameras.size()]});
        } else {
            Kelvra_GetLastError(handle);  // the absent number's refusal is expected
        }
    }
    return cameras;
}

std::string CameraSession::LastError() { return DescribeError(Kelvra_GetLastError(handle)); }
