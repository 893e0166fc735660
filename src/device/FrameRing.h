// The four frame buffers between the acquisition thread and the session. There is no lock: each
// slot carries an atomic state, so the writer claims only a slot no reader holds and a reader
// pins only a slot the writer is not filling. A reader therefore always copies a whole frame,
// never one half-overwritten by the next.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

class FrameRing {
public:
    static constexpr int kSlots = 4;

    // All slots or none; the contents start zeroed.
    bool Allocate(size_t bytesPerSlot);
    void Release();
    bool Allocated() const { return slots[0] != nullptr; }
    size_t SlotBytes() const { return slotBytes; }

    // Acquisition side: copies bytes into the slot at the write index (or the next one no reader
    // holds) and publishes it as the newest frame. false when every slot is held by readers.
    bool Store(const uint8_t* source, size_t bytes);
    // Fills the first slot, waiting while readers hold it; for the synchronous capture, whose
    // frame does not count as a new stream frame.
    bool StoreFirst(const uint8_t* source, size_t bytes);

    // Reader side: calls read(slotData) while the slot is pinned and returns the sequence number
    // of the frame it held (0 when none was ever stored there).
    template <class Reader>
    uint64_t ReadNewest(Reader&& read) {
        for (;;) {
            const int slot = NewestSlot();
            if (Pin(slot)) return ReadPinned(slot, read);
        }
    }
    template <class Reader>
    uint64_t ReadFirst(Reader&& read) {
        while (!Pin(0)) WaitForOtherSide();
        return ReadPinned(0, read);
    }

    uint32_t WriteIndex() const { return writeIndex.load(std::memory_order_acquire); }
    // Sequence number of the newest stored frame; counts every stored frame and never wraps back.
    uint64_t FramesStored() const { return framesStored.load(std::memory_order_acquire); }

private:
    static constexpr int32_t kWriting = -1;

    int NewestSlot() const { return static_cast<int>((WriteIndex() + kSlots - 1) % kSlots); }
    bool Pin(int slot);
    void Unpin(int slot) { state[slot].fetch_sub(1, std::memory_order_release); }
    bool Claim(int slot);
    void Publish(int slot, const uint8_t* source, size_t bytes, bool advance);
    static void WaitForOtherSide();

    template <class Reader>
    uint64_t ReadPinned(int slot, Reader& read) {
        const uint64_t sequence = slotSequence[slot];
        read(static_cast<const uint8_t*>(slots[slot].get()));
        Unpin(slot);
        return sequence;
    }

    std::unique_ptr<uint8_t[]> slots[kSlots];
    size_t slotBytes = 0;
    // 0 free, kWriting while the writer fills it, n > 0 while n readers copy from it.
    std::atomic<int32_t> state[kSlots] = {};
    // Written only while the slot is claimed, read only while pinned.
    uint64_t slotSequence[kSlots] = {};
    std::atomic<uint32_t> writeIndex{0};
    std::atomic<uint64_t> framesStored{0};
};
