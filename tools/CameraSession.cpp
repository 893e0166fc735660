#include "CameraSession.h"

#include "ErrorText.h"
#include "kelvra/KelvraSdk.h"
#include "kelvra/KelvraSim.h"

#include <ostream>

namespace {

constexpr unsigned short kCameraProductId = 0x3180;
// A flat scene at a fifth of the 16-bit range; a ramp that climbs to near full scale across the
// sensor's 1280 columns without wrapping.
constexpr int kFlatLevel = 0x3000;
constexpr int kRampStep = 48;
// Device numbers run below the size of the SDK's device table.
constexpr int32_t kDeviceNumberLimit = 32;

int32_t CountCameras(int32_t handle) {
    char names[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE];
    return Kelvra_EnumDevice(handle, names);
}

}  // namespace

CameraSession::CameraSession(std::ostream& out, std::ostream& err, const SimulationOptions& simulation) {
    handle = Kelvra_Initialize(nullptr);
    if (handle != 0 && CountCameras(handle) == 0) {
        // A fresh session finds the simulated camera and selects it as it would a real one.
        Kelvra_Release(handle);
        handle = 0;
        simulatedCamera = KelvraSim_Attach(kCameraProductId);
        if (simulatedCamera == 0) {
            err << "kelvra: no camera attached, and no simulated camera could be attached\n";
            return;
        }
        if (simulation.scene >= 0) {
            const int level = simulation.scene == KELVRA_SIM_SCENE_FLAT ? kFlatLevel : kRampStep;
            KelvraSim_SetScene(simulatedCamera, simulation.scene, level);
        }
        if (simulation.framesPerSecond >= 0) KelvraSim_SetFrameRate(simulatedCamera, simulation.framesPerSecond);
        out << "No camera attached: using a simulated 880HQLN camera.\n";
        handle = Kelvra_Initialize(nullptr);
    }
    if (handle == 0) err << "kelvra: the camera SDK could not start a session\n";
}

CameraSession::~CameraSession() {
    if (handle != 0) Kelvra_Release(handle);
    if (simulatedCamera != 0) KelvraSim_Reset();
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

std::optional<CameraEntry> CameraSession::Select(std::optional<int32_t> number, std::ostream& err) {
    for (const CameraEntry& entry : Cameras()) {
        if (number && entry.deviceNumber != *number) continue;
        if (!Kelvra_SetDeviceNumber(handle, entry.deviceNumber)) {
            err << "kelvra: cannot open camera " << entry.deviceNumber << ": " << LastError() << '\n';
            return std::nullopt;
        }
        return entry;
    }
    if (number) {
        err << "kelvra: no camera with device number " << *number << " is attached\n";
    } else {
        err << "kelvra: no camera is attached\n";
    }
    return std::nullopt;
}

std::string CameraSession::LastError() { return DescribeError(Kelvra_GetLastError(handle)); }
