// Exported functions of still image files and AVI recording.
#include "api/CallFrame.h"
#include "kelvra/KelvraSdk.h"
#include "session/CKelvra.h"

namespace {

constexpr int kNarrowPathBytes = 1024;

// The wide path in the thread's ANSI code page; false, with KELVRA_ERR_FAILED recorded, when it
// does not convert or does not fit. A null path stays null, for the narrow call to refuse.
bool NarrowPath(CKelvra& session, const wchar_t* wide, char (&narrow)[kNarrowPathBytes], const char*& path) {
    path = nullptr;
    if (wide == nullptr) return true;
    if (WideCharToMultiByte(CP_THREAD_ACP, 0, wide, -1, narrow, kNarrowPathBytes, nullptr, nullptr) == 0) {
        session.RecordError(KELVRA_ERR_FAILED);
        return false;
    }
    narrow[kNarrowPathBytes - 1] = '\0';
    path = narrow;
    return true;
}

}  // namespace

extern "C" {

KELVRA_API int32_t Kelvra_SaveImage(int32_t handle, const char* path, int32_t fileType) {
    return CallSession(handle, 0, [=](CKelvra& session) { return session.SaveImage(path, fileType); });
}

KELVRA_API int32_t Kelvra_SaveImageW(int32_t handle, const wchar_t* path, int32_t fileType) {
    return CallSession(handle, 0, [=](CKelvra& session) {
        char narrow[kNarrowPathBytes];
        const char* converted = nullptr;
        return NarrowPath(session, path, narrow, converted) && session.SaveImage(converted, fileType);
    });
}

KELVRA_API int32_t Kelvra_Record(int32_t handle, const char* path, int32_t durationMs, int32_t withWindow) {
    return CallSession(handle, 0, [=](CKelvra& session) { return session.Record(path, durationMs, withWindow); });
}

KELVRA_API int32_t Kelvra_RecordW(int32_t handle, const wchar_t* path, int32_t durationMs, int32_t withWindow) {
    return CallSession(handle, 0, [=](CKelvra& session) {
        char narrow[kNarrowPathBytes];
        const char* converted = nullptr;
        return NarrowPath(session, path, narrow, converted) && session.Record(converted, durationMs, withWindow);
    });
}

}  // extern "C"
