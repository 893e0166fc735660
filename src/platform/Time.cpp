#include "kelvra/win32/kernel.h"

#include <chrono>
#include <thread>

namespace {

// Windows counts ticks from system start; the monotonic clock does the same here.
std::chrono::steady_clock::duration SinceStart() { return std::chrono::steady_clock::now().time_since_epoch(); }

// The counter frequency of current Windows systems, so arithmetic callers do on counts behaves alike.
constexpr LONGLONG kPerformanceFrequency = 10'000'000;
constexpr UINT kMaximumTimerPeriod = 1'000'000;

MMRESULT CheckTimerPeriod(UINT period) {
    return period >= 1 && period <= kMaximumTimerPeriod ? TIMERR_NOERROR : TIMERR_NOCANDO;
}

}  // namespace

extern "C" {

WINBASEAPI void WINAPI Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    if (dwMilliseconds == INFINITE) {
        for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

WINBASEAPI ULONGLONG WINAPI GetTickCount64(void) {
    return static_cast<ULONGLONG>(std::chrono::duration_cast<std::chrono::milliseconds>(SinceStart()).count());
}

WINBASEAPI DWORD WINAPI GetTickCount(void) {
    return static_cast<DWORD>(GetTickCount64());  // wraps after 49.7 days, as on Windows
}

WINBASEAPI BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount) {
    if (!lpPerformanceCount) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    auto ticks =
        std::chrono::duration_cast<std::chrono::duration<LONGLONG, std::ratio<1, kPerformanceFrequency>>>(SinceStart());
    lpPerformanceCount->QuadPart = ticks.count();
    return TRUE;
}

WINBASEAPI BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency) {
    if (!lpFrequency) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    lpFrequency->QuadPart = kPerformanceFrequency;
    return TRUE;
}

WINMMAPI DWORD WINAPI timeGetTime(void) { return GetTickCount(); }

// The system timer already has far finer resolution than a millisecond; only the range is checked.
WINMMAPI MMRESULT WINAPI timeBeginPeriod(UINT uPeriod) { return CheckTimerPeriod(uPeriod); }

WINMMAPI MMRESULT WINAPI timeEndPeriod(UINT uPeriod) { return CheckTimerPeriod(uPeriod); }

}  // extern "C"
