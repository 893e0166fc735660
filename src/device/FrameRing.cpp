#include "device/FrameRing.h"

#include <cstring>
#include <new>
#include <thread>

bool FrameRing::Allocate(size_t bytesPerSlot) {
    Release();
    for (auto& slot : slots) {
        slot.reset(new (std::nothrow) uint8_t[bytesPerSlot]());
        if (!slot) {
            Release();
            return false;
        }
    }
    slotBytes = bytesPerSlot;
    return true;
}

void FrameRing::Release() {
    for (auto& slot : slots) slot.reset();
    slotBytes = 0;
}

void FrameRing::WaitForOtherSide() { std::this_thread::yield(); }

bool FrameRing::Pin(int slot) {
    int32_t current = state[slot].load(std::memory_order_relaxed);
    while (current != kWriting) {
        if (state[slot].compare_exchange_weak(current, current + 1, std::memory_order_acquire,
                                              std::memory_order_relaxed))
            return true;
    }
    return false;
}

bool FrameRing::Claim(int slot) {
    int32_t expected = 0;
    return state[slot].compare_exchange_strong(expected, kWriting, std::memory_order_acquire,
                                               std::memory_order_relaxed);
}

void FrameRing::Publish(int slot, const uint8_t* source, size_t bytes, bool advance) {
    std::memcpy(slots[slot].get(), source, bytes < slotBytes ? bytes : slotBytes);
    // Only stream frames count as new; the synchronous capture's frame takes the current count,
    // so a reader that copies it marks nothing newer as read.
    slotSequence[slot] = advance ? framesStored.fetch_add(1, std::memory_order_acq_rel) + 1
                                 : framesStored.load(std::memory_order_acquire);
    state[slot].store(0, std::memory_order_release);
    if (advance) writeIndex.store(static_cast<uint32_t>((slot + 1) % kSlots), std::memory_order_release);
}

bool FrameRing::Store(const uint8_t* source, size_t bytes) {
    if (!Allocated()) return false;
    const uint32_t start = writeIndex.load(std::memory_order_relaxed);
    for (int step = 0; step < kSlots; ++step) {
        const int slot = static_cast<int>((start + static_cast<uint32_t>(step)) % kSlots);
        if (Claim(slot)) {
            Publish(slot, source, bytes, true);
            return true;
        }
    }
    return false;
}

bool FrameRing::StoreFirst(const uint8_t* source, size_t bytes) {
    if (!Allocated()) return false;
    while (!Claim(0)) WaitForOtherSide();
    Publish(0, source, bytes, false);
    return true;
}
