// Recursive critical sections over a heap-held mutex. The owner and recursion count live in the
// Windows fields so a debugger sees them where it expects; only the owning thread ever finds its own
// id in OwningThread, which is what makes the unlocked owner check sound.
#include "kelvra/win32/kernel.h"

#include <unistd.h>
#include <atomic>
#include <mutex>

static_assert(sizeof(CRITICAL_SECTION) == 40, "CRITICAL_SECTION has its Win64 size");

namespace {

std::mutex& MutexOf(LPCRITICAL_SECTION section) { return *static_cast<std::mutex*>(section->DebugInfo); }

std::atomic_ref<HANDLE> OwnerOf(LPCRITICAL_SECTION section) { return std::atomic_ref<HANDLE>(section->OwningThread); }

HANDLE CallerAsOwner() { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(gettid())); }

void TakeOwnership(LPCRITICAL_SECTION section, HANDLE caller) {
    OwnerOf(section).store(caller, std::memory_order_relaxed);
    section->RecursionCount = 1;
}

}  // namespace

extern "C" {

WINBASEAPI BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount) {
    lpCriticalSection->DebugInfo = new std::mutex;
    lpCriticalSection->LockCount = -1;
    lpCriticalSection->RecursionCount = 0;
    lpCriticalSection->OwningThread = nullptr;
    lpCriticalSection->LockSemaphore = nullptr;
    lpCriticalSection->SpinCount = dwSpinCount;
    return TRUE;
}

WINBASEAPI void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    InitializeCriticalSectionAndSpinCount(lpCriticalSection, 0);
}

WINBASEAPI void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    HANDLE caller = CallerAsOwner();
    if (OwnerOf(lpCriticalSection).load(std::memory_order_relaxed) == caller) {
        ++lpCriticalSection->RecursionCount;
        return;
    }
    MutexOf(lpCriticalSection).lock();
    TakeOwnership(lpCriticalSection, caller);
}

WINBASEAPI BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    HANDLE caller = CallerAsOwner();
    if (OwnerOf(lpCriticalSection).load(std::memory_order_relaxed) == caller) {
        ++lpCriticalSection->RecursionCount;
        return TRUE;
    }
    if (!MutexOf(lpCriticalSection).try_lock()) return FALSE;
    TakeOwnership(lpCriticalSection, caller);
    return TRUE;
}

WINBASEAPI void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    // Leaving a section the caller does not own is a caller bug; ignoring it keeps the owner's lock intact.
    if (OwnerOf(lpCriticalSection).load(std::memory_order_relaxed) != CallerAsOwner()) return;
    if (--lpCriticalSection->RecursionCount > 0) return;
    OwnerOf(lpCriticalSection).store(nullptr, std::memory_order_relaxed);
    MutexOf(lpCriticalSection).unlock();
}

WINBASEAPI void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    delete static_cast<std::mutex*>(lpCriticalSection->DebugInfo);
    lpCriticalSection->DebugInfo = nullptr;
}

}  // extern "C"
