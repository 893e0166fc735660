// Handle tables for the user and GDI objects (windows, DCs, bitmaps, notifications). They are
// separate from the kernel-object table because CloseHandle and the waits must not accept them.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace kelvra::platform {

template <class T>
class HandleTable {
public:
    // Handles of one table start at base and step by 4, as Windows handles do; they are never
    // reused, so a stale handle can never reach a newer object.
    explicit HandleTable(uintptr_t base) : next_(base) {}

    uintptr_t Insert(std::shared_ptr<T> object)
    {
        std::lock_guard lock(mutex_);
        const uintptr_t handle = next_;
        next_ += 4;
        objects_.emplace(handle, std::move(object));
        return handle;
    }

    std::shared_ptr<T> Find(uintptr_t handle) const
    {
        std::lock_guard lock(mutex_);
        const auto found = objects_.find(handle);
        return found == objects_.end() ? nullptr : found->second;
    }

    std::shared_ptr<T> Remove(uintptr_t handle)
    {
        std::lock_guard lock(mutex_);
        const auto found = objects_.find(handle);
        if (found == objects_.end())
            return nullptr;
        auto object = std::move(found->second);
        objects_.erase(found);
        return object;
    }

    std::vector<std::shared_ptr<T>> Snapshot() const
    {
        std::lock_guard lock(mutex_);
        std::vector<std::shared_ptr<T>> all;
        all.reserve(objects_.size());
        for (const auto& entry : objects_)
            all.push_back(entry.second);
        return all;
    }

private:
    mutable std::mutex mutex_;
    uintptr_t next_;
    std::unordered_map<uintptr_t, std::shared_ptr<T>> objects_;
};

}  // namespace kelvra::platform
