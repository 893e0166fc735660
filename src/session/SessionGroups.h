// The session's state in named groups, so that each feature touches its own: the capture format,
// the camera controls last applied, the image filters, the grey settings, the corrections, the
// preview window, the acquisition worker and the recorder. The groups hold data only; the
// session and its features act on them.
#pragma once

#include "common/CriticalSection.h"
#include "kelvra/KelvraSdk.h"
#include "output/AviWriter.h"
#include "session/DefectList.h"

#include <atomic>
#include <cstdint>
#include <vector>

// The one camera model a session serves: the 880HQLN's sensor.
constexpr int32_t kSensorWidth880HQLN = 1280;
constexpr int32_t kSensorHeight880HQLN = 1024;

// The capture window on the sensor and the output format the pipeline produces.
struct CaptureFormat {
    int32_t totalWidth = kSensorWidth880HQLN;  // total sensor size
    int32_t totalHeight = kSensorHeight880HQLN;
    int32_t width = kSensorWidth880HQLN;  // capture window
    int32_t height = kSensorHeight880HQLN;
    int32_t xOffset = 0;
    int32_t yOffset = 0;
    int32_t bufferCount = 4;  // stored with each capture size
    int32_t colourMode = 0;   // 0..5: 8, 16, 24, 32, 48, 64 bits per pixel
    int32_t subSample = 0;
    int32_t clock = 0;                  // the sensor clock chosen in the stored format
    std::atomic<int32_t> waitTime{10};  // milliseconds the preview loop rests per frame; read by the worker
};

// What the session last applied to the camera, in the camera's own units.
struct CameraSettings {
    int32_t globalGain = 0;
    int32_t colourGainGreen1 = 0;
    int32_t colourGainRed = 0;
    int32_t colourGainBlue = 0;
    int32_t colourGainGreen2 = 0;
    int32_t exposureLines = 0;  // the device's integer exposure unit
    int32_t mirrorV = 0;
    int32_t mirrorH = 0;
    int32_t autoIris = 0;  // 0 off, 1 exposure, 2 gain
    int32_t blackLevel = 0;
    int32_t peltierOn = 0;
    int32_t switch105 = 0;
    int32_t gainMode = 0;
    double exposureMs = 0.0;  // where the device takes exposures in milliseconds
    int32_t realExposure = 0;
};

// The software filters of the frame pipeline and the white balance.
struct ImageFilters {
    int32_t brightness = 0;
    int32_t contrast = 0;
    int32_t hue = 0;
    int32_t saturation = 0;
    int32_t sharpness = 0;
    int32_t bayerGainRed = 0;  // white-balance gains, 0..400
    int32_t bayerGainGreen = 0;
    int32_t bayerGainBlue = 0;
    int32_t gamma = 0;  // 0..200, 100 leaves the image unchanged
    int32_t bayerMode = 0;
    int32_t bayerGainAuto = 0;
    // One-shot white balance: with bayerGainAuto they make the balance run once.
    int32_t whiteBalanceOnce1 = 0;
    int32_t whiteBalanceOnce2 = 0;
};

// Grey processing: per-channel gain and offset, or grey from the demosaiced colour image.
struct GraySettings {
    int32_t grayMode = 0;
    int32_t grayGainR = 0;
    int32_t grayGainG1 = 0;
    int32_t grayGainG2 = 0;
    int32_t grayGainB = 0;
    int32_t grayOffsetR = 0;
    int32_t grayOffsetG1 = 0;
    int32_t grayOffsetG2 = 0;
    int32_t grayOffsetB = 0;
    int32_t grayAutoFrames = 0;  // a pending one-shot measurement of the grey gains
};

// Defect-pixel and flat-field correction. imageLock guards the calibration planes, the defect
// maps, the mapped defects and the defect list while a frame is corrected or a mask or
// configuration file loads.
struct Corrections {
    CriticalSection imageLock;
    DefectList defectList{kSensorWidth880HQLN, kSensorHeight880HQLN};
    // Sensor positions where the hot or the dead map of a depth is set, kept in step with the
    // maps: the dot filter marks these rather than reading both maps whole on every frame.
    std::vector<DefectPixel> mappedDefects8;
    std::vector<DefectPixel> mappedDefects16;
    // The dot filter's scratch per frame column, made here so that a frame allocates nothing.
    std::vector<int32_t> dotRunTops = std::vector<int32_t>(kSensorWidth880HQLN);
    std::vector<int32_t> dotRunBottoms = std::vector<int32_t>(kSensorWidth880HQLN);
    // Whether the camera mirrors by itself, its last answers, for the frames on which the call
    // lock is busy. Read and written on the frame path only, under frameLock.
    bool deviceMirrorsH = false;
    bool deviceMirrorsV = false;
    int32_t configFilter = 0;  // defect-list correction on
    int32_t maskFilter = 0;    // flat-field correction on
    int32_t dotFilter = 0;     // dot filter on
};

// The recorder thread. recordFrameReady is raised by the acquisition worker and taken by the
// recorder, and the run flag is cleared by StopPreview while the recorder polls it, so both are
// atomic. The writer and the duration belong to the recorder thread while it runs; Record sets
// them before it starts the thread and StopPreview reads nothing of them until it has ended.
struct RecorderState {
    std::atomic<int32_t> recordFrameReady{0};
    std::atomic<int32_t> recordRun{0};
    HANDLE recordThread = nullptr;
    DWORD recordThreadId = 0;
    HANDLE recordEvent = nullptr;
    AviWriter avi;
    int64_t durationMs = 0;
};

// What the acquisition modes hand on with each frame. frameLock guards the raw and output images,
// frameInfo and the rate figures between the worker and the application's calls; the mode is
// atomic because the worker reads it.
struct AcquisitionState {
    CriticalSection frameLock;
    std::atomic<int32_t> acquisitionState{0};  // 0 idle, 1 preview, 2 capture, 3 trigger
    HWND callbackWindow = nullptr;             // gets WM_CAMERA_FRAME
    BYTE* callbackBuffer = nullptr;
    int32_t callbackBufferSize = 0;
    int32_t callbackTopDown = 0;
    FrameInfo frameInfo = {};
    int32_t frameValid = 0;  // a frame has gone through the pipeline
    int32_t framesPerTenSeconds = 0;
    int32_t frameCounter = 0;  // frames since the rate was last measured
    DWORD rateTimer = 0;       // start of the current rate interval
    int32_t frameTimeout = 3000;
    std::atomic<int32_t> skipNextFrame{0};  // the trigger loop drops the next frame
};
