// The settings of each camera number in the current user's registry, under the library key
// Software\Tavrel\Kelvra880HQLNSdk\Camera_NN: the output format and the stored capture sizes
// (Size_00 .. Size_99), and the "Gain", "Filter" and "Gray" groups. The next program that opens
// the same camera number starts where the last one stopped.
//
// The registry is a file a user or another program can edit: every value is checked as it is
// read, and one that is missing, of the wrong type or out of range leaves the setting at its
// default (or, for the camera's own values, at what the camera reports).
#pragma once

#include <cstdint>
#include <optional>

class CKelvra;
struct CaptureFormat;

// One stored capture size: the sensor's total size, the window in it and the frame buffers.
struct CaptureSize {
    int32_t totalWidth;
    int32_t totalHeight;
    int32_t width;
    int32_t height;
    int32_t xOffset;
    int32_t yOffset;
    int32_t bufferCount;
};

class SettingsStore {
public:
    static constexpr int kCaptureSizes = 100;

    // The output format of the camera number: the capture size chosen by "Size", the colour
    // mode, subsampling, wait time and clock. On a machine without the library key, makes it
    // with the camera number's first capture size and a fresh machine's format.
    static void LoadFormat(CKelvra& session, int32_t cameraNumber);
    // The "Gain", "Filter" and "Gray" groups; a missing group gives its defaults, the "Gain"
    // defaults being what the session's camera reports.
    static void LoadGroups(CKelvra& session, int32_t cameraNumber);
    // False when the registry could not take them.
    static bool SaveGroups(CKelvra& session, int32_t cameraNumber);
    // Makes size the format's capture window and buffer count.
    static void UseCaptureSize(CaptureFormat& format, const CaptureSize& size);
    // Whether the window of size lies on the sensor, with a usable number of buffers.
    static bool OnSensor(const CaptureSize& size);
    // The first stored capture size of the camera number whose window is width x height.
    static std::optional<CaptureSize> FindCaptureSize(int32_t cameraNumber, int32_t width, int32_t height);
};
