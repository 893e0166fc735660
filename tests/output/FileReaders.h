// Opening the files the SDK writes with readers nobody here wrote: Pillow (through a small
// script that reports what it finds), pngcheck, tiffinfo and ffprobe/ffmpeg.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <atomic>

#include "kelvra/win32.h"
#else
#include <unistd.h>
#endif

namespace readers {

struct Result {
    int status = -1;
    std::string output;
};

// Runs a shell command and takes its standard output (standard error goes with it when asked).
inline Result Run(const std::string& command, bool withErrors = false) {
    Result result;
#ifdef _WIN32
    std::FILE* pipe = _popen((command + (withErrors ? " 2>&1" : " 2>NUL")).c_str(), "rb");
#else
    std::FILE* pipe = popen((command + (withErrors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
#endif
    if (pipe == nullptr) return result;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
#ifdef _WIN32
    result.status = _pclose(pipe);
#else
    result.status = pclose(pipe);
#endif
    return result;
}

inline std::string Quote(const std::string& text) { return "'" + text + "'"; }

// What Pillow and the file's own structures show, by key; empty when Pillow cannot open it.
inline std::map<std::string, std::string> Inspect(const std::string& path) {
    std::map<std::string, std::string> facts;
    const Result result = Run("/usr/bin/python3 " KELVRA_TESTS_DIR "/output/image_facts.py " + Quote(path));
    if (result.status != 0) return facts;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find('=');
        if (at != std::string::npos) facts[line.substr(0, at)] = line.substr(at + 1);
    }
    return facts;
}

// One stream value of ffprobe (e.g. "nb_frames", "width", "r_frame_rate"), counting the frames
// by reading them all when asked.
inline std::string Probe(const std::string& path, const std::string& entry, bool countFrames = false) {
    return Run("ffprobe -v error -select_streams v:0 " + std::string(countFrames ? "-count_frames " : "") +
               "-show_entries stream=" + entry + " -of default=noprint_wrappers=1:nokey=1 " + Quote(path))
        .output.substr(0, std::string::npos);
}

inline std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// Every frame ffmpeg decodes, as top-down RGB24 rows of width pixels.
inline std::vector<uint8_t> DecodeRgb(const std::string& path) {
    const Result result = Run("ffmpeg -v error -i " + Quote(path) + " -f rawvideo -pix_fmt rgb24 -");
    return std::vector<uint8_t>(result.output.begin(), result.output.end());
}

inline std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline uint32_t U32At(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                 static_cast<uint32_t>(bytes[at + 3]) << 24);
}

inline std::string TagAt(const std::vector<uint8_t>& bytes, size_t at) {
    return std::string(reinterpret_cast<const char*>(bytes.data() + at), 4);
}

// A folder of its own under the system's temporary folder, removed with everything in it.
class TemporaryFolder {
public:
    TemporaryFolder() {
#ifdef _WIN32
        static std::atomic<unsigned> made{0};
        const auto folder = std::filesystem::temp_directory_path() /
                            ("kelvra-output-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(made++));
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        if (std::filesystem::create_directory(folder, ignored)) path = folder.string();
#else
        std::string pattern = (std::filesystem::temp_directory_path() / "kelvra-output-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path = pattern;
#endif
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    std::string File(const std::string& name) const { return path + "/" + name; }

private:
    std::string path;
};

}  // namespace readers
