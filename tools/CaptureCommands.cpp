// kelvra snap, kelvra record: a picture or a movie into a file, the SDK's main job as an
// application does it — select the camera, take frames, save them.
#include "CameraSession.h"
#include "ColourOption.h"
#include "Command.h"
#include "Options.h"
#include "kelvra/KelvraSdk.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct ImageFormat {
    const char* name;
    const char* extensions[2];
    int32_t fileType;
};

constexpr ImageFormat kImageFormats[] = {
    {"png", {".png", nullptr}, KELVRA_IMAGE_PNG},        {"tiff", {".tif", ".tiff"}, KELVRA_IMAGE_TIFF},
    {"jpeg", {".jpg", ".jpeg"}, KELVRA_IMAGE_JPEG_HIGH}, {"bmp", {".bmp", nullptr}, KELVRA_IMAGE_BMP},
    {"raw", {".raw", nullptr}, KELVRA_IMAGE_RAW},
};

const ImageFormat* FormatNamed(const std::string& name) {
    for (const ImageFormat& format : kImageFormats) {
        if (name == format.name) return &format;
    }
    return nullptr;
}

// The format a file name's extension names; PNG for a name without one.
const ImageFormat* FormatOfPath(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension.empty()) return &kImageFormats[0];
    for (const ImageFormat& format : kImageFormats) {
        for (const char* known : format.extensions) {
            if (known && extension == known) return &format;
        }
    }
    return nullptr;
}

// Opens the session for a capture command: the colour the command asks for, the camera selected.
struct OpenedCamera {
    ColourChoice colour;
    CameraSession session;

    OpenedCamera(int32_t bits, const CameraOptions& camera, std::ostream& out, std::ostream& err)
        : colour(bits), session(out, err, camera.simulation) {
        colour.Restore();
    }
};

int Snap(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    const auto options = ParseOptions(arguments, WithCameraOptions({"-o", "--format", "--colour"}), err);
    if (!options || !options->positionals.empty()) return kExitUsage;
    const auto camera = ReadCameraOptions(*options, err);
    const auto bits = ReadColourOption(*options, err);
    if (!camera || !bits) return kExitUsage;
    const std::string path = options->Has("-o") ? options->values.at("-o") : "kelvra-snap.png";
    const ImageFormat* format =
        options->Has("--format") ? FormatNamed(options->values.at("--format")) : FormatOfPath(path);
    if (!format) {
        err << "kelvra: give the format with --format png|tiff|jpeg|bmp|raw\n";
        return kExitUsage;
    }

    OpenedCamera opened(*bits, *camera, out, err);
    CameraSession& session = opened.session;
    if (session.Handle() == 0 || !session.Select(camera->number, err)) return kExitFailure;
    const int32_t handle = session.Handle();
    if (!Kelvra_SnapShot(handle, nullptr, 0, 1)) {
        err << "kelvra: no frame could be taken: " << session.LastError() << '\n';
        return kExitFailure;
    }
    if (!Kelvra_SaveImage(handle, path.c_str(), format->fileType)) {
        err << "kelvra: " << path << " could not be written: " << session.LastError() << '\n';
        return kExitFailure;
    }
    out << "saved a " << Kelvra_Width(handle) << " x " << Kelvra_Height(handle) << ", " << Kelvra_GetColorMode(handle)
        << "-bit frame as " << format->name << ": " << path << '\n';
    return kExitSuccess;
}

// What a recording has written so far, read from the file's growth: each frame is a chunk of
// eight header bytes and its 24-bit pixels.
class RecordingProgress {
public:
    RecordingProgress(std::string path, int32_t width, int32_t height, double seconds, std::ostream& out)
        : path(std::move(path)),
          frameBytes(8 + static_cast<std::uintmax_t>(width) * 3 * static_cast<std::uintmax_t>(height)),
          total(seconds),
          out(out),
          terminal(::isatty(STDERR_FILENO) != 0) {}

    long Frames() const {
        std::error_code ignored;
        const std::uintmax_t size = std::filesystem::file_size(path, ignored);
        return size == static_cast<std::uintmax_t>(-1) ? 0 : static_cast<long>(size / frameBytes);
    }

    void Show(double elapsed) {
        const long frames = Frames();
        std::ostringstream line;
        line << std::fixed << std::setprecision(1) << elapsed << " / " << total << " s  " << frames << " frames  "
             << (elapsed > 0 ? frames / elapsed : 0.0) << " fps";
        if (terminal) {
            constexpr int kBarWidth = 30;
            const int filled = static_cast<int>(kBarWidth * std::min(1.0, elapsed / total));
            out << "\r[" << std::string(static_cast<size_t>(filled), '#')
                << std::string(static_cast<size_t>(kBarWidth - filled), ' ') << "] " << line.str() << std::flush;
        } else {
            out << line.str() << '\n';
        }
    }

    void Finish() {
        if (terminal) out << '\n';
    }

private:
    std::string path;
    std::uintmax_t frameBytes;
    double total;
    std::ostream& out;
    bool terminal;
};

int Record(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    const auto options = ParseOptions(arguments, WithCameraOptions({"-o", "--seconds", "--colour"}), err);
    if (!options || !options->positionals.empty() || !options->Has("-o")) return kExitUsage;
    const auto camera = ReadCameraOptions(*options, err);
    const auto bits = ReadColourOption(*options, err);
    const auto seconds = options->Has("--seconds")
                             ? ParseNumber(options->values.at("--seconds"), "--seconds", 1, 3600, err)
                             : std::optional<int32_t>(2);
    if (!camera || !bits || !seconds) return kExitUsage;
    const std::string path = options->values.at("-o");

    OpenedCamera opened(*bits, *camera, out, err);
    CameraSession& session = opened.session;
    if (session.Handle() == 0 || !session.Select(camera->number, err)) return kExitFailure;
    const int32_t handle = session.Handle();
    // No window: the tool records, it does not show.
    if (!Kelvra_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0) ||
        !Kelvra_Record(handle, path.c_str(), *seconds * 1000, 0)) {
        err << "kelvra: the recording did not start: " << session.LastError() << '\n';
        return kExitFailure;
    }
    RecordingProgress progress(path, Kelvra_Width(handle), Kelvra_Height(handle), *seconds, err);
    const auto start = Clock::now();
    const auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    // The recorder finishes the file once its time is up; the margin lets its last frame land.
    while (elapsed() < *seconds + 0.3) {
        progress.Show(std::min<double>(elapsed(), *seconds));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    progress.Finish();
    Kelvra_StopPreview(handle);
    const long frames = progress.Frames();
    if (frames == 0) {
        err << "kelvra: no frame was recorded: " << session.LastError() << '\n';
        return kExitFailure;
    }
    out << "recorded " << frames << " frames of " << Kelvra_Width(handle) << " x " << Kelvra_Height(handle) << " in "
        << *seconds << " s (" << std::fixed << std::setprecision(1) << static_cast<double>(frames) / *seconds
        << " fps): " << path << '\n';
    return kExitSuccess;
}

void SnapHelp(std::ostream& out) {
    out << "  -o FILE              where the picture goes (kelvra-snap.png)\n"
           "  --format FORMAT      png, tiff, jpeg, bmp or raw (default: from FILE's extension, else png)\n"
           "  --colour 16|48       16-bit grey (the default) or 48-bit colour\n";
}

void RecordHelp(std::ostream& out) {
    out << "  -o FILE.avi          where the movie goes\n"
           "  --seconds S          how long to record, 1 to 3600 seconds (2)\n"
           "  --colour 16|48       16-bit grey (the default) or 48-bit colour frames\n";
}

constexpr Command kCaptureCommands[] = {
    {"snap", "[-n NUMBER] [-o FILE] [--format F] [--colour 16|48]", "take one frame and save it", Snap, SnapHelp},
    {"record", "[-n NUMBER] -o FILE.avi [--seconds S]", "record S seconds of video with progress", Record, RecordHelp},
};

}  // namespace

std::span<const Command> CaptureCommands() { return kCaptureCommands; }
