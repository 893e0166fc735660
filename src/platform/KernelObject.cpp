#include "KernelObject.h"

#include <unordered_map>
#include <vector>

namespace kelvra::platform {
namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = 0x100;
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable;  // lives until exit: handles may be closed from atexit code
    return *table;
}

std::condition_variable& WaitCondition() {
    static std::condition_variable* condition = new std::condition_variable;
    return *condition;
}

bool Satisfied(const std::shared_ptr<KernelObject>* objects, size_t count, bool waitAll, size_t& index) {
    if (waitAll) {
        for (size_t i = 0; i < count; ++i)
            if (!objects[i]->IsSignaled()) return false;
        for (size_t i = 0; i < count; ++i) objects[i]->Acquire();
        index = 0;
        return true;
    }
    for (size_t i = 0; i < count; ++i) {
        if (objects[i]->IsSignaled()) {
            objects[i]->Acquire();
            index = i;
            return true;
        }
    }
    return false;
}

}  // namespace

HANDLE InsertObject(std::shared_ptr<KernelObject> object) {
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    uintptr_t value = table.next;
    table.next += 4;
    table.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> ReferenceObject(HANDLE handle) {
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == table.objects.end() ? nullptr : it->second;
}

bool RemoveObject(HANDLE handle) {
    std::shared_ptr<KernelObject> released;  // destroyed outside the table lock
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == table.objects.end()) return false;
    released = std::move(it->second);
    table.objects.erase(it);
    return true;
}

std::mutex& WaitMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

void NotifyWaiters() { WaitCondition().notify_all(); }

std::optional<size_t> WaitForObjects(const std::shared_ptr<KernelObject>* objects, size_t count, bool waitAll,
                                     DWORD milliseconds) {
    std::unique_lock lock(WaitMutex());
    size_t index = 0;
    if (milliseconds == 0xFFFFFFFFu) {
        WaitCondition().wait(lock, [&] { return Satisfied(objects, count, waitAll, index); });
        return index;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    if (WaitCondition().wait_until(lock, deadline, [&] { return Satisfied(objects, count, waitAll, index); }))
        return index;
    return std::nullopt;
}

}  // namespace kelvra::platform
