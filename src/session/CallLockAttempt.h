// The way the frame pipeline reaches the camera from a worker thread: it tries the session's
// call lock once and talks to the device only if it got it. Waiting is never an option there,
// since StopPreview holds the call lock while it joins the worker.
#pragma once

#include "common/CriticalSection.h"

class [[nodiscard]] CallLockAttempt {
public:
    explicit CallLockAttempt(CriticalSection& lock) : lock(lock), held(lock.TryEnter()) {}
    ~CallLockAttempt() {
        if (held) lock.Leave();
    }
    CallLockAttempt(const CallLockAttempt&) = delete;
    CallLockAttempt& operator=(const CallLockAttempt&) = delete;

    bool Held() const { return held; }

private:
    CriticalSection& lock;
    bool held;
};
