// Kernel objects of the platform library: every HANDLE that CloseHandle and the wait functions
// accept (events, threads, file mappings, device handles, ...) is one of these in a process-wide table.
#pragma once

#include "kelvra/win32/types.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace kelvra::platform {

class KernelObject {
public:
    virtual ~KernelObject() = default;

    // Waitable objects override these three. They are called with WaitMutex() held, so a signal
    // state change and the wake-up of waiters cannot interleave.
    virtual bool IsWaitable() const { return false; }
    virtual bool IsSignaled() const { return false; }
    // A wait was satisfied by this object: an auto-reset event clears itself here.
    virtual void Acquire() {}

    // CloseHandle removed the object's handle. A device handle cancels its pending I/O here.
    virtual void OnClose() {}
};

// Puts the object in the handle table and returns its new handle (never null, never
// INVALID_HANDLE_VALUE, a multiple of 4 as on Windows, not reused while the process runs).
HANDLE InsertObject(std::shared_ptr<KernelObject> object);

// A reference to the object behind a handle, or null for an unknown or closed handle.
std::shared_ptr<KernelObject> ReferenceObject(HANDLE handle);

template <class T>
std::shared_ptr<T> ReferenceObjectAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(ReferenceObject(handle));
}

// Removes the handle from the table; the object lives on while references to it remain.
// False for an unknown handle.
bool RemoveObject(HANDLE handle);

// One lock and one condition for every waitable object. Change signal state only while
// holding WaitMutex(), then call NotifyWaiters() (after or before unlocking).
std::mutex& WaitMutex();
void NotifyWaiters();

// Waits until one (waitAll false) or all objects are signaled, or the time-out passes.
// Returns the index of the object that satisfied the wait (0 for waitAll), or nullopt on time-out.
// Objects must be waitable. milliseconds == 0xFFFFFFFF (INFINITE) waits forever.
std::optional<size_t> WaitForObjects(const std::shared_ptr<KernelObject>* objects, size_t count, bool waitAll,
                                     DWORD milliseconds);

}  // namespace kelvra::platform
