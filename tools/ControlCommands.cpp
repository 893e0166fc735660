// kelvra set NAME VALUE, kelvra get NAME: the camera's controls and the software filters by
// readable names. Settings are kept per camera number by the SDK, so a value set now is what the
// next command, or the next program, starts with.
#include "CameraSession.h"
#include "Command.h"
#include "Options.h"
#include "kelvra/KelvraSdk.h"

#include <cstring>
#include <iomanip>
#include <ostream>

namespace {

// Where a control's range comes from: fixed, or the camera's own (gain, exposure).
enum class RangeSource { kFixed, kCameraGain, kCameraExposure };

struct Control {
    const char* name;
    const char* meaning;
    int32_t (*get)(int32_t handle, int32_t* ok);
    int32_t (*set)(int32_t handle, int32_t value);
    RangeSource source;
    int32_t min;
    int32_t max;
};

int32_t GetMirrorH(int32_t handle, int32_t* ok) {
    *ok = 1;
    return Kelvra_GetMirrorH(handle);
}
int32_t GetMirrorV(int32_t handle, int32_t* ok) {
    *ok = 1;
    return Kelvra_GetMirrorV(handle);
}

constexpr Control kControls[] = {
    {"exposure", "exposure in the camera's unit", Kelvra_GetExposureTime, Kelvra_SetExposureTime,
     RangeSource::kCameraExposure, 0, 0},
    {"gain", "the camera's global gain", Kelvra_GetGlobalGain, Kelvra_SetGlobalGain, RangeSource::kCameraGain, 0, 0},
    {"auto-exposure", "0 off, 1 by exposure, 2 by gain", Kelvra_GetAutoIris, Kelvra_SetAutoIris, RangeSource::kFixed, 0,
     2},
    {"mirror-h", "mirror left to right, 0 or 1", GetMirrorH, Kelvra_SetMirrorH, RangeSource::kFixed, 0, 1},
    {"mirror-v", "mirror top to bottom, 0 or 1", GetMirrorV, Kelvra_SetMirrorV, RangeSource::kFixed, 0, 1},
    {"brightness", "software brightness", Kelvra_GetBrightness, Kelvra_SetBrightness, RangeSource::kFixed, -255, 255},
    {"contrast", "software contrast", Kelvra_GetContrast, Kelvra_SetContrast, RangeSource::kFixed, -127, 127},
    {"gamma", "software gamma, 100 leaves the picture as it is", Kelvra_GetGamma, Kelvra_SetGamma, RangeSource::kFixed,
     0, 200},
    {"sharpness", "software sharpening", Kelvra_GetSharpness, Kelvra_SetSharpness, RangeSource::kFixed, 0, 30},
    {"hue", "hue turn in degrees (colour output)", Kelvra_GetHue, Kelvra_SetHue, RangeSource::kFixed, -360, 360},
    {"saturation", "saturation (colour output)", Kelvra_GetSaturation, Kelvra_SetSaturation, RangeSource::kFixed, -255,
     255},
    {"gray-mode", "0 off, 1 gain and offset, 2 grey from colour", Kelvra_GetGrayMode, Kelvra_SetGrayMode,
     RangeSource::kFixed, 0, 2},
};

const Control* FindControl(const std::string& name) {
    for (const Control& control : kControls) {
        if (name == control.name) return &control;
    }
    return nullptr;
}

void ListControls(std::ostream& out) {
    out << "\nnames:\n";
    for (const Control& control : kControls)
        out << "  " << std::left << std::setw(15) << control.name << control.meaning << '\n';
}

// The range the control accepts on the selected camera.
std::pair<int32_t, int32_t> RangeOf(const Control& control, int32_t handle) {
    if (control.source == RangeSource::kFixed) return {control.min, control.max};
    KelvraCameraInfo info{};
    info.size = sizeof info;
    if (!Kelvra_GetCameraInfo(handle, &info)) return {0, 0};
    return control.source == RangeSource::kCameraGain ? std::pair{info.gainMin, info.gainMax}
                                                      : std::pair{info.exposureMin, info.exposureMax};
}

// The command line of set and get: the camera options, then the control's name and, for set,
// its value. Nothing, after saying why, when it does not parse.
struct ControlRequest {
    const Control* control;
    CameraOptions camera;
    std::vector<std::string> values;  // what follows the name
};

std::optional<ControlRequest> ReadRequest(const std::vector<std::string>& arguments, size_t words, std::ostream& err) {
    const auto options = ParseOptions(arguments, kCameraOptions, err);
    if (!options || options->positionals.size() != words) return std::nullopt;
    const auto camera = ReadCameraOptions(*options, err);
    if (!camera) return std::nullopt;
    const Control* control = FindControl(options->positionals[0]);
    if (!control) {
        err << "kelvra: no control named " << options->positionals[0] << '\n';
        ListControls(err);
        return std::nullopt;
    }
    return ControlRequest{control, *camera, {options->positionals.begin() + 1, options->positionals.end()}};
}

int Set(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    const auto request = ReadRequest(arguments, 2, err);
    if (!request) return kExitUsage;
    const Control& control = *request->control;
    CameraSession session(out, err, request->camera.simulation);
    if (session.Handle() == 0 || !session.Select(request->camera.number, err)) return kExitFailure;
    const auto [minimum, maximum] = RangeOf(control, session.Handle());
    const auto value = ParseNumber(request->values[0], control.name, minimum, maximum, err);
    if (!value) return kExitFailure;
    if (!control.set(session.Handle(), *value)) {
        err << "kelvra: " << control.name << ' ' << *value << " refused: " << session.LastError()
            << "; accepted: " << minimum << " to " << maximum << '\n';
        return kExitFailure;
    }
    out << control.name << " = " << *value << '\n';
    return kExitSuccess;
}

int Get(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    const auto request = ReadRequest(arguments, 1, err);
    if (!request) return kExitUsage;
    const Control& control = *request->control;
    CameraSession session(out, err, request->camera.simulation);
    if (session.Handle() == 0 || !session.Select(request->camera.number, err)) return kExitFailure;
    int32_t ok = 0;
    const int32_t value = control.get(session.Handle(), &ok);
    if (!ok) {
        err << "kelvra: cannot read " << control.name << ": " << session.LastError() << '\n';
        return kExitFailure;
    }
    out << control.name << " = " << value << '\n';
    return kExitSuccess;
}

constexpr Command kControlCommands[] = {
    {"set", "[-n NUMBER] NAME VALUE", "set a camera control or software filter (kelvra set --help lists them)", Set,
     ListControls},
    {"get", "[-n NUMBER] NAME", "show a camera control or software filter", Get, ListControls},
};

}  // namespace

std::span<const Command> ControlCommands() { return kControlCommands; }
