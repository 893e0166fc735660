#include "ThreadQueue.h"

#include "Window.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace kelvra::platform {

namespace {

// One lock for every queue: a sender waits on its own queue while another thread answers,
// and a single lock keeps that hand-over simple and free of lock-order cycles.
std::mutex& QueueMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

struct QueueRegistry {
    std::mutex mutex;
    std::map<DWORD, std::shared_ptr<ThreadQueue>> queues;
};

QueueRegistry& Registry() {
    static auto* registry = new QueueRegistry;
    return *registry;
}

// Ends the thread's queue with the thread: its windows go away, as they do on Windows.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;

    ~QueueHolder() {
        if (!queue) return;
        DestroyThreadWindows(queue->ThreadId());
        queue->Close();
        auto& registry = Registry();
        std::lock_guard lock(registry.mutex);
        const auto found = registry.queues.find(queue->ThreadId());
        if (found != registry.queues.end() && found->second == queue) registry.queues.erase(found);
    }
};

thread_local QueueHolder currentHolder;

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = GetTickCount();
    return msg;
}

}  // namespace

bool MessageFilter::Matches(HWND hwnd, UINT message) const {
    if (window == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1))) {
        if (hwnd != nullptr) return false;
    } else if (window != nullptr && hwnd != window) {
        return false;
    }
    // WM_QUIT is retrieved whatever range the caller asks for.
    if ((first == 0 && last == 0) || message == WM_QUIT) return true;
    return message >= first && message <= last;
}

std::shared_ptr<ThreadQueue> CurrentQueue() {
    if (!currentHolder.queue) {
        auto queue = std::make_shared<ThreadQueue>(GetCurrentThreadId());
        auto& registry = Registry();
        std::lock_guard lock(registry.mutex);
        registry.queues[queue->ThreadId()] = queue;
        currentHolder.queue = std::move(queue);
    }
    return currentHolder.queue;
}

std::shared_ptr<ThreadQueue> FindQueue(DWORD threadId) {
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    const auto found = registry.queues.find(threadId);
    return found == registry.queues.end() ? nullptr : found->second;
}

bool ThreadQueue::Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, std::shared_ptr<void> payload) {
    std::lock_guard lock(QueueMutex());
    if (closed) return false;
    posted.push_back({MakeMessage(hwnd, message, wParam, lParam), std::move(payload)});
    wake.notify_all();
    return true;
}

LRESULT ThreadQueue::SendFrom(ThreadQueue& caller, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    std::unique_lock lock(QueueMutex());
    if (closed) return 0;
    auto sent = std::make_shared<Sent>();
    sent->hwnd = hwnd;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    sent->sender = &caller;
    inbox.push_back(sent);
    wake.notify_all();
    while (!sent->done) {
        caller.ServeSentLocked(lock);
        if (!sent->done) caller.wake.wait(lock);
    }
    return sent->result;
}

bool ThreadQueue::RunOnOwner(std::function<void()> task) {
    std::lock_guard lock(QueueMutex());
    if (closed) return false;
    tasks.push_back(std::move(task));
    wake.notify_all();
    return true;
}

void ThreadQueue::ServeSentLocked(std::unique_lock<std::mutex>& lock) {
    while (!tasks.empty()) {
        auto task = std::move(tasks.front());
        tasks.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
    while (!inbox.empty()) {
        auto sent = std::move(inbox.front());
        inbox.pop_front();
        lock.unlock();
        const LRESULT result = CallWindowProcedure(sent->hwnd, sent->message, sent->wParam, sent->lParam);
        lock.lock();
        sent->result = result;
        sent->done = true;
        sent->sender->wake.notify_all();
    }
}

bool ThreadQueue::TakeLocked(MSG& out, const MessageFilter& filter, bool remove) {
    const auto found = std::find_if(posted.begin(), posted.end(), [&](const Posted& entry) {
        return filter.Matches(entry.msg.hwnd, entry.msg.message);
    });
    if (found != posted.end()) {
        out = found->msg;
        if (remove) {
            currentPayload = std::move(found->payload);
            posted.erase(found);
        }
        return true;
    }
    if (remove) currentPayload.reset();
    if (quitPending && filter.Matches(nullptr, WM_QUIT)) {
        out = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(quitCode), 0);
        if (remove) quitPending = false;
        return true;
    }
    // A paint stays pending until the window procedure validates the window.
    for (HWND hwnd : paintPending) {
        if (filter.Matches(hwnd, WM_PAINT)) {
            out = MakeMessage(hwnd, WM_PAINT, 0, 0);
            return true;
        }
    }
    return false;
}

bool ThreadQueue::Retrieve(MSG& out, const MessageFilter& filter, bool remove, bool wait) {
    std::unique_lock lock(QueueMutex());
    for (;;) {
        ServeSentLocked(lock);
        if (TakeLocked(out, filter, remove)) return true;
        if (!wait) return false;
        wake.wait(lock);
    }
}

void ThreadQueue::WaitForInput() {
    std::unique_lock lock(QueueMutex());
    for (;;) {
        ServeSentLocked(lock);
        if (!posted.empty() || quitPending || !paintPending.empty()) return;
        wake.wait(lock);
    }
}

void ThreadQueue::PostQuit(int exitCode) {
    std::lock_guard lock(QueueMutex());
    quitPending = true;
    quitCode = exitCode;
    wake.notify_all();
}

void ThreadQueue::SetPaintPending(HWND hwnd, bool pending) {
    std::lock_guard lock(QueueMutex());
    const auto found = std::find(paintPending.begin(), paintPending.end(), hwnd);
    if (pending && found == paintPending.end()) {
        paintPending.push_back(hwnd);
        wake.notify_all();
    } else if (!pending && found != paintPending.end()) {
        paintPending.erase(found);
    }
}

void ThreadQueue::DiscardWindow(HWND hwnd) {
    std::lock_guard lock(QueueMutex());
    std::erase_if(posted, [hwnd](const Posted& entry) { return entry.msg.hwnd == hwnd; });
    std::erase(paintPending, hwnd);
}

void ThreadQueue::Close() {
    std::lock_guard lock(QueueMutex());
    closed = true;
    for (auto& sent : inbox) {
        sent->done = true;
        sent->sender->wake.notify_all();
    }
    inbox.clear();
    tasks.clear();
    posted.clear();
    paintPending.clear();
    currentPayload.reset();
}

}  // namespace kelvra::platform
