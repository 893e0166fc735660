#include "api/CSdkChain.h"

#include "session/CKelvra.h"

#include <cstdlib>
#include <new>

namespace {

class LockHold {
public:
    explicit LockHold(CRITICAL_SECTION& section) : section(section) { EnterCriticalSection(&section); }
    ~LockHold() { LeaveCriticalSection(&section); }
    LockHold(const LockHold&) = delete;
    LockHold& operator=(const LockHold&) = delete;

private:
    CRITICAL_SECTION& section;
};

}  // namespace

CSdkChain::CSdkChain() { InitializeCriticalSection(&lock); }

CSdkChain::~CSdkChain() {
    Clear();
    DeleteCriticalSection(&lock);
}

CSdkChain& CSdkChain::Instance() {
    static CSdkChain chain;
    return chain;
}

// Handles mix the tick count with rand(), so they are hard to guess but may repeat; 0 and a
// handle still in use are drawn again so that a lookup can never reach the wrong session.
int32_t CSdkChain::UnusedHandle() {
    for (;;) {
        const uint32_t mixed = static_cast<uint32_t>(GetTickCount()) + static_cast<uint32_t>(std::rand()) +
                               static_cast<uint32_t>(Count());
        const int32_t handle = static_cast<int32_t>(mixed);
        if (handle != 0 && !Find(handle)) return handle;
    }
}

int32_t CSdkChain::Create() {
    CKelvra* session = new (std::nothrow) CKelvra();
    if (!session) return 0;
    int32_t handle = 0;
    {
        LockHold hold(lock);
        handle = UnusedHandle();
        if (!Insert(CSDKDATA{handle, session})) handle = 0;
    }
    if (handle == 0) delete session;
    return handle;
}

CSDKDATA CSdkChain::Lookup(int32_t handle) {
    LockHold hold(lock);
    if (!Find(handle)) return CSDKDATA{};
    return *Current();
}

bool CSdkChain::Release(int32_t handle) {
    CKelvra* session = nullptr;
    {
        LockHold hold(lock);
        if (!Find(handle)) return false;
        session = Current()->session;
        Current()->session = nullptr;
        RemoveCurrent();
    }
    delete session;
    return true;
}
