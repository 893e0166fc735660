// kelvra list, kelvra info: the cameras attached and what the selected one can do.
#include "CameraSession.h"
#include "Command.h"
#include "kelvra/KelvraSdk.h"

#include <charconv>
#include <iomanip>
#include <optional>
#include <ostream>

namespace {

int List(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    if (!arguments.empty()) return kExitUsage;
    CameraSession session(out, err);
    if (session.Handle() == 0) return kExitFailure;
    const std::vector<CameraEntry> cameras = session.Cameras();
    out << cameras.size() << (cameras.size() == 1 ? " camera" : " cameras") << " attached\n";
    if (!cameras.empty()) out << "NUMBER  NAME\n";
    for (const CameraEntry& camera : cameras) out << std::setw(6) << camera.deviceNumber << "  " << camera.name << '\n';
    return kExitSuccess;
}

std::optional<int32_t> ParseDeviceNumber(const std::string& text) {
    int32_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc{} || end != text.data() + text.size() || number < 0) return std::nullopt;
    return number;
}

// A control the camera lacks reports an empty range of zeros.
template <typename Value>
void PrintRange(std::ostream& out, const char* label, Value minimum, Value maximum, const char* unit) {
    out << std::left << std::setw(16) << label;
    if (minimum == 0 && maximum == 0) {
        out << "not offered by this camera\n";
    } else {
        out << minimum << " to " << maximum << unit << '\n';
    }
}

void PrintInfo(const CameraEntry& camera, const KelvraCameraInfo& info, std::ostream& out) {
    out << std::left << std::setw(16) << "Camera" << camera.name << " (device number " << camera.deviceNumber << ")\n";
    out << std::left << std::setw(16) << "Sensor" << info.sensorWidth << " x " << info.sensorHeight << " pixels\n";
    PrintRange(out, "Global gain", info.gainMin, info.gainMax, "");
    PrintRange(out, "Colour gain", info.colorGainMin, info.colorGainMax, "");
    PrintRange(out, "Exposure", info.exposureMin, info.exposureMax, " (camera units)");
    PrintRange(out, "Exposure time", info.exposureMsMin, info.exposureMsMax, " ms");
}

int Info(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.size() > 1) return kExitUsage;
    std::optional<int32_t> requested;
    if (!arguments.empty()) {
        requested = ParseDeviceNumber(arguments[0]);
        if (!requested) {
            err << "kelvra: not a device number: " << arguments[0] << '\n';
            return kExitUsage;
        }
    }
    CameraSession session(out, err);
    if (session.Handle() == 0) return kExitFailure;
    const std::vector<CameraEntry> cameras = session.Cameras();
    const CameraEntry* camera = nullptr;
    for (const CameraEntry& entry : cameras) {
        if (!requested || entry.deviceNumber == *requested) {
            camera = &entry;
            break;
        }
    }
    if (!camera) {
        err << "kelvra: no camera with device number " << *requested << " is attached\n";
        return kExitFailure;
    }
    if (!Kelvra_SetDeviceNumber(session.Handle(), camera->deviceNumber)) {
        err << "kelvra: cannot open camera " << camera->deviceNumber << ": " << session.LastError() << '\n';
        return kExitFailure;
    }
    KelvraCameraInfo info{};
    info.size = sizeof info;
    if (!Kelvra_GetCameraInfo(session.Handle(), &info)) {
        err << "kelvra: cannot read the camera information: " << session.LastError() << '\n';
        return kExitFailure;
    }
    PrintInfo(*camera, info, out);
    return kExitSuccess;
}

constexpr Command kDeviceCommands[] = {
    {"list", "", "list the attached cameras with their device numbers and names", List},
    {"info", "[NUMBER]", "describe a camera (the first one unless NUMBER is given)", Info},
};

}  // namespace

std::span<const Command> DeviceCommands() { return kDeviceCommands; }
