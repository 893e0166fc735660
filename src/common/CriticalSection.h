// The library's one lock idiom: a Win32 critical section that lives exactly as long as its owner,
// and a guard that holds it for a scope. Like every critical section it is recursive: the thread
// that holds it may enter it again. Where no Win32 behaviour is needed (no recursion, nothing
// another Win32 call must see), std::mutex with std::lock_guard serves as well.
#pragma once

#include "kelvra/win32.h"

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&section); }
    ~CriticalSection() { DeleteCriticalSection(&section); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { EnterCriticalSection(&section); }
    void Leave() { LeaveCriticalSection(&section); }
    // Enters only when no other thread holds the section; true when entered.
    bool TryEnter() { return TryEnterCriticalSection(&section) != FALSE; }

private:
    CRITICAL_SECTION section;
};

class [[nodiscard]] CriticalSectionGuard {
public:
    explicit CriticalSectionGuard(CriticalSection& lock) : held(lock) { held.Enter(); }
    ~CriticalSectionGuard() { held.Leave(); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

private:
    CriticalSection& held;
};
