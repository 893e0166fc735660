#include "kelvra/win32.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(Time, ClocksAdvanceTogetherAcrossASleep) {
    LARGE_INTEGER frequency{}, before{}, after{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    ASSERT_GT(frequency.QuadPart, 0);
    ULONGLONG ticksBefore = GetTickCount64();
    DWORD mmBefore = timeGetTime();
    ASSERT_TRUE(QueryPerformanceCounter(&before));
    Sleep(25);
    ASSERT_TRUE(QueryPerformanceCounter(&after));
    // Lower bounds only: a sleep never returns early, and all clocks count the same time.
    EXPECT_GE((after.QuadPart - before.QuadPart) * 1000 / frequency.QuadPart, 25);
    EXPECT_GE(GetTickCount64() - ticksBefore, 24u);
    EXPECT_GE(timeGetTime() - mmBefore, 24u);
}

TEST(Time, TimerPeriodsOutsideTheDeviceRangeAreRefused) {
    EXPECT_EQ(timeBeginPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
    EXPECT_EQ(timeEndPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
    EXPECT_EQ(timeBeginPeriod(0), static_cast<MMRESULT>(TIMERR_NOCANDO));
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
}

TEST(DebugOutput, GoesToStderrOnlyWhenKelvraDebugIsSet) {
    ::unsetenv("KELVRA_DEBUG");
    testing::internal::CaptureStderr();
    OutputDebugStringA("hidden\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    ::setenv("KELVRA_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    OutputDebugStringA("shown\n");
    OutputDebugStringW(L"wide \u00FC\n");
    OutputDebugStringA(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "shown\nwide \xC3\xBC\n");
    ::unsetenv("KELVRA_DEBUG");
}

}  // namespace
