// The camera session behind one application handle: the device object, the images of the frame
// pipeline, the preview and worker state, the image-processing settings and the error history.
// The session serves one camera model, the 880HQLN (product id 0x3180, 1280 x 1024).
//
// Threads: the exported functions run a session's operations one at a time under its call lock
// (CallLock), which the handle's call frame holds for the whole call. The session's own worker
// threads never take it, so an operation may wait for them; what they share with the
// application's calls is guarded by the groups' own locks (frameLock, imageLock) and atomics.
// Only the handle registry and the calls running on the handle hold the session, never its
// workers, so the destructor runs on an application thread and may wait for the workers to end.
#pragma once

#include "common/CriticalSection.h"
#include "kelvra/KelvraSdk.h"
#include "kelvra/win32.h"
#include "session/AcquisitionWorker.h"
#include "session/ErrorHistory.h"
#include "session/FramePipeline.h"
#include "session/PreviewWindow.h"
#include "session/SessionGroups.h"
#include "session/SessionImages.h"
#include "session/SettingsStore.h"

#include <cstdint>
#include <memory>

class CKelvraUSB3G5SimpleSdk;

class CKelvra {
public:
    static constexpr int32_t kProductId = 0x3180;
    static constexpr int32_t kSensorWidth = kSensorWidth880HQLN;
    static constexpr int32_t kSensorHeight = kSensorHeight880HQLN;
    static constexpr char kDeviceNameStem[] = "Kelvra880HQLN";
    // "Kelvra880HQLN_01" and its terminator.
    static constexpr int32_t kDeviceNameSize = 17;

    CKelvra();
    CKelvra(const CKelvra&) = delete;
    CKelvra& operator=(const CKelvra&) = delete;
    // Saves the settings of the selected camera, then closes the camera and frees the images.
    virtual ~CKelvra();

    bool Initialize(HWND window);
    bool SetDeviceNumber(int32_t number);
    int32_t EnumDevice(char names[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE]);
    int32_t EnumDeviceW(wchar_t names[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE]);
    bool GetDeviceName(int32_t index, char* name, int32_t size);
    bool GetDeviceNameW(int32_t index, wchar_t* name, int32_t size);
    bool GetCameraInfo(KelvraCameraInfo* info);

    // Acquisition modes: a preview run by the worker (into the preview window, and with a callback
    // window and buffer for CallBackPreview), single frames on the calling thread (Capture,
    // SnapShot, GetImage), hardware-triggered frames collected by the worker (Trigger).
    bool Preview();
    bool CallBackPreview(HWND window, BYTE* buffer, int32_t size, int32_t topDown);
    bool StartPreview();
    bool StopPreview();
    bool Close();
    bool Capture();
    bool SnapShot(BYTE* buffer, int32_t size, int32_t topDown);
    bool GetImage(BYTE* buffer, int32_t size, int32_t topDown);
    bool Trigger(HWND window, BYTE* buffer, int32_t size, int32_t topDown);
    // Preview plus an AVI movie of durationMs milliseconds of its frames, written by the recorder
    // thread; whatever ends the preview first ends the movie too, with a whole file.
    bool Record(const char* path, int32_t durationMs, int32_t withWindow);
    // Writes the last processed frame as a still image file of fileType (0..6).
    bool SaveImage(const char* path, int32_t fileType);

    // Preview and capture geometry.
    bool SetPreviewWindow(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height);
    bool GetCaptureWindowEx(int32_t* totalWidth, int32_t* xOffset, int32_t* width, int32_t* totalHeight,
                            int32_t* yOffset, int32_t* height) const;
    // Selects the stored capture size whose window is width x height.
    bool SetCaptureWindow(int32_t width, int32_t height);
    bool SetCaptureWindowEx(int32_t totalWidth, int32_t xOffset, int32_t width, int32_t totalHeight, int32_t yOffset,
                            int32_t height);

    // Output format.
    bool SetColorMode(int32_t bits);
    int32_t GetColorMode() const;
    bool SetSubSample(int32_t code);
    bool SetWaitTime(int32_t ms);
    int32_t SetSamplingRate(int32_t rate);

    // Camera controls beside the numbered settings (FilterValues).
    bool SetExposureTimeEx(double ms);
    double GetExposureTimeEx(int32_t* ok);
    bool SetRealExposureTime(int32_t value);
    int32_t GetRealExposureTime(int32_t* ok);
    double GetTemperatureEx(int32_t* ok);
    bool SetMirror(bool horizontal, int32_t flag);
    int32_t GetMirror(bool horizontal);
    bool SetAutoIris(int32_t mode);
    int32_t GetAutoIris(int32_t* ok);
    bool SetConfigFilter(int32_t flag);
    int32_t GetConfigFilter();

    // The camera's sensor registers, board FPGA registers, I/O port and SROM.
    INT_PTR ReadRegister(uint32_t address, int32_t* ok);
    bool WriteRegister(uint32_t address, uint32_t value);
    int32_t ReadFpgaRegister(uint32_t address, int32_t* ok);
    bool WriteFpgaRegister(uint32_t address, uint32_t value);
    bool GetIoPort(BYTE* value);
    int32_t SetIoPort(int32_t value);
    int32_t ReadSromId(int32_t address, int32_t* ok);
    bool WriteSromId(int32_t address, int32_t value);

    // Calibration: the four mask planes from and to a mask file, a plane from the current frame
    // (which: 0 dark, 1 white), the defect list of a configuration file.
    bool LoadMaskFile(const char* path);
    bool SaveMaskFile(const char* path);
    bool UpdateMaskData(int32_t which);
    bool LoadConfigFile(const char* path);

    // The raw image and the output image of the current colour mode.
    DibImage* RawImage() const;
    DibImage* OutputImage() const;

    // Records code in the history and tells the notification window, if there is one.
    void RecordError(int32_t code);
    // Tells the notification window without recording; with no window the message goes to the
    // calling thread's own queue.
    void PostError(int32_t code);
    int32_t PopLastError();

    // Held by every exported call on this session's handle for the whole call.
    CriticalSection& CallLock() { return callLock; }

    std::unique_ptr<CKelvraUSB3G5SimpleSdk> device;
    SessionImages images;
    PreviewWindow preview;
    FramePipeline pipeline;
    CaptureFormat format;
    ImageFilters filters;
    GraySettings gray;
    CameraSettings camera;
    Corrections corrections;
    RecorderState recorder;
    AcquisitionState acquisition;
    AcquisitionWorker worker;
    HWND notifyWindow = nullptr;
    ErrorHistory errorHistory;
    int32_t deviceNumber = 0;
    // Set by the first selection; from then on the settings of the camera number are saved before
    // another is selected and when the session ends.
    int32_t settingsLoaded = 0;

private:
    // Capture set-up, shared by every mode: checks the camera and the capture window, makes the
    // images of the colour mode, sends the format and the camera settings. False with the
    // reason recorded.
    bool CaptureSetup();
    bool CaptureWindowValid() const;
    // Whether the capture window may change now (a device, no worker running); records why not.
    bool CaptureWindowChangeable();
    // Sends the stored capture window to the device, or, in capture state, sets up anew.
    bool UseCaptureWindow();
    bool MakeCaptureImages();
    void ReapplyCameraSettings();
    bool OpenPreviewWindow();
    void SetCallbackTarget(HWND window, BYTE* buffer, int32_t size, int32_t topDown);
    void StopRecorder();
    static DWORD WINAPI RecorderEntry(LPVOID session);
    void RunRecorder();
    void StartRateMeasurement();
    void RefreshExposureMs();

    // The worker's loops and what they share with SnapShot; all run with frameLock held except
    // the loops themselves.
    static void PreviewLoop(void* session);
    static void TriggerLoop(void* session);
    void RunPreviewLoop();
    void RunTriggerLoop();
    // One frame of a loop under frameLock: read, processed, drawn and copied to the callback
    // buffer. The window to announce it to, or null when there is none or the frame failed (the
    // failure is posted and recorded).
    HWND TakeFrame(bool preview);
    // Reads the camera's newest frame into raw, rows padded as a DIB's; false when none could be
    // read or it does not fit.
    bool ReadFrame(DibImage* raw);
    void FillFrameInfo(const DibImage* raw, int32_t frameRate);
    int32_t MeasureFrameRate();
    // Posts WM_CAMERA_FRAME (0, code) to the callback window, if there is one, and records code.
    void PostFrameError(int32_t code);
    // Copies image into the caller's buffer, storage row 0 first when topDown; a buffer smaller
    // than the image posts and records KELVRA_ERR_MEMORY and takes nothing.
    bool CopyToCaller(const DibImage* image, BYTE* buffer, int32_t size, int32_t topDown);

    void DestroyDevice();
    // Sends the camera group to the opened camera, recording KELVRA_ERR_CAMERA_IO for each
    // setting it refused; false when the camera went away meanwhile.
    [[nodiscard]] bool ApplyCameraSettings();
    // The first present camera of this model whose device number is at least first; -1 when none.
    int32_t NextPresentDevice(int32_t first);

    CriticalSection callLock;  // one exported call on this handle at a time
    // Lets the session stop listening when it goes, so a window that outlives many sessions does
    // not hear each device change once per session it ever had.
    HDEVNOTIFY deviceNotification = nullptr;
};
