#include "kelvra/win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Closes the handle at scope end so failing assertions do not leak objects under ASan.
struct ScopedHandle {
    HANDLE handle;
    ~ScopedHandle() {
        if (handle) CloseHandle(handle);
    }
    operator HANDLE() const { return handle; }
};

void WaitUntil(const std::atomic<int>& counter, int value) {
    while (counter.load() < value) std::this_thread::yield();
}

TEST(Events, AutoResetReleasesExactlyOneWaiterPerSignal) {
    ScopedHandle event{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    ASSERT_NE(event.handle, nullptr);
    constexpr int kWaiters = 3;
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < kWaiters; ++i)
        waiters.emplace_back([&] {
            EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
            ++released;
        });
    for (int signal = 1; signal <= kWaiters; ++signal) {
        ASSERT_TRUE(SetEvent(event));
        WaitUntil(released, signal);
        Sleep(20);  // room for a wrongly released second waiter to show up
        EXPECT_EQ(released.load(), signal);
    }
    for (std::thread& waiter : waiters) waiter.join();
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the last wait consumed the signal";
}

TEST(Events, ManualResetReleasesAllWaitersAndStaysSet) {
    ScopedHandle event{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] { EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0); });
    ASSERT_TRUE(SetEvent(event));
    for (std::thread& waiter : waiters) waiter.join();
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(Events, InitialStateAndTimeouts) {
    ScopedHandle manual{CreateEventW(nullptr, TRUE, TRUE, L"ignored name")};
    ScopedHandle automatic{CreateEventA(nullptr, FALSE, TRUE, nullptr)};
    ScopedHandle unset{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(unset, 30), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(Waits, AnyReturnsTheLowestSignaledIndexAndConsumesOnlyIt) {
    ScopedHandle events[3] = {{CreateEventA(nullptr, FALSE, FALSE, nullptr)},
                              {CreateEventA(nullptr, FALSE, TRUE, nullptr)},
                              {CreateEventA(nullptr, FALSE, TRUE, nullptr)}};
    HANDLE handles[3] = {events[0], events[1], events[2]};
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    std::thread setter([&] { SetEvent(events[0]); });
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, INFINITE), WAIT_OBJECT_0);
    setter.join();
}

TEST(Waits, AllSucceedsOnlyWhenEverySignalIsThereAndTakesNothingBefore) {
    ScopedHandle first{CreateEventA(nullptr, FALSE, TRUE, nullptr)};
    ScopedHandle second{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    ScopedHandle manual{CreateEventA(nullptr, TRUE, TRUE, nullptr)};
    HANDLE handles[3] = {first, second, manual};
    EXPECT_EQ(WaitForMultipleObjects(3, handles, TRUE, 20), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0) << "a failed wait-all must not consume an event";
    SetEvent(first);

    std::thread setter([&] { SetEvent(second); });
    EXPECT_EQ(WaitForMultipleObjects(3, handles, TRUE, INFINITE), WAIT_OBJECT_0);
    setter.join();
    EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(second, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
}

TEST(Waits, RejectsBadArgumentsWithWindowsErrors) {
    ScopedHandle event{CreateEventA(nullptr, TRUE, TRUE, nullptr)};
    HANDLE twice[2] = {event, event};
    SetLastError(0);
    EXPECT_EQ(WaitForMultipleObjects(2, twice, TRUE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WaitForMultipleObjects(2, twice, FALSE, 0), WAIT_OBJECT_0) << "duplicates are fine for wait-any";

    std::vector<HANDLE> tooMany(MAXIMUM_WAIT_OBJECTS + 1, event.handle);
    EXPECT_EQ(WaitForMultipleObjects(static_cast<DWORD>(tooMany.size()), tooMany.data(), FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WaitForMultipleObjects(0, twice, FALSE, 0), WAIT_FAILED);

    HANDLE closed = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    ASSERT_TRUE(CloseHandle(closed));
    EXPECT_EQ(WaitForSingleObject(closed, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    HANDLE mixed[2] = {event, closed};
    EXPECT_EQ(WaitForMultipleObjects(2, mixed, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
}

TEST(Handles, CloseHandleClosesOnceAndIgnoresPseudoHandles) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(event));
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(SetEvent(event));
    EXPECT_FALSE(ResetEvent(event));
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_TRUE(CloseHandle(GetCurrentThread()));
    EXPECT_TRUE(CloseHandle(GetCurrentProcess()));
}

}  // namespace
