// The four frame buffers between the acquisition thread and the session. There is no lock: each
// slot carries an atomic state, so the writer claims only a slot no reader holds and a reader
// pins only a slot the writer is not filling. A reader therefore always copies a whole frame,
// never one half-overwritten by the next.
//
// The writer fills a claimed slot in place (the transfer reads straight into it) and publishes it
// only once the whole frame is there; a transfer that fails hands the slot back unpublished, so
// readers go on seeing the frame before it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

class FrameRing {
public:
    static constexpr int kSlots = 4;

    // A slot held by the writer. Readers cannot pin it until it is published; destroyed without
    // Publish it goes back as it was, its frame not counted.
    class Claim {
    public:
        Claim() = default;
        Claim(Claim&& other) noexcept { *this = static_cast<Claim&&>(other); }
        Claim& operator=(Claim&& other) noexcept;
        Claim(const Claim&) = delete;
        Claim& operator=(const Claim&) = delete;
        ~Claim() { Return(); }

        explicit operator bool() const { return ring != nullptr; }
        uint8_t* Data() const;
        size_t Bytes() const;
        // Makes the slot's contents the newest frame (the first slot's frame for a claim of the
        // first slot, which counts as no new stream frame).
        void Publish();
        // Gives the slot back unpublished.
        void Return();

    private:
        friend class FrameRing;
        Claim(FrameRing* ring, int slot, bool advance) : ring(ring), slot(slot), advance(advance) {}

        FrameRing* ring = nullptr;
        int slot = 0;
        bool advance = false;
    };

    // All slots or none; the contents start zeroed.
    bool Allocate(size_t bytesPerSlot);
    void Release();
    bool Allocated() const { return slots[0] != nullptr; }
    size_t SlotBytes() const { return slotBytes; }

    // Acquisition side: the slot at the write index, or the next one no reader holds. Never the
    // newest frame's slot, so readers of the newest frame never wait for a transfer. Empty when
    // readers hold every other slot (or nothing is allocated).
    Claim ClaimNext();
    // The first slot, waiting while readers hold it; for the synchronous capture, whose frame
    // does not count as a new stream frame.
    Claim ClaimFirst();
    // A claim filled by copying: false when no slot could be claimed.
    bool Store(const uint8_t* source, size_t bytes);
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
    bool TryClaim(int slot);
    void Publish(int slot, bool advance);
    void Unclaim(int slot) { state[slot].store(0, std::memory_order_release); }
    bool StoreByCopy(Claim claim, const uint8_t* source, size_t bytes);
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
