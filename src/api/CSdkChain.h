// The process-wide handle registry: every session an application holds, found by its handle.
// One lock covers the ring, so handles can be issued, looked up and released from any thread.
#pragma once

#include "api/CSDKDATA.h"
#include "api/CTRing.h"
#include "common/CriticalSection.h"

#include <memory>

class CSdkChain : public CTRing<CSDKDATA> {
public:
    // The library's one registry. It is never destroyed: sessions an application did not release
    // are not torn down while the library unloads (their threads could not be joined then).
    static CSdkChain& Instance();

    // Makes a session and returns its new handle, or 0 when it could not be made.
    int32_t Create();
    // The session of handle, shared with the caller for as long as it holds it; null when the
    // handle is unknown or already released.
    std::shared_ptr<CKelvra> Lookup(int32_t handle);
    // Takes the entry out at once; the session goes when the last call still holding it returns
    // (here, when none does). False for an unknown handle.
    bool Release(int32_t handle);

private:
    CSdkChain() = default;
    int32_t UnusedHandle();

    CriticalSection lock;  // the ring and its cursor
};
