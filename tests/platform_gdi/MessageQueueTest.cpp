// Per-thread message queues: where posted and sent messages go, filters, WM_QUIT.
#include "TestWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

using namespace kelvra::test;

namespace {

const HWND kThreadOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

class MessageQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        DrainQueue();
        MessageLog::Instance().Take();
    }
    void TearDown() override { DrainQueue(); }

    TestClass windows{"MessageQueueTest"};
};

TEST_F(MessageQueueTest, PostToWindowReachesTheCreatorsQueueNotThePosters) {
    const HWND window = windows.Create(0);
    ASSERT_NE(window, nullptr);

    std::thread poster([window] {
        EXPECT_TRUE(PostMessageA(window, WM_APP + 7, 11, 22));
        MSG msg;
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "the poster's own queue stays empty";
    });
    poster.join();

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_APP + 7, WM_APP + 7, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_EQ(msg.wParam, 11u);
    EXPECT_EQ(msg.lParam, 22);
    EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId());
    DestroyWindow(window);
}

TEST_F(MessageQueueTest, PostWithoutWindowLandsInTheCallersQueue) {
    std::promise<DWORD> otherId;
    std::promise<void> release;
    std::thread other([&] {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // makes this thread's queue
        EXPECT_TRUE(PostMessageA(nullptr, WM_APP + 1, 5, 0));
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.hwnd, nullptr);
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 1));
        otherId.set_value(GetCurrentThreadId());
        release.get_future().wait();
    });
    const DWORD otherThread = otherId.get_future().get();
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_TRUE(PostThreadMessageA(otherThread, WM_APP + 2, 0, 0));
    release.set_value();
    other.join();

    // The thread is gone, and so is its queue.
    SetLastError(0);
    EXPECT_FALSE(PostThreadMessageA(otherThread, WM_APP + 2, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
}

TEST_F(MessageQueueTest, PeekFiltersByRangeAndWindow) {
    const HWND first = windows.Create(0);
    const HWND second = windows.Create(0);
    ASSERT_TRUE(PostMessageA(first, WM_USER + 1, 1, 0));
    ASSERT_TRUE(PostMessageA(second, WM_USER + 2, 2, 0));
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 3, 3, 0));
    ASSERT_TRUE(PostMessageA(first, WM_APP, 4, 0));

    MSG msg{};
    // PM_NOREMOVE leaves the message where it is.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_APP, WM_APP, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 4u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_APP, 0xFFFF, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 4u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE));

    // (HWND)-1 sees thread messages only; a window handle sees only that window's messages.
    ASSERT_TRUE(PeekMessageA(&msg, kThreadOnly, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&msg, kThreadOnly, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, second, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_FALSE(PeekMessageA(&msg, second, 0, 0, PM_REMOVE));

    // A range that misses leaves the rest queued.
    EXPECT_FALSE(PeekMessageA(&msg, first, WM_USER + 2, WM_USER + 5, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    DestroyWindow(first);
    DestroyWindow(second);
}

TEST_F(MessageQueueTest, FilterOnAnotherThreadsWindowIsRefused) {
    std::promise<HWND> made;
    std::promise<void> done;
    std::thread owner([&] {
        made.set_value(windows.Create(0));
        done.get_future().wait();
    });
    const HWND foreign = made.get_future().get();
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, foreign, 0, 0), -1) << "would otherwise wait forever";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    done.set_value();
    owner.join();
    EXPECT_FALSE(IsWindow(foreign)) << "a thread's windows end with it";
}

TEST_F(MessageQueueTest, GetMessageReturnsZeroForQuitAfterPostedMessages) {
    std::thread worker([] {
        PostMessageA(nullptr, WM_APP + 3, 0, 0);
        PostQuitMessage(42);
        MSG msg;
        // WM_QUIT ignores the range filter, but comes after messages already posted.
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 3));
        ASSERT_EQ(GetMessageA(&msg, nullptr, WM_USER, WM_USER), FALSE);
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
        EXPECT_EQ(msg.wParam, 42u);
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "the quit flag is cleared";
    });
    worker.join();
}

TEST_F(MessageQueueTest, GetMessageBlocksUntilAnotherThreadPosts) {
    const DWORD self = GetCurrentThreadId();
    std::thread poster([self] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        PostThreadMessageA(self, WM_APP + 9, 9, 0);
    });
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 9));
    poster.join();
}

TEST_F(MessageQueueTest, DispatchAndSendReachTheWindowProcedureOnItsThread) {
    const HWND window = windows.Create(0);
    MessageLog::Instance().Take();
    ASSERT_TRUE(PostMessageA(window, WM_APP + 4, 8, 9));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    EXPECT_FALSE(TranslateMessage(&msg)) << "not a key stroke";
    DispatchMessageA(&msg);
    auto seen = MessageLog::Instance().Take(WM_APP + 4);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].wParam, 8u);

    // Sent from another thread: runs on this thread while it retrieves messages.
    std::atomic<LRESULT> result{0};
    std::thread sender([&] { result = SendMessageA(window, WM_USER + 1, 21, 0); });
    while (result == 0) {
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        std::this_thread::yield();
    }
    sender.join();
    EXPECT_EQ(result.load(), 42);
    seen = MessageLog::Instance().Take(WM_USER + 1);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].threadId, GetCurrentThreadId());
    DestroyWindow(window);
}

TEST_F(MessageQueueTest, TranslatedKeyStrokesPostCharacters) {
    const HWND window = windows.Create(0);
    MSG key{};
    key.hwnd = window;
    key.message = WM_KEYDOWN;
    key.wParam = 'Q';
    EXPECT_TRUE(TranslateMessage(&key));
    key.wParam = VK_LEFT;  // no character
    EXPECT_TRUE(TranslateMessage(&key));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('q'));
    EXPECT_FALSE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    DestroyWindow(window);
}

TEST_F(MessageQueueTest, DestroyedWindowLosesItsMessagesAndRefusesNewOnes) {
    const HWND window = windows.Create(0);
    ASSERT_TRUE(PostMessageA(window, WM_APP + 5, 0, 0));
    ASSERT_TRUE(DestroyWindow(window));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_APP + 5, WM_APP + 5, PM_REMOVE));
    SetLastError(0);
    EXPECT_FALSE(PostMessageA(window, WM_APP + 5, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(SendMessageA(window, WM_USER + 1, 1, 0), 0);
}

TEST_F(MessageQueueTest, OnlyTheOwningThreadDestroysAWindow) {
    const HWND window = windows.Create(0);
    std::thread other([window] {
        EXPECT_FALSE(DestroyWindow(window));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    });
    other.join();
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(DestroyWindow(window));
}

TEST_F(MessageQueueTest, ConcurrentPostersLoseNothing) {
    const HWND window = windows.Create(0);
    constexpr int kThreads = 4;
    constexpr int kEach = 200;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([window, t] {
            for (int i = 0; i < kEach; ++i) PostMessageA(window, WM_APP + 10, static_cast<WPARAM>(t), i);
        });
    }
    std::vector<int> next(kThreads, 0);
    MSG msg;
    for (int received = 0; received < kThreads * kEach; ++received) {
        ASSERT_EQ(GetMessageA(&msg, window, WM_APP + 10, WM_APP + 10), TRUE);
        // Each poster's messages arrive in the order it posted them.
        EXPECT_EQ(msg.lParam, next[msg.wParam]++);
    }
    for (auto& poster : posters) poster.join();
    DestroyWindow(window);
}

}  // namespace
