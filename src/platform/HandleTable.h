// Handle tables for the user and GDI objects (windows, DCs, bitmaps, notifications). They are
// separate from the kernel-object table because CloseHandle and the waits must not accept them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace kelvra::platform {

// Every table draws from one sequence, so no two user or GDI objects ever share a handle value
// (GetObjectType tells a DC from a bitmap by the value alone). Values step by 4, as Windows
// handles do, stay below 2^32 for a long time, lie far above the kernel handles' range and are
// never reused, so a stale handle can never reach a newer object.
inline uintptr_t NextUserHandle() {
    static std::atomic<uintptr_t> next{0x00C00010};
    return next.fetch_add(4, std::memory_order_relaxed);
}

template <class T>
class HandleTable {
public:
    // Handles from the shared sequence above.
    HandleTable() = default;
    // Handles of this table alone, from base on in steps of 4.
    explicit HandleTable(uintptr_t base) : next(base) {}

    uintptr_t Insert(std::shared_ptr<T> object) {
        std::lock_guard lock(mutex);
        uintptr_t handle = next;
        if (handle == 0)
            handle = NextUserHandle();
        else
            next += 4;
        objects.emplace(handle, std::move(object));
        return handle;
    }

    std::shared_ptr<T> Find(uintptr_t handle) const {
        std::lock_guard lock(mutex);
        const auto found = objects.find(handle);
        return found == objects.end() ? nullptr : found->second;
    }

    std::shared_ptr<T> Remove(uintptr_t handle) {
        std::lock_guard lock(mutex);
        const auto found = objects.find(handle);
        if (found == objects.end()) return nullptr;
        auto object = std::move(found->second);
        objects.erase(found);
        return object;
    }

    std::vector<std::shared_ptr<T>> Snapshot() const {
        std::lock_guard lock(mutex);
        std::vector<std::shared_ptr<T>> all;
        all.reserve(objects.size());
        for (const auto& entry : objects) all.push_back(entry.second);
        return all;
    }

private:
    mutable std::mutex mutex;
    uintptr_t next = 0;  // 0: the shared sequence
    std::unordered_map<uintptr_t, std::shared_ptr<T>> objects;
};

}  // namespace kelvra::platform
