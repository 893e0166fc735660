// The sensor lock of drivers that declare one: it serialises single register accesses so that the
// acquisition thread and the application's thread never interleave the bytes of one access.
#pragma once

#include "kelvra/win32.h"

class SensorLock {
public:
    SensorLock();
    ~SensorLock();
    SensorLock(const SensorLock&) = delete;
    SensorLock& operator=(const SensorLock&) = delete;

    class Hold {
    public:
        explicit Hold(SensorLock& lock);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        SensorLock& held;
    };

private:
    CRITICAL_SECTION section;
};
