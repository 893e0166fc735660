// Threads made by CreateThread: waitable handles that become signaled when the thread function returns.
#pragma once

#include "KernelObject.h"

#include "kelvra/win32/kernel.h"

#include <atomic>

namespace kelvra::platform {

class ThreadObject final : public KernelObject {
public:
    ThreadObject(DWORD(WINAPI* routine)(LPVOID), LPVOID parameter, bool suspended)
        : routine(routine), parameter(parameter), suspendCount(suspended ? 1 : 0) {}

    // Starts the OS thread and returns once it has reported its id. False when the OS refuses.
    static bool Start(const std::shared_ptr<ThreadObject>& thread, SIZE_T stackSize);

    // The suspend count before the call; the thread runs once it reaches zero.
    DWORD Resume();
    DWORD Id() const { return id; }
    DWORD ExitCode() const;
    int Priority() const { return priority.load(std::memory_order_relaxed); }
    void SetPriority(int priority);

    bool IsWaitable() const override { return true; }
    bool IsSignaled() const override { return finished; }

private:
    static void* Entry(void* box);
    void Run();

    DWORD(WINAPI* const routine)(LPVOID);
    LPVOID const parameter;

    std::mutex startLock;
    std::condition_variable startCondition;
    DWORD suspendCount;   // guarded by startLock
    bool exited = false;  // the thread function returned; guarded by startLock
    std::atomic<DWORD> id{0};

    std::atomic<int> priority{0};
    DWORD exitCode = STILL_ACTIVE;  // guarded by WaitMutex()
    bool finished = false;          // guarded by WaitMutex()
};

}  // namespace kelvra::platform
