#include "Event.h"

#include "kelvra/win32/kernel.h"

namespace kelvra::platform {

void Event::Set() {
    {
        std::lock_guard guard(WaitMutex());
        signaled = true;
    }
    NotifyWaiters();
}

void Event::Reset() {
    std::lock_guard guard(WaitMutex());
    signaled = false;
}

namespace {

HANDLE CreateEventObject(BOOL manualReset, BOOL initialState) {
    HANDLE handle = InsertObject(std::make_shared<Event>(manualReset != FALSE, initialState != FALSE));
    SetLastError(ERROR_SUCCESS);
    return handle;
}

template <class Change>
BOOL ChangeEvent(HANDLE handle, Change change) {
    std::shared_ptr<Event> event = ReferenceObjectAs<Event>(handle);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    change(*event);
    return TRUE;
}

}  // namespace
}  // namespace kelvra::platform

using namespace kelvra::platform;

extern "C" {

// Event names are not shared: every event is private to the handle that created it.
WINBASEAPI HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR) {
    return CreateEventObject(bManualReset, bInitialState);
}

WINBASEAPI HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCWSTR) {
    return CreateEventObject(bManualReset, bInitialState);
}

WINBASEAPI BOOL WINAPI SetEvent(HANDLE hEvent) {
    return ChangeEvent(hEvent, [](Event& event) { event.Set(); });
}

WINBASEAPI BOOL WINAPI ResetEvent(HANDLE hEvent) {
    return ChangeEvent(hEvent, [](Event& event) { event.Reset(); });
}

}  // extern "C"
