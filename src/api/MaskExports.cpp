// Exported functions of the calibration files: mask files, mask planes from the current frame and
// the defect list of a configuration file.
#include "api/CallFrame.h"
#include "api/WidePath.h"
#include "kelvra/KelvraSdk.h"
#include "session/CKelvra.h"

namespace {

// Runs operation with the converted path, or records KELVRA_ERR_FAILED when there is none.
template <typename Operation>
int32_t WithWidePath(int32_t handle, const wchar_t* path, Operation&& operation) {
    return CallSession(handle, 0, [path, &operation](CKelvra& session) -> bool {
        const WidePath narrow(path);
        if (!narrow.Converted()) {
            session.RecordError(KELVRA_ERR_FAILED);
            return false;
        }
        return operation(session, narrow.Narrow());
    });
}

}  // namespace

extern "C" {

KELVRA_API int32_t Kelvra_LoadMaskFile(int32_t handle, const char* path) {
    return CallSession(handle, 0, [path](CKelvra& session) { return session.LoadMaskFile(path); });
}

KELVRA_API int32_t Kelvra_LoadMaskFileW(int32_t handle, const wchar_t* path) {
    return WithWidePath(handle, path,
                        [](CKelvra& session, const char* narrow) { return session.LoadMaskFile(narrow); });
}

KELVRA_API int32_t Kelvra_SaveMaskFile(int32_t handle, const char* path) {
    return CallSession(handle, 0, [path](CKelvra& session) { return session.SaveMaskFile(path); });
}

KELVRA_API int32_t Kelvra_SaveMaskFileW(int32_t handle, const wchar_t* path) {
    return WithWidePath(handle, path,
                        [](CKelvra& session, const char* narrow) { return session.SaveMaskFile(narrow); });
}

KELVRA_API int32_t Kelvra_UpdateMaskData(int32_t handle, int32_t which) {
    return CallSession(handle, 0, [which](CKelvra& session) { return session.UpdateMaskData(which); });
}

KELVRA_API int32_t Kelvra_LoadConfigFileA(int32_t handle, const char* path) {
    return CallSession(handle, 0, [path](CKelvra& session) { return session.LoadConfigFile(path); });
}

KELVRA_API int32_t Kelvra_LoadConfigFileW(int32_t handle, const wchar_t* path) {
    return WithWidePath(handle, path,
                        [](CKelvra& session, const char* narrow) { return session.LoadConfigFile(narrow); });
}

}  // extern "C"
