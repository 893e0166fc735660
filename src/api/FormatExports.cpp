// Exported functions of the output format, and those this camera does not offer.
#include "api/CallFrame.h"
#include "kelvra/KelvraSdk.h"
#include "session/CKelvra.h"

namespace {

// The answer of the functions that tell of a feature this camera does not have: posted, not
// recorded.
int32_t PostUnsupported(int32_t handle) {
    return CallSession(handle, 0, [](CKelvra& session) {
        session.PostError(KELVRA_ERR_UNSUPPORTED);
        return 0;
    });
}

// The answer of the functions this build does not offer: recorded.
int32_t RecordUnsupported(int32_t handle) {
    return CallSession(handle, 0, [](CKelvra& session) {
        session.RecordError(KELVRA_ERR_UNSUPPORTED);
        return 0;
    });
}

// A value this camera does not have reads as 0.
int32_t WriteNoValue(int32_t handle, int32_t* value) {
    return CallSession(handle, 0, [value](CKelvra&) {
        if (value) *value = 0;
        return 0;
    });
}

}  // namespace

extern "C" {

KELVRA_API int32_t Kelvra_SetColorMode(int32_t handle, int32_t bits) {
    return CallSession(handle, 0, [bits](CKelvra& session) { return session.SetColorMode(bits); });
}

KELVRA_API int32_t Kelvra_GetColorMode(int32_t handle) {
    return CallSession(handle, -1, [](CKelvra& session) { return session.GetColorMode(); });
}

KELVRA_API int32_t Kelvra_SetSubSample(int32_t handle, int32_t code) {
    return CallSession(handle, 0, [code](CKelvra& session) { return session.SetSubSample(code); });
}

KELVRA_API int32_t Kelvra_GetSubSample(int32_t handle) {
    return CallSession(handle, -1, [](CKelvra& session) { return session.format.subSample; });
}

KELVRA_API int32_t Kelvra_SetWaitTime(int32_t handle, int32_t ms) {
    return CallSession(handle, 0, [ms](CKelvra& session) { return session.SetWaitTime(ms); });
}

KELVRA_API int32_t Kelvra_GetWaitTime(int32_t handle) {
    return CallSession(handle, -1, [](CKelvra& session) { return session.format.waitTime.load(); });
}

KELVRA_API int32_t Kelvra_SetSamplingRate(int32_t handle, int32_t rate) {
    return CallSession(handle, 0, [rate](CKelvra& session) { return session.SetSamplingRate(rate); });
}

KELVRA_API int32_t Kelvra_GetSamplingRate(int32_t handle, int32_t* value) { return WriteNoValue(handle, value); }
KELVRA_API int32_t Kelvra_GetVideoFormat(int32_t handle, int32_t* value) { return WriteNoValue(handle, value); }

KELVRA_API int32_t Kelvra_Fps(int32_t handle) { return PostUnsupported(handle); }
KELVRA_API int32_t Kelvra_GetHalfClock(int32_t handle) { return PostUnsupported(handle); }
KELVRA_API int32_t Kelvra_SetHalfClock(int32_t handle, int32_t) { return PostUnsupported(handle); }
KELVRA_API int32_t Kelvra_GetInternalCorrection(int32_t handle) { return PostUnsupported(handle); }
KELVRA_API int32_t Kelvra_SetInternalCorrection(int32_t handle, int32_t) { return PostUnsupported(handle); }
KELVRA_API int32_t Kelvra_SetCrossbar(int32_t handle, int32_t) { return PostUnsupported(handle); }
KELVRA_API int32_t Kelvra_SendText(int32_t handle, const char*) { return RecordUnsupported(handle); }
KELVRA_API int32_t Kelvra_ReceiveText(int32_t handle, char*, int32_t) { return RecordUnsupported(handle); }

// This build has no on-screen settings dialogs.
KELVRA_API int32_t Kelvra_SetCameraDlg(int32_t handle, HWND) { return RecordUnsupported(handle); }
KELVRA_API int32_t Kelvra_SetImageDlg(int32_t handle, HWND) { return RecordUnsupported(handle); }
KELVRA_API int32_t Kelvra_SetAnalogDlg(int32_t handle, HWND) { return RecordUnsupported(handle); }

}  // extern "C"
