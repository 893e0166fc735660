#include "KernelObject.h"
#include "PseudoHandles.h"

#include "kelvra/win32/kernel.h"

#include <algorithm>
#include <array>

using namespace kelvra::platform;

namespace {

DWORD Wait(const std::shared_ptr<KernelObject>* objects, size_t count, bool waitAll, DWORD milliseconds) {
    std::optional<size_t> index = WaitForObjects(objects, count, waitAll, milliseconds);
    if (!index) return WAIT_TIMEOUT;
    return WAIT_OBJECT_0 + static_cast<DWORD>(*index);
}

std::shared_ptr<KernelObject> ReferenceWaitable(HANDLE handle) {
    std::shared_ptr<KernelObject> object = ReferenceObject(handle);
    if (!object || !object->IsWaitable()) return nullptr;
    return object;
}

}  // namespace

extern "C" {

WINBASEAPI BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (IsPseudoHandle(hObject)) return TRUE;  // closing a pseudo handle has no effect
    std::shared_ptr<KernelObject> object = ReferenceObject(hObject);
    // Two threads closing the same handle: only the one that removes it runs the close hook.
    if (!object || !RemoveObject(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->OnClose();
    return TRUE;
}

WINBASEAPI DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    std::shared_ptr<KernelObject> object = ReferenceWaitable(hHandle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return Wait(&object, 1, false, dwMilliseconds);
}

WINBASEAPI DWORD WINAPI WaitForMultipleObjects(DWORD nCount, CONST HANDLE* lpHandles, BOOL bWaitAll,
                                               DWORD dwMilliseconds) {
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || !lpHandles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::array<std::shared_ptr<KernelObject>, MAXIMUM_WAIT_OBJECTS> objects;
    for (DWORD i = 0; i < nCount; ++i) {
        objects[i] = ReferenceWaitable(lpHandles[i]);
        if (!objects[i]) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        // Waiting for all of a set that names one object twice would have to acquire it twice.
        if (bWaitAll && std::find(objects.begin(), objects.begin() + i, objects[i]) != objects.begin() + i) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return WAIT_FAILED;
        }
    }
    return Wait(objects.data(), nCount, bWaitAll != FALSE, dwMilliseconds);
}

}  // extern "C"
