#include "kelvra/win32.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Gate {
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD observedId = 0;
    int observedPriority = 0;
    ~Gate() { CloseHandle(release); }
};

DWORD WINAPI WaitThenReturn42(LPVOID parameter) {
    auto* gate = static_cast<Gate*>(parameter);
    gate->observedId = GetCurrentThreadId();
    gate->observedPriority = GetThreadPriority(GetCurrentThread());
    WaitForSingleObject(gate->release, INFINITE);
    return 42;
}

TEST(Threads, HandleIsSignaledWhenTheThreadEndsWithItsExitCode) {
    Gate gate;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, WaitThenReturn42, &gate, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());

    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(thread, 10), static_cast<DWORD>(WAIT_TIMEOUT));

    SetEvent(gate.release);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "a thread handle stays signaled";
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(gate.observedId, id);
    EXPECT_TRUE(CloseHandle(thread));
}

TEST(Threads, SuspendedThreadRunsOnlyAfterResumeAndKeepsItsPriority) {
    Gate gate;
    SetEvent(gate.release);
    HANDLE thread = CreateThread(nullptr, 0, WaitThenReturn42, &gate, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL));
    EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_EQ(WaitForSingleObject(thread, 30), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(gate.observedId, 0u);

    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(gate.observedPriority, THREAD_PRIORITY_TIME_CRITICAL) << "the thread sees its own priority";
    EXPECT_EQ(ResumeThread(thread), 0u);
    CloseHandle(thread);
}

TEST(Threads, PriorityAndExitCodeCallsCheckTheirArguments) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetLastError(0);
    EXPECT_FALSE(SetThreadPriority(event, THREAD_PRIORITY_NORMAL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetThreadPriority(event), THREAD_PRIORITY_ERROR_RETURN);
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(event, &code));
    EXPECT_EQ(ResumeThread(event), static_cast<DWORD>(-1));
    CloseHandle(event);

    EXPECT_FALSE(SetThreadPriority(GetCurrentThread(), 7));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // The calling thread was not made by CreateThread; its priority is still recorded.
    EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST));
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_HIGHEST);
    EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL));
    EXPECT_TRUE(GetExitCodeThread(GetCurrentThread(), &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(::getpid()));
}

TEST(Threads, ManyShortThreadsEndAndCanBeWaitedForTogether) {
    std::vector<HANDLE> threads;
    for (int i = 0; i < MAXIMUM_WAIT_OBJECTS; ++i) {
        HANDLE thread = CreateThread(
            nullptr, 0,
            [](LPVOID parameter) -> DWORD { return static_cast<DWORD>(reinterpret_cast<uintptr_t>(parameter)); },
            reinterpret_cast<LPVOID>(static_cast<uintptr_t>(i)), 0, nullptr);
        ASSERT_NE(thread, nullptr);
        threads.push_back(thread);
    }
    EXPECT_EQ(WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE),
              WAIT_OBJECT_0);
    for (size_t i = 0; i < threads.size(); ++i) {
        DWORD code = 0;
        GetExitCodeThread(threads[i], &code);
        EXPECT_EQ(code, i);
        CloseHandle(threads[i]);
    }
}

TEST(CriticalSections, AreRecursiveAndExcludeOtherThreads) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    long counter = 0;  // deliberately plain: the section is all that protects it
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            EnterCriticalSection(&section);
            EnterCriticalSection(&section);
            ++counter;
            LeaveCriticalSection(&section);
            ++counter;
            LeaveCriticalSection(&section);
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 80000);
    DeleteCriticalSection(&section);
}

TEST(CriticalSections, TryEnterSucceedsForTheOwnerAndFailsForOthers) {
    CRITICAL_SECTION section;
    ASSERT_TRUE(InitializeCriticalSectionAndSpinCount(&section, 4000));
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    BOOL otherGot = TRUE;
    std::thread([&] { otherGot = TryEnterCriticalSection(&section); }).join();
    EXPECT_FALSE(otherGot);
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    std::thread([&] {
        otherGot = TryEnterCriticalSection(&section);
        if (otherGot) LeaveCriticalSection(&section);
    }).join();
    EXPECT_TRUE(otherGot) << "after the owner left twice the section is free";
    DeleteCriticalSection(&section);
}

TEST(LastError, IsKeptPerThread) {
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seen[2] = {1, 0};  // at start, after the thread's own SetLastError
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            auto* out = static_cast<DWORD*>(parameter);
            out[0] = GetLastError();
            SetLastError(ERROR_INVALID_PARAMETER);
            out[1] = GetLastError();
            return 0;
        },
        seen, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(seen[0], 0u);
    EXPECT_EQ(seen[1], static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

}  // namespace
