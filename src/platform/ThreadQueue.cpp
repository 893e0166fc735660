#include "ThreadQueue.h"

#include "Window.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace kelvra::platform {

namespace {

// One lock for every queue: a sender waits on its own queue while another thread answers,
// and a single lock keeps that hand-over simple and free of lock-order cycles.
std::mutex& QueueMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}

struct QueueRegistry {
    std::mutex mutex;
    std::map<DWORD, std::shared_ptr<ThreadQueue>> queues;
};

QueueRegistry& Registry()
{
    static auto* registry = new QueueRegistry;
    return *registry;
}

// Ends the thread's queue with the thread: its windows go away, as they do on Windows.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;

    ~QueueHolder()
    {
        if (!queue)
            return;
        DestroyThreadWindows(queue->ThreadId());
        queue->Close();
        auto& registry = Registry();
        std::lock_guard lock(registry.mutex);
        const auto found = registry.queues.find(queue->ThreadId());
        if (found != registry.queues.end() && found->second == queue)
            registry.queues.erase(found);
    }
};

thread_local QueueHolder currentHolder;

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = GetTickCount();
    return msg;
}

}  // namespace

bool MessageFilter::Matches(HWND hwnd, UINT message) const
{
    if (window == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1))) {
        if (hwnd != nullptr)
            return false;
    } else if (window != nullptr && hwnd != window) {
        return false;
    }
    // WM_QUIT is retrieved whatever range the caller asks for.
    if ((first == 0 && last == 0) || message == WM_QUIT)
        return true;
    return message >= first && message <= last;
}

std::shared_ptr<ThreadQueue> CurrentQueue()
{
    if (!currentHolder.queue) {
        auto queue = std::make_shared<ThreadQueue>(GetCurrentThreadId());
        auto& registry = Registry();
        std::lock_guard lock(registry.mutex);
        registry.queues[queue->ThreadId()] = queue;
        currentHolder.queue = std::move(queue);
    }
    return currentHolder.queue;
}

std::shared_ptr<ThreadQueue> FindQueue(DWORD threadId)
{
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    const auto found = registry.queues.find(threadId);
    return found == registry.queues.end() ? nullptr : found->second;
}

bool ThreadQueue::Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, std::shared_ptr<void> payload)
{
    std::lock_guard lock(QueueMutex());
    if (closed_)
        return false;
    posted_.push_back({MakeMessage(hwnd, message, wParam, lParam), std::move(payload)});
    wake_.notify_all();
    return true;
}

LRESULT ThreadQueue::SendFrom(ThreadQueue& caller, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::unique_lock lock(QueueMutex());
    if (closed_)
        return 0;
    auto sent = std::make_shared<Sent>();
    sent->hwnd = hwnd;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    sent->sender = &caller;
    inbox_.push_back(sent);
    wake_.notify_all();
    while (!sent->done) {
        caller.ServeSentLocked(lock);
        if (!sent->done)
            caller.wake_.wait(lock);
    }
    return sent->result;
}

void ThreadQueue::ServeSentLocked(std::unique_lock<std::mutex>& lock)
{
    while (!inbox_.empty()) {
        auto sent = std::move(inbox_.front());
        inbox_.pop_front();
        lock.unlock();
        const LRESULT result = CallWindowProcedure(sent->hwnd, sent->message, sent->wParam, sent->lParam);
        lock.lock();
        sent->result = result;
        sent->done = true;
        sent->sender->wake_.notify_all();
    }
}

bool ThreadQueue::TakeLocked(MSG& out, const MessageFilter& filter, bool remove)
{
    const auto posted = std::find_if(posted_.begin(), posted_.end(), [&](const Posted& entry) {
        return filter.Matches(entry.msg.hwnd, entry.msg.message);
    });
    if (posted != posted_.end()) {
        out = posted->msg;
        if (remove) {
            currentPayload_ = std::move(posted->payload);
            posted_.erase(posted);
        }
        return true;
    }
    if (remove)
        currentPayload_.reset();
    if (quitPending_ && filter.Matches(nullptr, WM_QUIT)) {
        out = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(quitCode_), 0);
        if (remove)
            quitPending_ = false;
        return true;
    }
    // A paint stays pending until the window procedure validates the window.
    for (HWND hwnd : paintPending_) {
        if (filter.Matches(hwnd, WM_PAINT)) {
            out = MakeMessage(hwnd, WM_PAINT, 0, 0);
            return true;
        }
    }
    return false;
}

bool ThreadQueue::Retrieve(MSG& out, const MessageFilter& filter, bool remove, bool wait)
{
    std::unique_lock lock(QueueMutex());
    for (;;) {
        ServeSentLocked(lock);
        if (TakeLocked(out, filter, remove))
            return true;
        if (!wait)
            return false;
        wake_.wait(lock);
    }
}

void ThreadQueue::WaitForInput()
{
    std::unique_lock lock(QueueMutex());
    for (;;) {
        ServeSentLocked(lock);
        if (!posted_.empty() || quitPending_ || !paintPending_.empty())
            return;
        wake_.wait(lock);
    }
}

void ThreadQueue::PostQuit(int exitCode)
{
    std::lock_guard lock(QueueMutex());
    quitPending_ = true;
    quitCode_ = exitCode;
    wake_.notify_all();
}

void ThreadQueue::SetPaintPending(HWND hwnd, bool pending)
{
    std::lock_guard lock(QueueMutex());
    const auto found = std::find(paintPending_.begin(), paintPending_.end(), hwnd);
    if (pending && found == paintPending_.end()) {
        paintPending_.push_back(hwnd);
        wake_.notify_all();
    } else if (!pending && found != paintPending_.end()) {
        paintPending_.erase(found);
    }
}

void ThreadQueue::DiscardWindow(HWND hwnd)
{
    std::lock_guard lock(QueueMutex());
    std::erase_if(posted_, [hwnd](const Posted& entry) { return entry.msg.hwnd == hwnd; });
    std::erase(paintPending_, hwnd);
}

void ThreadQueue::Close()
{
    std::lock_guard lock(QueueMutex());
    closed_ = true;
    for (auto& sent : inbox_) {
        sent->done = true;
        sent->sender->wake_.notify_all();
    }
    inbox_.clear();
    posted_.clear();
    paintPending_.clear();
    currentPayload_.reset();
}

}  // namespace kelvra::platform
