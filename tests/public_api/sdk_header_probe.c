#include "kelvra/KelvraSdk.h"

#if !defined(_WIN32) &&                                                                           \
    (defined(KELVRA_WIN32_H) || defined(KELVRA_WIN32_KERNEL_H) || defined(KELVRA_WIN32_USER_H) || \
     defined(KELVRA_WIN32_GDI_H) || defined(KELVRA_WIN32_REGISTRY_H) || defined(KELVRA_WIN32_DEVIO_H))
#error "KelvraSdk.h is to bring only the base Win32 types, not the platform library's functions"
#endif

#include "public_api/header_probe.h"

#define PROBE_STORE(value) out[count++] = (value);

size_t PROBE_FUNCTION(sdk_layout)(size_t* out) {
    size_t count = 0;
    PROBE_STORE(sizeof(FrameInfo))
    PROBE_STORE(offsetof(FrameInfo, reserved))
    PROBE_STORE(offsetof(FrameInfo, width))
    PROBE_STORE(offsetof(FrameInfo, height))
    PROBE_STORE(offsetof(FrameInfo, bitsPerPixel))
    PROBE_STORE(offsetof(FrameInfo, frameRate))
    PROBE_STORE(offsetof(FrameInfo, buffer))
    PROBE_STORE(sizeof(KelvraCameraInfo))
    PROBE_STORE(offsetof(KelvraCameraInfo, size))
    PROBE_STORE(offsetof(KelvraCameraInfo, sensorWidth))
    PROBE_STORE(offsetof(KelvraCameraInfo, sensorHeight))
    PROBE_STORE(offsetof(KelvraCameraInfo, gainMin))
    PROBE_STORE(offsetof(KelvraCameraInfo, gainMax))
    PROBE_STORE(offsetof(KelvraCameraInfo, colorGainMin))
    PROBE_STORE(offsetof(KelvraCameraInfo, colorGainMax))
    PROBE_STORE(offsetof(KelvraCameraInfo, exposureMin))
    PROBE_STORE(offsetof(KelvraCameraInfo, exposureMax))
    PROBE_STORE(offsetof(KelvraCameraInfo, exposureMsMin))
    PROBE_STORE(offsetof(KelvraCameraInfo, exposureMsMax))
    /* Enumerations are passed as int32_t results and arguments. */
    PROBE_STORE(sizeof(KelvraErrorCode))
    PROBE_STORE(sizeof(KelvraImageFileType))
    PROBE_STORE(sizeof(KelvraFilterId))
    return count;
}

int32_t PROBE_FUNCTION(dll_version)(void) { return Kelvra_GetDllVersion(); }
