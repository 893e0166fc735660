// Exported functions of the acquisition modes and of the preview and capture geometry.
#include "api/CallFrame.h"
#include "kelvra/KelvraSdk.h"
#include "session/CKelvra.h"

extern "C" {

KELVRA_API int32_t Kelvra_Preview(int32_t handle) {
    return CallSession(handle, 0, [](CKelvra& session) { return session.Preview(); });
}

KELVRA_API int32_t Kelvra_CallBackPreview(int32_t handle, HWND window, BYTE* buffer, int32_t size, int32_t topDown) {
    return CallSession(handle, 0,
                       [=](CKelvra& session) { return session.CallBackPreview(window, buffer, size, topDown); });
}

KELVRA_API int32_t Kelvra_StartPreview(int32_t handle) {
    return CallSession(handle, 0, [](CKelvra& session) { return session.StartPreview(); });
}

KELVRA_API int32_t Kelvra_StopPreview(int32_t handle) {
    return CallSession(handle, 0, [](CKelvra& session) { return session.StopPreview(); });
}

KELVRA_API int32_t Kelvra_Close(int32_t handle) {
    return CallSession(handle, 0, [](CKelvra& session) { return session.Close(); });
}

KELVRA_API int32_t Kelvra_Capture(int32_t handle) {
    return CallSession(handle, 0, [](CKelvra& session) { return session.Capture(); });
}

KELVRA_API int32_t Kelvra_SnapShot(int32_t handle, BYTE* buffer, int32_t size, int32_t topDown) {
    return CallSession(handle, 0, [=](CKelvra& session) { return session.SnapShot(buffer, size, topDown); });
}

KELVRA_API int32_t Kelvra_GetImage(int32_t handle, BYTE* buffer, int32_t size, int32_t topDown) {
    return CallSession(handle, 0, [=](CKelvra& session) { return session.GetImage(buffer, size, topDown); });
}

KELVRA_API int32_t Kelvra_Trigger(int32_t handle, HWND window, BYTE* buffer, int32_t size, int32_t topDown) {
    return CallSession(handle, 0, [=](CKelvra& session) { return session.Trigger(window, buffer, size, topDown); });
}

KELVRA_API int32_t Kelvra_SetPreviewWindow(int32_t handle, HWND parent, int32_t x, int32_t y, int32_t width,
                                           int32_t height) {
    return CallSession(handle, 0,
                       [=](CKelvra& session) { return session.SetPreviewWindow(parent, x, y, width, height); });
}

KELVRA_API int32_t Kelvra_SetCaptureWindowEx(int32_t handle, int32_t totalWidth, int32_t xOffset, int32_t width,
                                             int32_t totalHeight, int32_t yOffset, int32_t height) {
    return CallSession(handle, 0, [=](CKelvra& session) {
        return session.SetCaptureWindowEx(totalWidth, xOffset, width, totalHeight, yOffset, height);
    });
}

KELVRA_API int32_t Kelvra_SetCaptureWindow(int32_t handle, int32_t width, int32_t height) {
    return CallSession(handle, 0, [=](CKelvra& session) { return session.SetCaptureWindow(width, height); });
}

KELVRA_API int32_t Kelvra_GetCaptureWindowEx(int32_t handle, int32_t* totalWidth, int32_t* xOffset, int32_t* width,
                                             int32_t* totalHeight, int32_t* yOffset, int32_t* height) {
    return CallSession(handle, 0, [=](CKelvra& session) {
        return session.GetCaptureWindowEx(totalWidth, xOffset, width, totalHeight, yOffset, height);
    });
}

KELVRA_API int32_t Kelvra_Width(int32_t handle) {
    return CallSession(handle, 0, [](CKelvra& session) { return session.format.width; });
}

KELVRA_API int32_t Kelvra_Height(int32_t handle) {
    return CallSession(handle, 0, [](CKelvra& session) { return session.format.height; });
}

}  // extern "C"
