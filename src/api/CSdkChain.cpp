#include "api/CSdkChain.h"

#include "session/CKelvra.h"

#include <cstdlib>
#include <new>

CSdkChain& CSdkChain::Instance() {
    static CSdkChain* const chain = new CSdkChain;
    return *chain;
}

// Handles mix the tick count with rand(), so they are hard to guess but may repeat; 0 and a
// handle still in use are drawn again so that a lookup can never reach the wrong session.
int32_t CSdkChain::UnusedHandle() {
    for (;;) {
        const uint32_t mixed =
            static_cast<uint32_t>(GetTickCount()) + static_cast<uint32_t>(std::rand()) + static_cast<uint32_t>(Count());
        const int32_t handle = static_cast<int32_t>(mixed);
        if (handle != 0 && !Find(handle)) return handle;
    }
}

int32_t CSdkChain::Create() {
    std::shared_ptr<CKelvra> session(new (std::nothrow) CKelvra());
    if (!session) return 0;
    CriticalSectionGuard hold(lock);
    const int32_t handle = UnusedHandle();
    return Insert(CSDKDATA{handle, std::move(session)}) ? handle : 0;
}

std::shared_ptr<CKelvra> CSdkChain::Lookup(int32_t handle) {
    CriticalSectionGuard hold(lock);
    if (!Find(handle)) return nullptr;
    return Current()->session;
}

bool CSdkChain::Release(int32_t handle) {
    std::shared_ptr<CKelvra> session;
    {
        CriticalSectionGuard hold(lock);
        if (!Find(handle)) return false;
        session = std::move(Current()->session);
        RemoveCurrent();
    }
    // Destroyed here, outside the registry lock, unless a call on another thread still holds it.
    session.reset();
    return true;
}
