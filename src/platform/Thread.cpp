#include "Thread.h"

#include "PseudoHandles.h"

#include "kelvra/win32/kernel.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

namespace kelvra::platform {
namespace {

// The thread object of the calling thread when CreateThread made it, else null.
thread_local ThreadObject* currentThread = nullptr;
// The recorded priority of a thread the library did not create (the main thread, for one).
thread_local int foreignThreadPriority = THREAD_PRIORITY_NORMAL;

bool IsValidPriority(int priority) {
    return priority == THREAD_PRIORITY_IDLE || priority == THREAD_PRIORITY_TIME_CRITICAL ||
           (priority >= THREAD_PRIORITY_LOWEST && priority <= THREAD_PRIORITY_HIGHEST);
}

// Best effort only: raising a thread's priority needs a privilege most users lack, and the caller
// of SetThreadPriority must not fail for that.
void ApplyOsPriority(DWORD threadId, int priority) {
    int nice = 0;
    switch (priority) {
        case THREAD_PRIORITY_IDLE:
            nice = 19;
            break;
        case THREAD_PRIORITY_LOWEST:
            nice = 10;
            break;
        case THREAD_PRIORITY_BELOW_NORMAL:
            nice = 5;
            break;
        case THREAD_PRIORITY_ABOVE_NORMAL:
            nice = -5;
            break;
        case THREAD_PRIORITY_HIGHEST:
            nice = -10;
            break;
        case THREAD_PRIORITY_TIME_CRITICAL:
            nice = -20;
            break;
        default:
            nice = 0;
            break;
    }
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(threadId), nice);
}

}  // namespace

bool ThreadObject::Start(const std::shared_ptr<ThreadObject>& thread, SIZE_T stackSize) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    // Nobody joins: the handle, not the OS thread, is what callers wait for.
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    size_t defaultStack = 0;
    if (stackSize != 0 && pthread_attr_getstacksize(&attributes, &defaultStack) == 0 && stackSize > defaultStack)
        pthread_attr_setstacksize(&attributes, stackSize);
    auto* box = new std::shared_ptr<ThreadObject>(thread);
    pthread_t osThread;
    int result = pthread_create(&osThread, &attributes, &ThreadObject::Entry, box);
    pthread_attr_destroy(&attributes);
    if (result != 0) {
        delete box;
        return false;
    }
    std::unique_lock lock(thread->startLock);
    thread->startCondition.wait(lock, [&] { return thread->id != 0; });
    return true;
}

void* ThreadObject::Entry(void* box) {
    std::shared_ptr<ThreadObject> self = std::move(*static_cast<std::shared_ptr<ThreadObject>*>(box));
    delete static_cast<std::shared_ptr<ThreadObject>*>(box);
    self->Run();
    return nullptr;
}

void ThreadObject::Run() {
    DWORD osId = static_cast<DWORD>(gettid());
    // A new thread starts at normal priority whatever its creator runs at.
    ApplyOsPriority(osId, THREAD_PRIORITY_NORMAL);
    {
        std::unique_lock lock(startLock);
        id = osId;
        startCondition.notify_all();
        startCondition.wait(lock, [&] { return suspendCount == 0; });
    }
    currentThread = this;
    DWORD exitCode = routine(parameter);
    currentThread = nullptr;
    {
        std::lock_guard guard(startLock);
        exited = true;
    }
    {
        std::lock_guard guard(WaitMutex());
        this->exitCode = exitCode;
        finished = true;
    }
    NotifyWaiters();
}

DWORD ThreadObject::Resume() {
    std::lock_guard guard(startLock);
    DWORD previous = suspendCount;
    if (suspendCount > 0 && --suspendCount == 0) startCondition.notify_all();
    return previous;
}

DWORD ThreadObject::ExitCode() const {
    std::lock_guard guard(WaitMutex());
    return exitCode;
}

void ThreadObject::SetPriority(int priority) {
    // The lock keeps the thread from ending meanwhile: the OS may hand an ended thread's id to another.
    std::lock_guard guard(startLock);
    this->priority = priority;
    if (!exited) ApplyOsPriority(id, priority);
}

namespace {

// A thread named by a handle, or by the pseudo handle of the calling thread. `object` is null for a
// calling thread the library did not create; `valid` is false (ERROR_INVALID_HANDLE set) for a bad handle.
struct ThreadReference {
    std::shared_ptr<ThreadObject> held;
    ThreadObject* object = nullptr;
    bool valid = true;
};

ThreadReference ReferenceThread(HANDLE handle) {
    ThreadReference reference;
    if (handle == CurrentThreadPseudoHandle()) {
        reference.object = currentThread;  // kept alive by the running thread itself
        return reference;
    }
    reference.held = ReferenceObjectAs<ThreadObject>(handle);
    reference.object = reference.held.get();
    if (!reference.object) {
        reference.valid = false;
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return reference;
}

}  // namespace
}  // namespace kelvra::platform

using namespace kelvra::platform;

extern "C" {

WINBASEAPI HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T dwStackSize, LPTHREAD_START_ROUTINE lpStartAddress,
                                      LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
    if (!lpStartAddress) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto thread =
        std::make_shared<ThreadObject>(lpStartAddress, lpParameter, (dwCreationFlags & CREATE_SUSPENDED) != 0);
    if (!ThreadObject::Start(thread, dwStackSize)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (lpThreadId) *lpThreadId = thread->Id();
    return InsertObject(thread);
}

WINBASEAPI DWORD WINAPI ResumeThread(HANDLE hThread) {
    ThreadReference thread = ReferenceThread(hThread);
    if (!thread.valid) return static_cast<DWORD>(-1);
    return thread.object ? thread.object->Resume() : 0;  // a running caller is not suspended
}

WINBASEAPI BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    ThreadReference thread = ReferenceThread(hThread);
    if (!thread.valid) return FALSE;
    if (!lpExitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpExitCode = thread.object ? thread.object->ExitCode() : STILL_ACTIVE;
    return TRUE;
}

WINBASEAPI DWORD WINAPI GetCurrentThreadId(void) { return static_cast<DWORD>(gettid()); }

WINBASEAPI HANDLE WINAPI GetCurrentThread(void) { return CurrentThreadPseudoHandle(); }

WINBASEAPI DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

WINBASEAPI HANDLE WINAPI GetCurrentProcess(void) { return CurrentProcessPseudoHandle(); }

WINBASEAPI BOOL WINAPI SetThreadPriority(HANDLE hThread, int nPriority) {
    ThreadReference thread = ReferenceThread(hThread);
    if (!thread.valid) return FALSE;
    if (!IsValidPriority(nPriority)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (thread.object) {
        thread.object->SetPriority(nPriority);
    } else {
        foreignThreadPriority = nPriority;
        ApplyOsPriority(static_cast<DWORD>(gettid()), nPriority);
    }
    return TRUE;
}

WINBASEAPI int WINAPI GetThreadPriority(HANDLE hThread) {
    ThreadReference thread = ReferenceThread(hThread);
    if (!thread.valid) return THREAD_PRIORITY_ERROR_RETURN;
    return thread.object ? thread.object->Priority() : foreignThreadPriority;
}

}  // extern "C"
