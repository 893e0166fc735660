/* KelvraSdk 880HQLN: the public C interface of the camera SDK.
 *
 * Every function but Kelvra_Initialize and Kelvra_GetDllVersion takes the camera handle that
 * Kelvra_Initialize returned. Results are 1 for success and 0 for failure, or the value asked
 * for.
 *
 * Failures. An unknown handle (never issued, or released) returns the function's failure value
 * (0, -1 or 0.0) and records nothing. Any other failure records an error code (KelvraErrorCode)
 * in the handle's error history, which Kelvra_GetLastError hands back newest first, and posts it
 * as WM_CAMERA_ERROR to the window given to Kelvra_Initialize. Functions marked "posts" only post
 * the code and leave the history alone; they post even without a window, and the message then
 * goes to the calling thread's own queue. Every function that needs the camera records
 * KELVRA_ERR_NOT_READY when the session has no device object (its initialisation failed); the
 * comments below name the other codes a function records.
 *
 * Threads. Calls on different handles run concurrently. Calls on one handle from several threads
 * are serialised: each call holds its session's call lock for its whole duration, so a second
 * thread waits until the first call returns. The session's own worker threads never take that
 * lock, which is why Kelvra_StopPreview can wait for them.
 *
 * Release. Kelvra_Release detaches the handle at once: later calls with it fail as unknown
 * handles. A call already running on another thread (or waiting for the call lock) keeps the
 * session alive; the session is destroyed (settings saved, workers stopped, camera closed) when
 * the last such call returns, on that thread, exactly once.
 *
 * Messages. WM_CAMERA_FRAME is posted by the session's acquisition worker thread. WM_CAMERA_ERROR
 * is posted by whichever thread recorded the error: the calling thread for a failed call, the
 * worker for frame errors. Both are posted (PostMessage), never sent, so they arrive on the thread
 * that owns the window.
 *
 * Ownership. Buffers passed to a function belong to the caller and are used only during the call,
 * except the callback buffer of Kelvra_CallBackPreview (and of Kelvra_Trigger), which must stay
 * valid until Kelvra_StopPreview, Kelvra_Close or Kelvra_Release returns. The FrameInfo whose
 * address WM_CAMERA_FRAME carries belongs to the session and is overwritten by the next frame.
 * Strings are copied into caller buffers; the SDK never hands out memory the caller must free. */
#ifndef KELVRA_SDK_H
#define KELVRA_SDK_H

/* HWND, BYTE and INT_PTR: the system's own on Windows; elsewhere only the base types of the
 * Win32 subset, so that an application sees no platform function it did not ask for. */
#ifdef _WIN32
#include <windows.h>
#else
#include "kelvra/win32/types.h"
#endif

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#ifdef _WIN32
#ifdef KELVRA_SDK_BUILD
#define KELVRA_API __declspec(dllexport)
#else
#define KELVRA_API __declspec(dllimport)
#endif
#else
#define KELVRA_API __attribute__((visibility("default")))
#endif

#if defined(__cplusplus)
#define KELVRA_SDK_STATIC_ASSERT(condition, message) static_assert(condition, message)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define KELVRA_SDK_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#else
/* C99 has no static assertion: a false condition makes a negative array size. */
#define KELVRA_SDK_STATIC_ASSERT(condition, message) extern char kelvra_sdk_layout_check[(condition) ? 1 : -1]
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Window messages ------------------------------------------------------------------- */

/** A frame reached the callback window: wParam = address of the FrameInfo, lParam = 0; or a
 *  frame error: wParam = 0, lParam = KELVRA_ERR_TRANSFER, KELVRA_ERR_DEVICE_LOST or KELVRA_ERR_MEMORY. */
#define WM_CAMERA_FRAME 0x8002
/** An error was recorded (WM_APP + 3): wParam = 0, lParam = the error code. */
#define WM_CAMERA_ERROR 0x8003

/* ---- Error codes (Kelvra_GetLastError, WM_CAMERA_ERROR) ------------------------------------ */

/** The codes a session records; 10 is never used. */
typedef enum KelvraErrorCode {
    KELVRA_ERR_NONE = 0,         /**< no error recorded (also recorded by a few successful reads) */
    KELVRA_ERR_NOT_READY = 1,    /**< no device object, or the call is not allowed in this state */
    KELVRA_ERR_NO_DEVICE = 2,    /**< the device number is not present or cannot be opened */
    KELVRA_ERR_THREAD = 3,       /**< a worker thread or its event could not be created */
    KELVRA_ERR_WINDOW = 4,       /**< the preview window could not be made, or no stored capture size matches */
    KELVRA_ERR_MEMORY = 5,       /**< an image could not be allocated, or the caller's buffer is too small */
    KELVRA_ERR_CAMERA_IO = 6,    /**< a register or device-value access failed */
    KELVRA_ERR_SIZE = 7,         /**< the capture window is out of range or the video format was rejected */
    KELVRA_ERR_TRANSFER = 8,     /**< a frame could not be read, or the preview could not be started */
    KELVRA_ERR_PARAMETER = 9,    /**< an argument is out of range, or null where a value is needed */
    KELVRA_ERR_UNSUPPORTED = 11, /**< the camera or this library does not offer the function */
    KELVRA_ERR_FAILED = 12,      /**< a wide string could not be converted, or the operation failed */
    KELVRA_ERR_DEVICE_LOST = 13, /**< the camera stopped answering during a preview */
    KELVRA_ERR_MASK_FILE = 14    /**< a mask file could not be read or written, or is not valid */
} KelvraErrorCode;

/* ---- Still image file types (Kelvra_SaveImage) ------------------------------------------ */

/** File type argument of Kelvra_SaveImage; the file name's extension plays no part. */
typedef enum KelvraImageFileType {
    KELVRA_IMAGE_BMP = 0,         /**< Windows bitmap */
    KELVRA_IMAGE_RAW = 1,         /**< pixel memory as stored, no header */
    KELVRA_IMAGE_JPEG_HIGH = 2,   /**< JPEG, quality 100 */
    KELVRA_IMAGE_JPEG_MEDIUM = 3, /**< JPEG, quality 70 */
    KELVRA_IMAGE_JPEG_LOW = 4,    /**< JPEG, quality 20 */
    KELVRA_IMAGE_PNG = 5,         /**< PNG */
    KELVRA_IMAGE_TIFF = 6         /**< TIFF, one uncompressed strip */
} KelvraImageFileType;

/* ---- Filter ids (Kelvra_GetFilterValue, Kelvra_SetFilterValue) ------------------------------ */

/** Setting ids; the named Get and Set wrappers below call the filter-value functions with them. */
typedef enum KelvraFilterId {
    KELVRA_FILTER_BRIGHTNESS = 1,       /**< -255..255 */
    KELVRA_FILTER_CONTRAST = 2,         /**< -127..127 */
    KELVRA_FILTER_HUE = 3,              /**< -360..360 */
    KELVRA_FILTER_SATURATION = 4,       /**< -255..255 */
    KELVRA_FILTER_SHARPNESS = 5,        /**< 0..30 */
    KELVRA_FILTER_BAYER_GAIN_RGB = 6,   /**< red + green * 256 + blue * 65536 */
    KELVRA_FILTER_BAYER_GAIN_RED = 7,   /**< 0..400 */
    KELVRA_FILTER_BAYER_GAIN_GREEN = 8, /**< 0..400 */
    KELVRA_FILTER_BAYER_GAIN_BLUE = 9,  /**< 0..400 */
    KELVRA_FILTER_BAYER_GAIN_AUTO = 10, /**< automatic white balance, 0 or 1 */
    KELVRA_FILTER_GAMMA = 11,           /**< 0..200, 100 leaves the image unchanged */
    KELVRA_FILTER_BAYER_MODE = 12,      /**< Bayer phase 0..3 */
    KELVRA_FILTER_GLOBAL_GAIN = 13,     /**< the camera's gain, in its range */
    KELVRA_FILTER_COLOR_GAIN_RED = 14,  /**< the camera's colour gains, in their range */
    KELVRA_FILTER_COLOR_GAIN_GREEN1 = 15,
    KELVRA_FILTER_COLOR_GAIN_GREEN2 = 16,
    KELVRA_FILTER_COLOR_GAIN_BLUE = 17,
    KELVRA_FILTER_EXPOSURE_TIME = 18, /**< the camera's integer exposure unit */
    KELVRA_FILTER_GRAY_MODE = 19,     /**< 0 off, 1 gain and offset, 2 grey from colour */
    KELVRA_FILTER_GRAY_GAIN_R = 20,   /**< grey channel gains 0..255 */
    KELVRA_FILTER_GRAY_GAIN_G1 = 21,
    KELVRA_FILTER_GRAY_GAIN_G2 = 22,
    KELVRA_FILTER_GRAY_GAIN_B = 23,
    KELVRA_FILTER_GRAY_OFFSET_R = 24, /**< grey channel offsets -255..255 */
    KELVRA_FILTER_GRAY_OFFSET_G1 = 25,
    KELVRA_FILTER_GRAY_OFFSET_G2 = 26,
    KELVRA_FILTER_GRAY_OFFSET_B = 27,
    KELVRA_FILTER_GRAY_AUTO_FRAMES = 28, /**< set only: 1 measures the grey gains once */
    KELVRA_FILTER_CHANNEL_GAIN_1 = 29,   /**< channel gains 1..4 (Kelvra_GetChannelGain) */
    KELVRA_FILTER_CHANNEL_GAIN_2 = 30,
    KELVRA_FILTER_CHANNEL_GAIN_3 = 31,
    KELVRA_FILTER_CHANNEL_GAIN_4 = 32,
    KELVRA_FILTER_CHANNEL_OFFSET_1 = 33, /**< channel offsets 1..4 (Kelvra_GetChannelOffset) */
    KELVRA_FILTER_CHANNEL_OFFSET_2 = 34,
    KELVRA_FILTER_CHANNEL_OFFSET_3 = 35,
    KELVRA_FILTER_CHANNEL_OFFSET_4 = 36,
    KELVRA_FILTER_PELTIER = 100,       /**< Peltier cooler switch */
    KELVRA_FILTER_TEMPERATURE = 101,   /**< not readable through this id: see Kelvra_GetTemperatureEx */
    KELVRA_FILTER_DOT_FILTER = 102,    /**< defect-pixel filter, 0 or 1 */
    KELVRA_FILTER_MASK_FILTER = 103,   /**< flat-field correction, 0 or 1 */
    KELVRA_FILTER_GAIN_MODE = 104,     /**< the camera's gain mode */
    KELVRA_FILTER_DEVICE_SWITCH = 105, /**< the camera's on/off setting */
    KELVRA_FILTER_BLACK_LEVEL = 106    /**< the camera's black level */
} KelvraFilterId;

/* ---- Records ---------------------------------------------------------------------------- */

/** Kelvra_EnumDevice fills this many names of KELVRA_DEVICE_NAME_SIZE characters. */
#define KELVRA_ENUM_DEVICE_COUNT 10
/** Characters per name of Kelvra_EnumDevice and Kelvra_EnumDeviceW, terminator included. */
#define KELVRA_DEVICE_NAME_SIZE 256

/** Announced with WM_CAMERA_FRAME; it lives in the session and the next frame overwrites it. */
typedef struct FrameInfo {
    int32_t reserved;     /**< always 0 */
    int32_t width;        /**< width of the raw frame in pixels */
    int32_t height;       /**< height of the raw frame in rows */
    int32_t bitsPerPixel; /**< 8, 16, 24, 32, 48 or 64, by colour mode */
    int32_t frameRate;    /**< measured frames per second x 10; 0 for triggered frames */
    BYTE* buffer;         /**< the callback buffer the frame was copied into, or NULL */
} FrameInfo;

/** Kelvra_GetCameraInfo: set size first; 36 bytes get the integer fields, 56 the doubles too. */
typedef struct KelvraCameraInfo {
    uint32_t size;        /**< size of the record the caller passes, in bytes */
    int32_t sensorWidth;  /**< sensor width in pixels */
    int32_t sensorHeight; /**< sensor height in rows */
    int32_t gainMin;      /**< global gain range */
    int32_t gainMax;
    int32_t colorGainMin; /**< colour gain range */
    int32_t colorGainMax;
    int32_t exposureMin; /**< exposure range in the camera's integer unit */
    int32_t exposureMax;
    double exposureMsMin; /**< exposure range in milliseconds (records of 56 bytes or more) */
    double exposureMsMax;
} KelvraCameraInfo;

/** The smallest KelvraCameraInfo size that Kelvra_GetCameraInfo accepts: the integer fields. */
#define KELVRA_CAMERA_INFO_BASE_SIZE 36

KELVRA_SDK_STATIC_ASSERT(sizeof(int32_t) == 4 && sizeof(double) == 8, "unexpected scalar sizes");
KELVRA_SDK_STATIC_ASSERT(offsetof(FrameInfo, frameRate) == 16, "FrameInfo layout");
KELVRA_SDK_STATIC_ASSERT(sizeof(void*) != 8 || offsetof(FrameInfo, buffer) == 24, "FrameInfo layout");
KELVRA_SDK_STATIC_ASSERT(sizeof(void*) != 8 || sizeof(FrameInfo) == 32, "FrameInfo layout");
KELVRA_SDK_STATIC_ASSERT(offsetof(KelvraCameraInfo, exposureMax) + sizeof(int32_t) == KELVRA_CAMERA_INFO_BASE_SIZE,
                         "KelvraCameraInfo layout");
KELVRA_SDK_STATIC_ASSERT(offsetof(KelvraCameraInfo, exposureMsMin) == 40, "KelvraCameraInfo layout");
KELVRA_SDK_STATIC_ASSERT(offsetof(KelvraCameraInfo, exposureMsMax) == 48, "KelvraCameraInfo layout");
KELVRA_SDK_STATIC_ASSERT(sizeof(KelvraCameraInfo) == 56, "KelvraCameraInfo layout");

/* ---- Session and devices ---------------------------------------------------------------- */

/** Makes a camera session; window (may be NULL) gets WM_CAMERA_ERROR and device notifications.
 * Returns the handle, 0 only when no session could be made. The handle is returned even when
 * the session could not open its resources: its history then holds KELVRA_ERR_MEMORY (the
 * device object, an image or the USB controller could not be made). A window handle that is not
 * a window is taken as NULL: the session works, nothing is posted, and the history holds
 * KELVRA_ERR_WINDOW; so it does when a window cannot be registered for device notifications (it
 * then still gets WM_CAMERA_ERROR, but no WM_DEVICECHANGE). */
KELVRA_API int32_t Kelvra_Initialize(HWND window);
/** Detaches the handle and destroys the session (see Release above); 1, or 0 for an unknown
 * handle. Records nothing. */
KELVRA_API int32_t Kelvra_Release(int32_t handle);
/** The library's version, 0x02030520; takes no handle and cannot fail. */
KELVRA_API int32_t Kelvra_GetDllVersion(void);
/** Takes the newest recorded error code off the history (20 entries); 0 when it is empty or the
 * handle is unknown. Records nothing. */
KELVRA_API int32_t Kelvra_GetLastError(int32_t handle);
/** Always 0; records nothing. */
KELVRA_API int32_t Kelvra_GetStatus(int32_t handle);
/** Selects and opens camera number (0-based among attached cameras of this model) and applies
 * its stored gain, exposure, mirrors and cooling. Returns 0 and records KELVRA_ERR_NO_DEVICE when
 * that camera is not present, cannot be opened, its head cannot be identified, or it vanishes
 * while its settings are sent (within about a second; a head that stays silent fails within one
 * reply limit of 60 s). Returns 1 when the camera is selected but refused some stored settings:
 * each refused setting records KELVRA_ERR_CAMERA_IO, and the camera keeps its own value. */
KELVRA_API int32_t Kelvra_SetDeviceNumber(int32_t handle, int32_t number);
/** Writes the names of the attached cameras into names, empties the rest; returns their count.
 * Records KELVRA_ERR_PARAMETER for a null names. */
KELVRA_API int32_t Kelvra_EnumDevice(int32_t handle, char names[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE]);
/** Kelvra_EnumDevice with wide-character names. Records KELVRA_ERR_PARAMETER for a null names
 * and KELVRA_ERR_FAILED for a name that cannot be converted (that entry stays empty, the count
 * includes it). */
KELVRA_API int32_t Kelvra_EnumDeviceW(int32_t handle, wchar_t names[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE]);
/** Writes the name of camera index into name (size bytes; at least 17, the name and its
 * terminator). Records KELVRA_ERR_PARAMETER for a null name or a smaller size,
 * KELVRA_ERR_NO_DEVICE for an index out of range or not present. */
KELVRA_API int32_t Kelvra_GetDeviceName(int32_t handle, int32_t index, char* name, int32_t size);
/** Kelvra_GetDeviceName into a wide buffer of size characters. Records KELVRA_ERR_PARAMETER for
 * a null name, the codes of Kelvra_GetDeviceName, and KELVRA_ERR_FAILED when size cannot hold
 * the name or it cannot be converted. */
KELVRA_API int32_t Kelvra_GetDeviceNameW(int32_t handle, int32_t index, wchar_t* name, int32_t size);
/** Fills the camera's sizes and ranges into info, as far as info->size allows. Records
 * KELVRA_ERR_PARAMETER for a null info, KELVRA_ERR_MEMORY when info->size is below
 * KELVRA_CAMERA_INFO_BASE_SIZE. */
KELVRA_API int32_t Kelvra_GetCameraInfo(int32_t handle, KelvraCameraInfo* info);

/* ---- Acquisition -------------------------------------------------------------------------- */

/** Starts a continuous preview into the preview window. Records the capture set-up codes
 * (KELVRA_ERR_NO_DEVICE, KELVRA_ERR_SIZE, KELVRA_ERR_MEMORY), KELVRA_ERR_WINDOW when the
 * preview window cannot be made, the codes of Kelvra_StartPreview and then KELVRA_ERR_TRANSFER
 * when the preview cannot be started. While it runs, the worker records KELVRA_ERR_TRANSFER for
 * a frame that cannot be read and KELVRA_ERR_DEVICE_LOST when the camera stops answering (the
 * preview then ends). */
KELVRA_API int32_t Kelvra_Preview(int32_t handle);
/** Starts a continuous preview that also copies each frame into buffer and posts
 * WM_CAMERA_FRAME to window; topDown != 0 keeps the top row first. Fails as Kelvra_Preview
 * does. A frame error is also posted to window as WM_CAMERA_FRAME (wParam 0, lParam the code);
 * a buffer smaller than the image records KELVRA_ERR_MEMORY for every frame while the preview
 * goes on. Called while its preview runs, it only replaces window, buffer, size and topDown
 * from the next frame on and returns 1. */
KELVRA_API int32_t Kelvra_CallBackPreview(int32_t handle, HWND window, BYTE* buffer, int32_t size, int32_t topDown);
/** Starts the preview worker (1 also when it already runs). Records KELVRA_ERR_NOT_READY in
 * capture or trigger state, KELVRA_ERR_CAMERA_IO when the camera refuses to stream,
 * KELVRA_ERR_THREAD when the worker or its event cannot be created. */
KELVRA_API int32_t Kelvra_StartPreview(int32_t handle);
/** Stops the preview or trigger worker and the recorder, waiting until they have ended: a worker
 * waiting for a frame or a trigger wakes at once, so the call returns within about one frame
 * period. Records nothing else. */
KELVRA_API int32_t Kelvra_StopPreview(int32_t handle);
/** Stops all acquisition, then destroys the preview window; always 1 for a known handle.
 * Records KELVRA_ERR_NOT_READY only for a session without a device object. */
KELVRA_API int32_t Kelvra_Close(int32_t handle);
/** Prepares single-frame capture for Kelvra_SnapShot. Records KELVRA_ERR_NOT_READY while a
 * preview or trigger runs, and the capture set-up codes (KELVRA_ERR_NO_DEVICE, KELVRA_ERR_SIZE,
 * KELVRA_ERR_MEMORY). */
KELVRA_API int32_t Kelvra_Capture(int32_t handle);
/** Takes one frame now and copies it into buffer (NULL keeps it for Kelvra_GetImage and
 * Kelvra_SaveImage). Records KELVRA_ERR_NOT_READY while a preview or trigger runs, the capture
 * set-up codes, KELVRA_ERR_TRANSFER when no frame can be read and KELVRA_ERR_MEMORY when buffer
 * is smaller than the image. */
KELVRA_API int32_t Kelvra_SnapShot(int32_t handle, BYTE* buffer, int32_t size, int32_t topDown);
/** Copies the last processed frame into buffer. Records KELVRA_ERR_NOT_READY when there is no
 * image of the colour mode, KELVRA_ERR_MEMORY when buffer is smaller than the image. */
KELVRA_API int32_t Kelvra_GetImage(int32_t handle, BYTE* buffer, int32_t size, int32_t topDown);
/** Collects hardware-triggered frames on a worker: each is copied into buffer and announced to
 * window, with a frame rate of 0. Records KELVRA_ERR_NOT_READY while a preview or a trigger
 * runs or in capture state (stop the running trigger first to change its target),
 * KELVRA_ERR_WINDOW, the capture set-up codes and KELVRA_ERR_THREAD; a frame that does not fit
 * buffer records KELVRA_ERR_MEMORY and is skipped, one that cannot be read records and posts
 * KELVRA_ERR_TRANSFER, and a camera that went away records and posts KELVRA_ERR_DEVICE_LOST and
 * ends the loop. The first trigger is taken once the exposure in progress at the start has ended
 * (a tenth of the exposure value plus 100 ms). */
KELVRA_API int32_t Kelvra_Trigger(int32_t handle, HWND window, BYTE* buffer, int32_t size, int32_t topDown);
/** Previews and records durationMs milliseconds into an uncompressed AVI file at path (24-bit
 * frames; movies past 1 GiB go on in OpenDML RIFF lists); withWindow != 0 shows the preview.
 * The frame that arrives first after the duration is the last; the measured frame rate goes into
 * the headers. Stopping the preview, closing, releasing the handle or losing the camera earlier
 * ends the movie with a whole file of the frames recorded. Records KELVRA_ERR_NOT_READY while a
 * recording runs, KELVRA_ERR_PARAMETER for a null or empty path or a negative duration,
 * KELVRA_ERR_WINDOW, KELVRA_ERR_FAILED when the preview cannot start or the file cannot be
 * opened, KELVRA_ERR_THREAD when the recorder cannot be started; a write that fails later (a
 * full disk) ends the recording, keeps the frames written and records KELVRA_ERR_FAILED, while
 * the preview goes on. */
KELVRA_API int32_t Kelvra_Record(int32_t handle, const char* path, int32_t durationMs, int32_t withWindow);
/** Kelvra_Record with a wide-character path; KELVRA_ERR_FAILED when the path cannot be
 * converted. */
KELVRA_API int32_t Kelvra_RecordW(int32_t handle, const wchar_t* path, int32_t durationMs, int32_t withWindow);

/* ---- Preview window and capture geometry -------------------------------------------------- */

/** Places the next preview window: a child of parent at (x, y, width, height), or top-level
 * when parent is NULL. Records only KELVRA_ERR_NOT_READY. */
KELVRA_API int32_t Kelvra_SetPreviewWindow(int32_t handle, HWND parent, int32_t x, int32_t y, int32_t width,
                                           int32_t height);
/** Sets the total sensor size and the capture window within it. Records KELVRA_ERR_NOT_READY
 * while a preview or trigger runs (stop it first), KELVRA_ERR_PARAMETER for a width or height
 * other than the sensor's on a camera that cannot crop that way, KELVRA_ERR_SIZE for a window
 * out of range (the values stay stored) or one the camera refuses. In capture state the images
 * are made anew for the next Kelvra_SnapShot. */
KELVRA_API int32_t Kelvra_SetCaptureWindowEx(int32_t handle, int32_t totalWidth, int32_t xOffset, int32_t width,
                                             int32_t totalHeight, int32_t yOffset, int32_t height);
/** Reads the values of Kelvra_SetCaptureWindowEx; NULL pointers are skipped. Always 1 for a
 * known handle. */
KELVRA_API int32_t Kelvra_GetCaptureWindowEx(int32_t handle, int32_t* totalWidth, int32_t* xOffset, int32_t* width,
                                             int32_t* totalHeight, int32_t* yOffset, int32_t* height);
/** Selects the stored capture size of width x height. Records KELVRA_ERR_WINDOW when no stored
 * size matches, KELVRA_ERR_SIZE when the camera refuses it. */
KELVRA_API int32_t Kelvra_SetCaptureWindow(int32_t handle, int32_t width, int32_t height);
/** The capture width in pixels. */
KELVRA_API int32_t Kelvra_Width(int32_t handle);
/** The capture height in rows. */
KELVRA_API int32_t Kelvra_Height(int32_t handle);

/* ---- Format ------------------------------------------------------------------------------ */

/** Sets the output bits per pixel; this camera accepts 16 only: any other value records
 * KELVRA_ERR_PARAMETER. Changing the mode while a preview or trigger runs records
 * KELVRA_ERR_NOT_READY. */
KELVRA_API int32_t Kelvra_SetColorMode(int32_t handle, int32_t bits);
/** The output bits per pixel: 8, 16, 24, 32, 48 or 64; -1 for an unknown handle. */
KELVRA_API int32_t Kelvra_GetColorMode(int32_t handle);
/** Sets the subsampling code; this camera accepts 0 only (another code returns 0 and records
 * nothing). */
KELVRA_API int32_t Kelvra_SetSubSample(int32_t handle, int32_t code);
/** The subsampling code; -1 for an unknown handle. */
KELVRA_API int32_t Kelvra_GetSubSample(int32_t handle);
/** Sets the milliseconds the preview worker sleeps per frame; a negative ms returns 0 and
 * records nothing. */
KELVRA_API int32_t Kelvra_SetWaitTime(int32_t handle, int32_t ms);
/** The preview worker's sleep per frame in milliseconds; -1 for an unknown handle. */
KELVRA_API int32_t Kelvra_GetWaitTime(int32_t handle);
/** Passes the sampling rate to the camera; the camera's result. Records nothing. */
KELVRA_API int32_t Kelvra_SetSamplingRate(int32_t handle, int32_t rate);
/** Not offered by this camera: writes 0 to value and returns 0. */
KELVRA_API int32_t Kelvra_GetSamplingRate(int32_t handle, int32_t* value);
/** Not offered by this camera: writes 0 to value and returns 0. */
KELVRA_API int32_t Kelvra_GetVideoFormat(int32_t handle, int32_t* value);

/* ---- Functions this camera does not offer (each posts or records KELVRA_ERR_UNSUPPORTED, returns 0) -- */

/** Not offered: posts KELVRA_ERR_UNSUPPORTED, returns 0. */
KELVRA_API int32_t Kelvra_Fps(int32_t handle);
/** Not offered: posts KELVRA_ERR_UNSUPPORTED, returns 0. */
KELVRA_API int32_t Kelvra_GetHalfClock(int32_t handle);
/** Not offered: posts KELVRA_ERR_UNSUPPORTED, returns 0. */
KELVRA_API int32_t Kelvra_SetHalfClock(int32_t handle, int32_t value);
/** Not offered: posts KELVRA_ERR_UNSUPPORTED, returns 0. */
KELVRA_API int32_t Kelvra_GetInternalCorrection(int32_t handle);
/** Not offered: posts KELVRA_ERR_UNSUPPORTED, returns 0. */
KELVRA_API int32_t Kelvra_SetInternalCorrection(int32_t handle, int32_t value);
/** Not offered: posts KELVRA_ERR_UNSUPPORTED, returns 0. */
KELVRA_API int32_t Kelvra_SetCrossbar(int32_t handle, int32_t value);
/** Not offered: records KELVRA_ERR_UNSUPPORTED, returns 0. */
KELVRA_API int32_t Kelvra_SendText(int32_t handle, const char* text);
/** Not offered: records KELVRA_ERR_UNSUPPORTED, returns 0. */
KELVRA_API int32_t Kelvra_ReceiveText(int32_t handle, char* text, int32_t size);

/* ---- Filter values ------------------------------------------------------------------------- */

/* Failures of the filter values and their named wrappers: a getter sets ok to 0 on failure. An
 * unknown id records KELVRA_ERR_PARAMETER, and so does a value outside the setting's range, which
 * leaves the setting unchanged; the ranges of the camera's gains and exposure come from the
 * camera. A camera without the feature behind an id records KELVRA_ERR_UNSUPPORTED; a failed
 * camera access records KELVRA_ERR_CAMERA_IO. Reading KELVRA_FILTER_DEVICE_SWITCH or
 * KELVRA_FILTER_BLACK_LEVEL, and setting the black level, record KELVRA_ERR_NONE on success. */

/** Reads setting id (KelvraFilterId); ok (may be NULL, as for every getter with an ok) is set
 * to 1 on success, 0 on failure. */
KELVRA_API int32_t Kelvra_GetFilterValue(int32_t handle, int32_t id, int32_t* ok);
/** Sets setting id (KelvraFilterId); an out-of-range value is refused and the setting kept. */
KELVRA_API int32_t Kelvra_SetFilterValue(int32_t handle, int32_t id, int32_t value);
/** Channel gain of channel 1..4 (another channel returns 0 and records nothing); ok as for
 * Kelvra_GetFilterValue. This camera refuses all four: channels 1..4 record
 * KELVRA_ERR_PARAMETER. */
KELVRA_API int32_t Kelvra_GetChannelGain(int32_t handle, int32_t channel, int32_t* ok);
/** Sets the channel gain of channel 1..4; refused as the getter is (KELVRA_ERR_PARAMETER),
 * another channel returns 0 and records nothing. */
KELVRA_API int32_t Kelvra_SetChannelGain(int32_t handle, int32_t channel, int32_t value);
/** Channel offset of channel 1..4 (another channel returns 0 and records nothing); ok as for
 * Kelvra_GetFilterValue. This camera refuses all four: channels 1..4 record
 * KELVRA_ERR_PARAMETER. */
KELVRA_API int32_t Kelvra_GetChannelOffset(int32_t handle, int32_t channel, int32_t* ok);
/** Sets the channel offset of channel 1..4; refused as the getter is (KELVRA_ERR_PARAMETER),
 * another channel returns 0 and records nothing. */
KELVRA_API int32_t Kelvra_SetChannelOffset(int32_t handle, int32_t channel, int32_t value);

/** Brightness filter value. */
KELVRA_API int32_t Kelvra_GetBrightness(int32_t handle, int32_t* ok);
/** Sets the brightness filter, -255..255. */
KELVRA_API int32_t Kelvra_SetBrightness(int32_t handle, int32_t value);
/** Contrast filter value. */
KELVRA_API int32_t Kelvra_GetContrast(int32_t handle, int32_t* ok);
/** Sets the contrast filter, -127..127. */
KELVRA_API int32_t Kelvra_SetContrast(int32_t handle, int32_t value);
/** Hue filter value. */
KELVRA_API int32_t Kelvra_GetHue(int32_t handle, int32_t* ok);
/** Sets the hue filter, -360..360. */
KELVRA_API int32_t Kelvra_SetHue(int32_t handle, int32_t value);
/** Saturation filter value. */
KELVRA_API int32_t Kelvra_GetSaturation(int32_t handle, int32_t* ok);
/** Sets the saturation filter, -255..255. */
KELVRA_API int32_t Kelvra_SetSaturation(int32_t handle, int32_t value);
/** Sharpness filter value. */
KELVRA_API int32_t Kelvra_GetSharpness(int32_t handle, int32_t* ok);
/** Sets the sharpness filter, 0..30. */
KELVRA_API int32_t Kelvra_SetSharpness(int32_t handle, int32_t value);
/** The three Bayer gains packed as red + green * 256 + blue * 65536 (low 8 bits of each). */
KELVRA_API int32_t Kelvra_GetBayerGainRGB(int32_t handle, int32_t* ok);
/** Sets the three Bayer gains from red = bits 0..7, green = bits 8..15, blue = bits 16..23. */
KELVRA_API int32_t Kelvra_SetBayerGainRGB(int32_t handle, int32_t value);
/** Red Bayer gain. */
KELVRA_API int32_t Kelvra_GetBayerGainRed(int32_t handle, int32_t* ok);
/** Sets the red Bayer gain, 0..400. */
KELVRA_API int32_t Kelvra_SetBayerGainRed(int32_t handle, int32_t value);
/** Green Bayer gain. */
KELVRA_API int32_t Kelvra_GetBayerGainGreen(int32_t handle, int32_t* ok);
/** Sets the green Bayer gain, 0..400. */
KELVRA_API int32_t Kelvra_SetBayerGainGreen(int32_t handle, int32_t value);
/** Blue Bayer gain. */
KELVRA_API int32_t Kelvra_GetBayerGainBlue(int32_t handle, int32_t* ok);
/** Sets the blue Bayer gain, 0..400. */
KELVRA_API int32_t Kelvra_SetBayerGainBlue(int32_t handle, int32_t value);
/** Automatic white balance switch. */
KELVRA_API int32_t Kelvra_GetBayerGainAuto(int32_t handle, int32_t* ok);
/** Switches automatic white balance on (non-zero) or off. */
KELVRA_API int32_t Kelvra_SetBayerGainAuto(int32_t handle, int32_t value);
/** Gamma filter value. */
KELVRA_API int32_t Kelvra_GetGamma(int32_t handle, int32_t* ok);
/** Sets the gamma filter, 0..200 (100 leaves the image unchanged). */
KELVRA_API int32_t Kelvra_SetGamma(int32_t handle, int32_t value);
/** Bayer phase. */
KELVRA_API int32_t Kelvra_GetBayerMode(int32_t handle, int32_t* ok);
/** Sets the Bayer phase, 0..3. */
KELVRA_API int32_t Kelvra_SetBayerMode(int32_t handle, int32_t value);
/** The camera's global gain. */
KELVRA_API int32_t Kelvra_GetGlobalGain(int32_t handle, int32_t* ok);
/** Sets the camera's global gain within its range. */
KELVRA_API int32_t Kelvra_SetGlobalGain(int32_t handle, int32_t value);
/** The camera's red colour gain. */
KELVRA_API int32_t Kelvra_GetColorGainRed(int32_t handle, int32_t* ok);
/** Sets the camera's red colour gain within its range. */
KELVRA_API int32_t Kelvra_SetColorGainRed(int32_t handle, int32_t value);
/** The camera's first green colour gain. */
KELVRA_API int32_t Kelvra_GetColorGainGreen1(int32_t handle, int32_t* ok);
/** Sets the camera's first green colour gain within its range. */
KELVRA_API int32_t Kelvra_SetColorGainGreen1(int32_t handle, int32_t value);
/** The camera's second green colour gain. */
KELVRA_API int32_t Kelvra_GetColorGainGreen2(int32_t handle, int32_t* ok);
/** Sets the camera's second green colour gain within its range. */
KELVRA_API int32_t Kelvra_SetColorGainGreen2(int32_t handle, int32_t value);
/** The camera's blue colour gain. */
KELVRA_API int32_t Kelvra_GetColorGainBlue(int32_t handle, int32_t* ok);
/** Sets the camera's blue colour gain within its range. */
KELVRA_API int32_t Kelvra_SetColorGainBlue(int32_t handle, int32_t value);
/** The camera's exposure in its integer unit. */
KELVRA_API int32_t Kelvra_GetExposureTime(int32_t handle, int32_t* ok);
/** Sets the camera's exposure in its integer unit, within its range. */
KELVRA_API int32_t Kelvra_SetExposureTime(int32_t handle, int32_t value);
/** Grey processing mode. */
KELVRA_API int32_t Kelvra_GetGrayMode(int32_t handle, int32_t* ok);
/** Sets grey processing: 0 off, 1 gain and offset, 2 grey from colour. */
KELVRA_API int32_t Kelvra_SetGrayMode(int32_t handle, int32_t value);
/** Grey gain of the red channel. */
KELVRA_API int32_t Kelvra_GetGrayGainR(int32_t handle, int32_t* ok);
/** Sets the grey gain of the red channel, 0..255. */
KELVRA_API int32_t Kelvra_SetGrayGainR(int32_t handle, int32_t value);
/** Grey gain of the first green channel. */
KELVRA_API int32_t Kelvra_GetGrayGainG1(int32_t handle, int32_t* ok);
/** Sets the grey gain of the first green channel, 0..255. */
KELVRA_API int32_t Kelvra_SetGrayGainG1(int32_t handle, int32_t value);
/** Grey gain of the second green channel. */
KELVRA_API int32_t Kelvra_GetGrayGainG2(int32_t handle, int32_t* ok);
/** Sets the grey gain of the second green channel, 0..255. */
KELVRA_API int32_t Kelvra_SetGrayGainG2(int32_t handle, int32_t value);
/** Grey gain of the blue channel. */
KELVRA_API int32_t Kelvra_GetGrayGainB(int32_t handle, int32_t* ok);
/** Sets the grey gain of the blue channel, 0..255. */
KELVRA_API int32_t Kelvra_SetGrayGainB(int32_t handle, int32_t value);
/** Grey offset of the red channel. */
KELVRA_API int32_t Kelvra_GetGrayOffsetR(int32_t handle, int32_t* ok);
/** Sets the grey offset of the red channel, -255..255. */
KELVRA_API int32_t Kelvra_SetGrayOffsetR(int32_t handle, int32_t value);
/** Grey offset of the first green channel. */
KELVRA_API int32_t Kelvra_GetGrayOffsetG1(int32_t handle, int32_t* ok);
/** Sets the grey offset of the first green channel, -255..255. */
KELVRA_API int32_t Kelvra_SetGrayOffsetG1(int32_t handle, int32_t value);
/** Grey offset of the second green channel. */
KELVRA_API int32_t Kelvra_GetGrayOffsetG2(int32_t handle, int32_t* ok);
/** Sets the grey offset of the second green channel, -255..255. */
KELVRA_API int32_t Kelvra_SetGrayOffsetG2(int32_t handle, int32_t value);
/** Grey offset of the blue channel. */
KELVRA_API int32_t Kelvra_GetGrayOffsetB(int32_t handle, int32_t* ok);
/** Sets the grey offset of the blue channel, -255..255. */
KELVRA_API int32_t Kelvra_SetGrayOffsetB(int32_t handle, int32_t value);
/** The Peltier cooler switch; -1 and KELVRA_ERR_UNSUPPORTED for a camera without a cooler. */
KELVRA_API int32_t Kelvra_GetPeltier(int32_t handle, int32_t* ok);
/** Switches the Peltier cooler on (non-zero) or off. Records KELVRA_ERR_UNSUPPORTED for a
 * camera without a cooler. */
KELVRA_API int32_t Kelvra_SetPeltier(int32_t handle, int32_t value);
/** Not readable through the filter values: returns -1 (ok 0) and records
 * KELVRA_ERR_UNSUPPORTED; use Kelvra_GetTemperatureEx. */
KELVRA_API int32_t Kelvra_GetTemperature(int32_t handle, int32_t* ok);
/** The temperature cannot be set: refused with KELVRA_ERR_PARAMETER. */
KELVRA_API int32_t Kelvra_SetTemperature(int32_t handle, int32_t value);
/** Defect-pixel (dot) filter switch. */
KELVRA_API int32_t Kelvra_GetDotFilter(int32_t handle, int32_t* ok);
/** Switches the defect-pixel filter: 0 or 1. */
KELVRA_API int32_t Kelvra_SetDotFilter(int32_t handle, int32_t value);
/** Flat-field (mask) correction switch. */
KELVRA_API int32_t Kelvra_GetMaskFilter(int32_t handle, int32_t* ok);
/** Switches the flat-field correction: 0 or 1. */
KELVRA_API int32_t Kelvra_SetMaskFilter(int32_t handle, int32_t value);

/* ---- Camera controls ------------------------------------------------------------------------ */

/** Sets the exposure in milliseconds. Records KELVRA_ERR_UNSUPPORTED on cameras without
 * millisecond exposure, KELVRA_ERR_PARAMETER for a value that is not a finite, non-negative
 * number of milliseconds whose whole part times 10000 fits in 32 bits; a value the camera
 * refuses returns 0 and records nothing. */
KELVRA_API int32_t Kelvra_SetExposureTimeEx(int32_t handle, double ms);
/** The exposure in milliseconds; -1.0 on failure, 0.0 for an unknown handle. Records
 * KELVRA_ERR_UNSUPPORTED on cameras without millisecond exposure. */
KELVRA_API double Kelvra_GetExposureTimeEx(int32_t handle, int32_t* ok);
/** Sets the exposure to value / 100 in the camera's integer unit. Records KELVRA_ERR_PARAMETER
 * outside the camera's exposure range. */
KELVRA_API int32_t Kelvra_SetRealExposureTime(int32_t handle, int32_t value);
/** The exposure in the camera's integer unit x 100. */
KELVRA_API int32_t Kelvra_GetRealExposureTime(int32_t handle, int32_t* ok);
/** The camera's temperature; 0.0 when it cannot be read. Records KELVRA_ERR_NONE on success,
 * KELVRA_ERR_FAILED when the read fails, KELVRA_ERR_UNSUPPORTED without a sensor. */
KELVRA_API double Kelvra_GetTemperatureEx(int32_t handle, int32_t* ok);
/** Mirrors the image horizontally (flag != 0). */
KELVRA_API int32_t Kelvra_SetMirrorH(int32_t handle, int32_t flag);
/** Mirrors the image vertically (flag != 0). Without a device object it posts
 * KELVRA_ERR_NOT_READY instead of recording it. */
KELVRA_API int32_t Kelvra_SetMirrorV(int32_t handle, int32_t flag);
/** The horizontal mirror switch. */
KELVRA_API int32_t Kelvra_GetMirrorH(int32_t handle);
/** The vertical mirror switch. Without a device object it posts KELVRA_ERR_NOT_READY instead of
 * recording it. */
KELVRA_API int32_t Kelvra_GetMirrorV(int32_t handle);
/** Automatic exposure control: 0 off, 1 by exposure, 2 by gain; another mode posts
 * KELVRA_ERR_PARAMETER. */
KELVRA_API int32_t Kelvra_SetAutoIris(int32_t handle, int32_t mode);
/** The automatic exposure mode; ok is set to 1. */
KELVRA_API int32_t Kelvra_GetAutoIris(int32_t handle, int32_t* ok);
/** Switches the defect-list correction of the configuration file: 0 or 1; another value records
 * KELVRA_ERR_PARAMETER. */
KELVRA_API int32_t Kelvra_SetConfigFilter(int32_t handle, int32_t flag);
/** The defect-list correction switch. */
KELVRA_API int32_t Kelvra_GetConfigFilter(int32_t handle);

/* ---- Registers and I/O -------------------------------------------------------------------- */

/** Reads a camera register (address masked to 8 bits); ok is set to 0 and KELVRA_ERR_CAMERA_IO
 * recorded on failure. */
KELVRA_API INT_PTR Kelvra_ReadRegister(int32_t handle, int32_t address, int32_t* ok);
/** Reads a camera register at the full address; ok is set to 0 and KELVRA_ERR_CAMERA_IO
 * recorded on failure. */
KELVRA_API INT_PTR Kelvra_ReadRegisterEx(int32_t handle, int32_t address, int32_t* ok);
/** Writes the low 16 bits of value to a camera register (address masked to 8 bits). Records
 * KELVRA_ERR_CAMERA_IO on failure. */
KELVRA_API int32_t Kelvra_WriteRegister(int32_t handle, int32_t address, int32_t value);
/** Writes value to a camera register at the full address. Records KELVRA_ERR_CAMERA_IO on
 * failure. */
KELVRA_API int32_t Kelvra_WriteRegisterEx(int32_t handle, int32_t address, int32_t value);
/** Reads a 16-bit board FPGA register (address masked to 8 bits); ok is set to 0 and
 * KELVRA_ERR_CAMERA_IO recorded on failure. */
KELVRA_API int32_t Kelvra_Fpga_ReadRegister(int32_t handle, int32_t address, int32_t* ok);
/** Writes the low 16 bits of value to a board FPGA register (address masked to 8 bits). Records
 * KELVRA_ERR_CAMERA_IO on failure. */
KELVRA_API int32_t Kelvra_Fpga_WriteRegister(int32_t handle, int32_t address, int32_t value);
/** Reads the I/O port into value. Posts KELVRA_ERR_PARAMETER for a null value or a failed read,
 * KELVRA_ERR_NOT_READY without a device object. */
KELVRA_API int32_t Kelvra_GetIOPort(int32_t handle, BYTE* value);
/** Writes the low 8 bits of value to the I/O port; the camera's result. Posts
 * KELVRA_ERR_NOT_READY without a device object. */
KELVRA_API int32_t Kelvra_SetIOPort(int32_t handle, int32_t value);
/** Reads the SROM byte at address (low 12 bits); on failure, or without a device object, ok is
 * set to 0 and KELVRA_ERR_NOT_READY posted. */
KELVRA_API int32_t Kelvra_ReadSromID(int32_t handle, int32_t address, int32_t* ok);
/** Writes the low byte of value to the SROM at address (low 12 bits), reads it back and writes
 * it again, up to ten times, until the SROM holds it. A failed write or read-back, a byte still
 * not held after the last attempt, or no device object posts KELVRA_ERR_NOT_READY and returns 0. */
KELVRA_API int32_t Kelvra_WriteSromID(int32_t handle, int32_t address, int32_t value);

/* ---- Files and dialogs -------------------------------------------------------------------- */

/** Saves the last processed frame to path as fileType (KelvraImageFileType), its top row at the
 * top of the picture. 16-bit grey and 48- and 64-bit colour keep 16 bits per sample in PNG and
 * TIFF; JPEG takes the high byte. Records KELVRA_ERR_NOT_READY before any frame was processed,
 * KELVRA_ERR_PARAMETER for a null or empty path; another fileType, or a file that cannot be
 * written, returns 0 and records nothing (and leaves no file). */
KELVRA_API int32_t Kelvra_SaveImage(int32_t handle, const char* path, int32_t fileType);
/** Kelvra_SaveImage with a wide-character path; KELVRA_ERR_FAILED when the path cannot be
 * converted. */
KELVRA_API int32_t Kelvra_SaveImageW(int32_t handle, const wchar_t* path, int32_t fileType);
/** Loads the dark and bright calibration masks (8- and 16-bit) from a mask file and remakes the
 * defect maps from them. The whole file is read and checked before any mask changes: a file that
 * cannot be read, does not match the sensor's size or ends early records KELVRA_ERR_MASK_FILE and
 * leaves the masks as they were. */
KELVRA_API int32_t Kelvra_LoadMaskFile(int32_t handle, const char* path);
/** Kelvra_LoadMaskFile with a wide-character path; KELVRA_ERR_FAILED when the path cannot be
 * converted or takes more than 1023 bytes converted. */
KELVRA_API int32_t Kelvra_LoadMaskFileW(int32_t handle, const wchar_t* path);
/** Saves the dark and bright calibration masks to a mask file. The file is written beside path
 * and takes its place only once complete: when it cannot be written (a full disk, a missing
 * folder) KELVRA_ERR_MASK_FILE is recorded and a file already at path is left as it was. */
KELVRA_API int32_t Kelvra_SaveMaskFile(int32_t handle, const char* path);
/** Kelvra_SaveMaskFile with a wide-character path; KELVRA_ERR_FAILED when the path cannot be
 * converted or takes more than 1023 bytes converted. */
KELVRA_API int32_t Kelvra_SaveMaskFileW(int32_t handle, const wchar_t* path);
/** Takes the current raw frame as the dark (which = 0) or bright (which = 1) mask of its depth and
 * remakes that defect map. Another which records KELVRA_ERR_FAILED and changes nothing. A frame
 * that is not of the full sensor size (or no frame yet) leaves the masks as they are and the call
 * still returns 1. Safe while a preview runs: it waits for the frame being processed. */
KELVRA_API int32_t Kelvra_UpdateMaskData(int32_t handle, int32_t which);
/** Loads the defect-pixel list of a configuration file: 8-byte records of column and row on the
 * sensor (little-endian int32, row 0 the top row); records outside the sensor are dropped, and
 * the list replaces the previous one whole. A file that cannot be read returns 0, records nothing
 * and keeps the previous list. */
KELVRA_API int32_t Kelvra_LoadConfigFileA(int32_t handle, const char* path);
/** Kelvra_LoadConfigFileA with a wide-character path; KELVRA_ERR_FAILED when the path cannot be
 * converted or takes more than 1023 bytes converted. */
KELVRA_API int32_t Kelvra_LoadConfigFileW(int32_t handle, const wchar_t* path);
/* This build has no on-screen settings dialogs: each of the three returns 0 and records
 * KELVRA_ERR_UNSUPPORTED. */
/** Shows the camera settings dialog over parent, pausing acquisition around it. */
KELVRA_API int32_t Kelvra_SetCameraDlg(int32_t handle, HWND parent);
/** Shows the image settings dialog over parent. */
KELVRA_API int32_t Kelvra_SetImageDlg(int32_t handle, HWND parent);
/** Shows the analog (gain and exposure) settings dialog over parent. */
KELVRA_API int32_t Kelvra_SetAnalogDlg(int32_t handle, HWND parent);

#ifdef __cplusplus
}
#endif

#undef KELVRA_SDK_STATIC_ASSERT

#endif
