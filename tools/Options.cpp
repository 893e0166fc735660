#include "Options.h"

#include "kelvra/KelvraSim.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <ostream>

const std::vector<std::string> kCameraOptions = {"-n", "--sim-scene", "--sim-fps"};

const char kCameraOptionsHelp[] =
    "  -n NUMBER            the camera's device number (default: the first camera)\n"
    "  --sim-scene SCENE    without a camera: the simulated camera shows flat, ramp or pattern\n"
    "  --sim-fps N          without a camera: the simulated camera's frames per second (0: as fast\n"
    "                       as frames are asked for)\n";

std::optional<ParsedOptions> ParseOptions(const std::vector<std::string>& arguments,
                                          const std::vector<std::string>& accepted, std::ostream& err) {
    ParsedOptions parsed;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        // A negative number is a value, not an option.
        if (word.size() < 2 || word[0] != '-' || std::isdigit(static_cast<unsigned char>(word[1]))) {
            parsed.positionals.push_back(word);
            continue;
        }
        if (std::find(accepted.begin(), accepted.end(), word) == accepted.end()) {
            err << "kelvra: unknown option " << word << '\n';
            return std::nullopt;
        }
        if (i + 1 == arguments.size()) {
            err << "kelvra: " << word << " needs a value\n";
            return std::nullopt;
        }
        parsed.values[word] = arguments[++i];
    }
    return parsed;
}

std::optional<int32_t> ParseNumber(const std::string& text, const char* what, int32_t minimum, int32_t maximum,
                                   std::ostream& err) {
    int32_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc{} || end != text.data() + text.size() || number < minimum || number > maximum) {
        err << "kelvra: " << what << " must be a whole number from " << minimum << " to " << maximum << ", not " << text
            << '\n';
        return std::nullopt;
    }
    return number;
}

std::optional<CameraOptions> ReadCameraOptions(const ParsedOptions& options, std::ostream& err) {
    CameraOptions camera;
    if (options.Has("-n")) {
        camera.number = ParseNumber(options.values.at("-n"), "the device number", 0, 31, err);
        if (!camera.number) return std::nullopt;
    }
    if (options.Has("--sim-scene")) {
        const std::string& scene = options.values.at("--sim-scene");
        if (scene == "flat") {
            camera.simulation.scene = KELVRA_SIM_SCENE_FLAT;
        } else if (scene == "ramp") {
            camera.simulation.scene = KELVRA_SIM_SCENE_RAMP_H;
        } else if (scene == "pattern") {
            camera.simulation.scene = KELVRA_SIM_SCENE_PATTERN;
        } else {
            err << "kelvra: --sim-scene takes flat, ramp or pattern, not " << scene << '\n';
            return std::nullopt;
        }
    }
    if (options.Has("--sim-fps")) {
        const auto fps = ParseNumber(options.values.at("--sim-fps"), "--sim-fps", 0, 1000, err);
        if (!fps) return std::nullopt;
        camera.simulation.framesPerSecond = *fps;
    }
    return camera;
}

std::vector<std::string> WithCameraOptions(std::vector<std::string> own) {
    own.insert(own.begin(), kCameraOptions.begin(), kCameraOptions.end());
    return own;
}
