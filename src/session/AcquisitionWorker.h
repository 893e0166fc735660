// The thread of a session's acquisition mode (the preview loop or the trigger loop) and the
// events that stop it: StopAndJoin tells the loop to end, wakes it out of any wait it is in, and
// returns once the thread has finished, so the caller may then stop the stream and free what the
// loop used.
#pragma once

#include "kelvra/win32.h"

#include <atomic>
#include <cstdint>

class AcquisitionWorker {
public:
    using Loop = void (*)(void* context);

    AcquisitionWorker() = default;
    AcquisitionWorker(const AcquisitionWorker&) = delete;
    AcquisitionWorker& operator=(const AcquisitionWorker&) = delete;
    ~AcquisitionWorker() { StopAndJoin(); }

    // Starts loop(context) on a new thread with the run flag at 1. False, with nothing running,
    // when the thread or its events cannot be made; a worker already running is joined first.
    bool Start(Loop loop, void* context);
    // Clears the run flag, wakes the loop and waits until the thread has ended; harmless when
    // none runs.
    void StopAndJoin();
    bool Running() const { return workerThread != nullptr; }
    // Whether the loop has ended by itself (a camera that went away ends the preview loop) or
    // was stopped; true when none was started.
    bool LoopEnded() const;
    // The running worker's thread id; 0 when none runs.
    DWORD ThreadId() const { return workerThread != nullptr ? workerThreadId : 0; }

    // For the loop: 1 runs, 2 pauses (the loop idles), 0 ends the loop.
    int32_t RunFlag() const { return workerRun.load(); }
    void SetRunFlag(int32_t value) { workerRun.store(value); }
    // Event that is signalled when the loop must end; loops wait on it beside their frame waits.
    HANDLE StopEvent() const { return stopEvent; }
    // Sleeps up to milliseconds; false when the loop was told to end meanwhile.
    bool Rest(DWORD milliseconds) const;

private:
    static DWORD WINAPI Entry(LPVOID self);

    std::atomic<int32_t> workerRun{0};
    HANDLE workerThread = nullptr;
    DWORD workerThreadId = 0;
    HANDLE stopEvent = nullptr;        // manual reset
    HANDLE workerDoneEvent = nullptr;  // manual reset, signalled by the thread as its last act
    Loop loop = nullptr;
    void* context = nullptr;
};
