// Exported functions of the session and its cameras.
#include "api/CallFrame.h"
#include "kelvra/KelvraSdk.h"
#include "session/CKelvra.h"

extern "C" {

KELVRA_API int32_t Kelvra_Initialize(HWND window) {
    try {
        const int32_t handle = CSdkChain::Instance().Create();
        if (handle == 0) return 0;
        // The handle stands even when the session could not open its resources: its error
        // history tells the application why.
        CallSession(handle, false, [window](CKelvra& session) { return session.Initialize(window); });
        return handle;
    } catch (...) {
        return 0;
    }
}

KELVRA_API int32_t Kelvra_Release(int32_t handle) {
    try {
        return CSdkChain::Instance().Release(handle) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

KELVRA_API int32_t Kelvra_GetLastError(int32_t handle) {
    return CallSession(handle, 0, [](CKelvra& session) { return session.PopLastError(); });
}

KELVRA_API int32_t Kelvra_GetStatus(int32_t handle) {
    return CallSession(handle, 0, [](CKelvra&) { return 0; });
}

KELVRA_API int32_t Kelvra_SetDeviceNumber(int32_t handle, int32_t number) {
    return CallSession(handle, 0, [number](CKelvra& session) { return session.SetDeviceNumber(number); });
}

KELVRA_API int32_t Kelvra_EnumDevice(int32_t handle, char names[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE]) {
    return CallSession(handle, 0, [names](CKelvra& session) { return session.EnumDevice(names); });
}

KELVRA_API int32_t Kelvra_EnumDeviceW(int32_t handle,
                                      wchar_t names[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE]) {
    return CallSession(handle, 0, [names](CKelvra& session) { return session.EnumDeviceW(names); });
}

KELVRA_API int32_t Kelvra_GetDeviceName(int32_t handle, int32_t index, char* name, int32_t size) {
    return CallSession(handle, 0, [=](CKelvra& session) { return session.GetDeviceName(index, name, size); });
}

KELVRA_API int32_t Kelvra_GetDeviceNameW(int32_t handle, int32_t index, wchar_t* name, int32_t size) {
    return CallSession(handle, 0, [=](CKelvra& session) { return session.GetDeviceNameW(index, name, size); });
}

KELVRA_API int32_t Kelvra_GetCameraInfo(int32_t handle, KelvraCameraInfo* info) {
    return CallSession(handle, 0, [info](CKelvra& session) { return session.GetCameraInfo(info); });
}

}  // extern "C"
