#include "device/FrameRing.h"

#include <cstring>
#include <new>
#include <thread>

FrameRing::Claim& FrameRing::Claim::operator=(Claim&& other) noexcept {
    if (this != &other) {
        Return();
        ring = other.ring;
        slot = other.slot;
        advance = other.advance;
        other.ring = nullptr;
    }
    return *this;
}

uint8_t* FrameRing::Claim::Data() const { return ring != nullptr ? ring->slots[slot].get() : nullptr; }

size_t FrameRing::Claim::Bytes() const { return ring != nullptr ? ring->slotBytes : 0; }

void FrameRing::Claim::Publish() {
    if (ring == nullptr) return;
    ring->Publish(slot, advance);
    ring = nullptr;
}

void FrameRing::Claim::Return() {
    if (ring == nullptr) return;
    ring->Unclaim(slot);
    ring = nullptr;
}

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

bool FrameRing::TryClaim(int slot) {
    int32_t expected = 0;
    return state[slot].compare_exchange_strong(expected, kWriting, std::memory_order_acquire,
                                               std::memory_order_relaxed);
}

void FrameRing::Publish(int slot, bool advance) {
    // Only stream frames count as new; the synchronous capture's frame takes the current count,
    // so a reader that copies it marks nothing newer as read.
    slotSequence[slot] = advance ? framesStored.fetch_add(1, std::memory_order_acq_rel) + 1
                                 : framesStored.load(std::memory_order_acquire);
    state[slot].store(0, std::memory_order_release);
    if (advance) writeIndex.store(static_cast<uint32_t>((slot + 1) % kSlots), std::memory_order_release);
}

FrameRing::Claim FrameRing::ClaimNext() {
    if (!Allocated()) return {};
    const uint32_t start = writeIndex.load(std::memory_order_relaxed);
    // The writer is the only one that moves the write index, so the newest slot (start - 1)
    // stays out of reach for the whole claim.
    for (int step = 0; step < kSlots - 1; ++step) {
        const int slot = static_cast<int>((start + static_cast<uint32_t>(step)) % kSlots);
        if (TryClaim(slot)) return Claim(this, slot, true);
    }
    return {};
}

FrameRing::Claim FrameRing::ClaimFirst() {
    if (!Allocated()) return {};
    while (!TryClaim(0)) WaitForOtherSide();
    return Claim(this, 0, false);
}

bool FrameRing::StoreByCopy(Claim claim, const uint8_t* source, size_t bytes) {
    if (!claim) return false;
    std::memcpy(claim.Data(), source, bytes < slotBytes ? bytes : slotBytes);
    claim.Publish();
    return true;
}

bool FrameRing::Store(const uint8_t* source, size_t bytes) { return StoreByCopy(ClaimNext(), source, bytes); }

bool FrameRing::StoreFirst(const uint8_t* source, size_t bytes) { return StoreByCopy(ClaimFirst(), source, bytes); }
