// The message queue of one thread: posted messages, the quit flag, pending paints and messages
// sent from other threads that wait for this thread to run the window procedure.
#pragma once

#include "kelvra/win32.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace kelvra::platform {

struct MessageFilter {
    HWND window = nullptr;  // null: any; (HWND)-1: thread messages only; else that window
    UINT first = 0;
    UINT last = 0;  // 0/0: every message

    bool Matches(HWND hwnd, UINT message) const;
};

class ThreadQueue {
public:
    explicit ThreadQueue(DWORD threadId) : threadId(threadId) {}

    DWORD ThreadId() const { return threadId; }

    // Any thread. payload keeps what lParam points to alive until the owner removes its next
    // message. False once the owning thread has ended.
    bool Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, std::shared_ptr<void> payload = {});

    // Any thread: runs the window procedure on the owning thread and waits for its result.
    // 0 when the owning thread ends first. The caller's own queue keeps serving messages sent
    // to the caller meanwhile, so two threads sending to each other do not deadlock.
    LRESULT SendFrom(ThreadQueue& caller, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Any thread: runs task on the owning thread when it next retrieves or waits for messages,
    // the way sent messages are served, without waiting for it. False once the thread has ended.
    bool RunOnOwner(std::function<void()> task);

    // Owning thread only.
    bool Retrieve(MSG& out, const MessageFilter& filter, bool remove, bool wait);
    void WaitForInput();
    void PostQuit(int exitCode);
    void SetPaintPending(HWND hwnd, bool pending);

    // Any thread: a destroyed window's posted messages and pending paint go away.
    void DiscardWindow(HWND hwnd);

    // The owning thread ended: later posts fail, waiting senders get 0.
    void Close();

private:
    struct Posted {
        MSG msg;
        std::shared_ptr<void> payload;
    };
    struct Sent {
        HWND hwnd;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT result = 0;
        bool done = false;
        ThreadQueue* sender = nullptr;
    };

    // Called with the queue lock held, which they drop around window procedures.
    void ServeSentLocked(std::unique_lock<std::mutex>& lock);
    bool TakeLocked(MSG& out, const MessageFilter& filter, bool remove);

    const DWORD threadId;
    std::condition_variable wake;
    std::deque<Posted> posted;
    std::deque<std::shared_ptr<Sent>> inbox;
    std::deque<std::function<void()>> tasks;
    std::vector<HWND> paintPending;
    std::shared_ptr<void> currentPayload;
    bool quitPending = false;
    int quitCode = 0;
    bool closed = false;
};

// The queue of the calling thread, created on first use and closed when the thread ends.
std::shared_ptr<ThreadQueue> CurrentQueue();

// The queue of a thread that has made one, or null.
std::shared_ptr<ThreadQueue> FindQueue(DWORD threadId);

// Runs the window procedure of a window for a message (no-op result 0 for unknown windows).
LRESULT CallWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kelvra::platform
