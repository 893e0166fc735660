// The process-wide handle registry: every session an application holds, found by its handle.
// One lock covers the ring, so handles can be issued, looked up and released from any thread.
#pragma once

#include "api/CSDKDATA.h"
#include "api/CTRing.h"
#include "kelvra/win32.h"

class CSdkChain : public CTRing<CSDKDATA> {
public:
    CSdkChain();
    // Sessions still registered at unload belong to an application that never released them;
    // only the entries go.
    ~CSdkChain();

    // The library's one registry.
    static CSdkChain& Instance();

    // Makes a session and returns its new handle, or 0 when it could not be made.
    int32_t Create();
    // The entry of handle (a copy: the entry may be removed once the lock is gone); a null
    // session when the handle is unknown.
    CSDKDATA Lookup(int32_t handle);
    // Takes the entry out and destroys its session; false for an unknown handle.
    bool Release(int32_t handle);

private:
    int32_t UnusedHandle();

    CRITICAL_SECTION lock;
};
