// The camera session behind one application handle: the device object, the images of the frame
// pipeline, the preview and worker state, the image-processing settings and the error history.
// The session serves one camera model, the 880HQLN (product id 0x3180, 1280 x 1024).
#pragma once

#include "kelvra/KelvraSdk.h"
#include "kelvra/win32.h"
#include "session/ErrorHistory.h"

#include <array>
#include <cstdint>
#include <vector>

class CKelvraUSB3G5SimpleSdk;
struct DibImage;

struct DefectPixel {
    int32_t x;
    int32_t y;
};

class CKelvra {
public:
    static constexpr int32_t kProductId = 0x3180;
    static constexpr int32_t kSensorWidth = 1280;
    static constexpr int32_t kSensorHeight = 1024;
    static constexpr char kDeviceNameStem[] = "Kelvra880HQLN";
    // "Kelvra880HQLN_01" and its terminator.
    static constexpr int32_t kDeviceNameSize = 17;

    CKelvra();
    CKelvra(const CKelvra&) = delete;
    CKelvra& operator=(const CKelvra&) = delete;
    virtual ~CKelvra();

    bool Initialize(HWND window);
    bool SetDeviceNumber(int32_t number);
    int32_t EnumDevice(char names[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE]);
    int32_t EnumDeviceW(wchar_t names[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE]);
    bool GetDeviceName(int32_t index, char* name, int32_t size);
    bool GetDeviceNameW(int32_t index, wchar_t* name, int32_t size);
    bool GetCameraInfo(KelvraCameraInfo* info);

    // Records code in the history and tells the notification window, if there is one.
    void RecordError(int32_t code);
    // Tells the notification window without recording; with no window the message goes to the
    // calling thread's own queue.
    void PostError(int32_t code);
    int32_t PopLastError();

    CKelvraUSB3G5SimpleSdk* device = nullptr;
    DibImage* raw8 = nullptr;
    DibImage* raw16 = nullptr;
    DibImage* rgb24 = nullptr;
    DibImage* rgb32 = nullptr;
    DibImage* rgb48 = nullptr;
    DibImage* rgb64 = nullptr;
    DibImage* filterCopy = nullptr;
    DibImage* display = nullptr;
    DibImage* dark8 = nullptr;
    DibImage* white8 = nullptr;
    DibImage* dark16 = nullptr;
    DibImage* white16 = nullptr;
    DibImage* hotMap8 = nullptr;
    DibImage* deadMap8 = nullptr;
    DibImage* hotMap16 = nullptr;
    DibImage* deadMap16 = nullptr;
    DibImage* defectWork8 = nullptr;
    DibImage* defectWork16 = nullptr;
    HWND previewWindow = nullptr;
    HDC previewDc = nullptr;
    char windowClassName[256] = {};
    int32_t totalWidth = kSensorWidth;
    int32_t totalHeight = kSensorHeight;
    int32_t width = kSensorWidth;
    int32_t height = kSensorHeight;
    int32_t xOffset = 0;
    int32_t yOffset = 0;
    int32_t bufferCount = 4;
    int32_t brightness = 0;
    int32_t contrast = 0;
    int32_t hue = 0;
    int32_t saturation = 0;
    int32_t sharpness = 0;
    int32_t bayerGainRed = 0;
    int32_t bayerGainGreen = 0;
    int32_t bayerGainBlue = 0;
    int32_t gamma = 0;
    int32_t bayerMode = 0;
    int32_t grayMode = 0;
    int32_t grayGainR = 0;
    int32_t grayGainG1 = 0;
    int32_t grayGainG2 = 0;
    int32_t grayGainB = 0;
    int32_t grayOffsetR = 0;
    int32_t grayOffsetG1 = 0;
    int32_t grayOffsetG2 = 0;
    int32_t grayOffsetB = 0;
    int32_t bayerGainAuto = 0;
    int32_t whiteBalanceOnce1 = 0;
    int32_t whiteBalanceOnce2 = 0;
    int32_t grayAutoFrames = 0;
    void* imageDialog = nullptr;
    int32_t globalGain = 0;
    int32_t colourGainGreen1 = 0;
    int32_t colourGainRed = 0;
    int32_t colourGainBlue = 0;
    int32_t colourGainGreen2 = 0;
    int32_t exposureLines = 0;
    int32_t mirrorV = 0;
    int32_t mirrorH = 0;
    int32_t autoIris = 0;
    int32_t blackLevel = 0;
    int32_t peltierOn = 0;
    int32_t switch105 = 0;
    int32_t gainMode = 0;
    double exposureMs = 0.0;
    void* cameraDialog = nullptr;
    int32_t realExposure = 0;
    CRITICAL_SECTION frameLock;
    int32_t settingsLoaded = 0;
    std::vector<DefectPixel> defectList;
    int32_t configFilter = 0;
    int32_t recordFrameReady = 0;
    HANDLE recordThread = nullptr;
    DWORD recordThreadId = 0;
    HANDLE recordEvent = nullptr;
    int32_t workerRun = 0;
    HANDLE workerThread = nullptr;
    DWORD workerThreadId = 0;
    HANDLE workerDoneEvent = nullptr;
    HWND previewParent = nullptr;
    RECT previewRect = {0, 0, kSensorWidth, kSensorHeight};
    HWND notifyWindow = nullptr;
    HWND callbackWindow = nullptr;
    BYTE* callbackBuffer = nullptr;
    int32_t callbackBufferSize = 0;
    int32_t callbackTopDown = 0;
    FrameInfo frameInfo = {};
    int32_t acquisitionState = 0;
    int32_t colourMode = 0;
    int32_t subSample = 0;
    int32_t waitTime = 10;
    int32_t frameValid = 0;
    int32_t framesPerTenSeconds = 0;
    int32_t frameCounter = 0;
    DWORD rateTimer = 0;
    ErrorHistory errorHistory;
    int32_t frameTimeout = 3000;
    int32_t skipNextFrame = 0;
    int32_t deviceNumber = 0;
    int32_t maskFilter = 0;
    int32_t dotFilter = 0;
    CRITICAL_SECTION imageLock;

private:
    static constexpr int kImageCount = 18;
    // The eighteen image slots in declaration order.
    std::array<DibImage**, kImageCount> ImageSlots();
    void DestroyDevice();
    void DestroyImages();
    bool CreateCalibrationImages();
    void ApplyCameraSettings();
    // The first present camera of this model whose device number is at least first; -1 when none.
    int32_t NextPresentDevice(int32_t first);

    // Lets the session stop listening when it goes, so a window that outlives many sessions does
    // not hear each device change once per session it ever had.
    HDEVNOTIFY deviceNotification = nullptr;
};
