// The command line of a subcommand: options of the form "-n NUMBER" / "--name VALUE", each
// taking one value, and the positional arguments in order. The options every camera command
// takes — the camera number and the simulated camera's scene and rate — are read out here too.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct ParsedOptions {
    std::map<std::string, std::string> values;  // by option name as written, "-n" or "--seconds"
    std::vector<std::string> positionals;

    bool Has(const std::string& name) const { return values.count(name) != 0; }
};

// Splits arguments against the option names the command accepts (each takes a value); an
// unknown option or a missing value is reported to err and gives nothing.
std::optional<ParsedOptions> ParseOptions(const std::vector<std::string>& arguments,
                                          const std::vector<std::string>& accepted, std::ostream& err);

// A whole number in [minimum, maximum]; anything else is reported to err, naming the option.
std::optional<int32_t> ParseNumber(const std::string& text, const char* what, int32_t minimum, int32_t maximum,
                                   std::ostream& err);

// What drives the simulated camera when no camera is attached (--sim-scene, --sim-fps).
struct SimulationOptions {
    int scene = -1;            // KELVRA_SIM_SCENE_*, -1 leaves the simulator's own
    int framesPerSecond = -1;  // -1 leaves the simulator's own (30)
};

// The options every camera command takes: -n, --sim-scene, --sim-fps.
extern const std::vector<std::string> kCameraOptions;
struct CameraOptions {
    std::optional<int32_t> number;
    SimulationOptions simulation;
};
std::optional<CameraOptions> ReadCameraOptions(const ParsedOptions& options, std::ostream& err);

// The camera options followed by the command's own.
std::vector<std::string> WithCameraOptions(std::vector<std::string> own);

// The help text of the camera options, for the commands' usage lines.
extern const char kCameraOptionsHelp[];
