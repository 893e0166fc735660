// The frame ring between the acquisition thread and its readers: newest-frame semantics and,
// under a writer that never waits, no frame read half-written.
#include "device/FrameRing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr size_t kFrameBytes = 4096;

std::vector<uint8_t> Uniform(uint8_t value) { return std::vector<uint8_t>(kFrameBytes, value); }

uint8_t ReadNewestValue(FrameRing& ring, uint64_t* sequence = nullptr) {
    std::vector<uint8_t> copy(kFrameBytes);
    const uint64_t taken = ring.ReadNewest([&](const uint8_t* slot) { std::copy_n(slot, kFrameBytes, copy.data()); });
    if (sequence != nullptr) *sequence = taken;
    return copy[0];
}

TEST(FrameRing, AReaderFourFramesBehindGetsTheNewest) {
    FrameRing ring;
    ASSERT_TRUE(ring.Allocate(kFrameBytes));
    for (uint8_t value = 1; value <= 6; ++value) ASSERT_TRUE(ring.Store(Uniform(value).data(), kFrameBytes));
    uint64_t sequence = 0;
    EXPECT_EQ(ReadNewestValue(ring, &sequence), 6);
    EXPECT_EQ(sequence, 6u);
    EXPECT_EQ(ring.FramesStored(), 6u);
    EXPECT_EQ(ring.WriteIndex(), 6u % FrameRing::kSlots);
}

TEST(FrameRing, FirstSlotIsFilledWithoutMovingTheWriteIndex) {
    FrameRing ring;
    ASSERT_TRUE(ring.Allocate(kFrameBytes));
    ASSERT_TRUE(ring.Store(Uniform(3).data(), kFrameBytes));
    ASSERT_TRUE(ring.StoreFirst(Uniform(9).data(), kFrameBytes));
    EXPECT_EQ(ring.WriteIndex(), 1u);
    EXPECT_EQ(ring.FramesStored(), 1u);
    std::vector<uint8_t> copy(kFrameBytes);
    ring.ReadFirst([&](const uint8_t* slot) { std::copy_n(slot, kFrameBytes, copy.data()); });
    EXPECT_EQ(copy, Uniform(9));
}

TEST(FrameRing, NothingIsStoredWithoutBuffers) {
    FrameRing ring;
    EXPECT_FALSE(ring.Store(Uniform(1).data(), kFrameBytes));
    EXPECT_FALSE(ring.StoreFirst(Uniform(1).data(), kFrameBytes));
    EXPECT_EQ(ring.FramesStored(), 0u);
}

TEST(FrameRing, AClaimedSlotStaysHiddenUntilPublishedAndAReturnedOneCountsForNothing) {
    FrameRing ring;
    ASSERT_TRUE(ring.Allocate(kFrameBytes));
    ASSERT_TRUE(ring.Store(Uniform(1).data(), kFrameBytes));
    {
        FrameRing::Claim claim = ring.ClaimNext();
        ASSERT_TRUE(claim);
        ASSERT_EQ(claim.Bytes(), kFrameBytes);
        std::fill_n(claim.Data(), kFrameBytes, uint8_t{7});
        // A transfer half done: readers still get the last whole frame.
        EXPECT_EQ(ReadNewestValue(ring), 1);
        claim.Return();
    }
    EXPECT_EQ(ring.FramesStored(), 1u);
    EXPECT_EQ(ReadNewestValue(ring), 1);
    {
        FrameRing::Claim claim = ring.ClaimNext();
        ASSERT_TRUE(claim);
        std::fill_n(claim.Data(), kFrameBytes, uint8_t{8});
    }  // dropped unpublished, as a failed transfer leaves it
    EXPECT_EQ(ring.FramesStored(), 1u);
    FrameRing::Claim claim = ring.ClaimNext();
    ASSERT_TRUE(claim);
    std::fill_n(claim.Data(), kFrameBytes, uint8_t{9});
    claim.Publish();
    uint64_t sequence = 0;
    EXPECT_EQ(ReadNewestValue(ring, &sequence), 9);
    EXPECT_EQ(sequence, 2u);
}

TEST(FrameRing, TheWriterNeverClaimsTheNewestFrameNorASlotAReaderHolds) {
    FrameRing ring;
    ASSERT_TRUE(ring.Allocate(kFrameBytes));
    ASSERT_TRUE(ring.Store(Uniform(5).data(), kFrameBytes));
    // Readers stuck in the three other slots: the writer gets nothing rather than the newest.
    std::vector<FrameRing::Claim> held;
    for (int slot = 0; slot < FrameRing::kSlots - 1; ++slot) {
        held.push_back(ring.ClaimNext());
        ASSERT_TRUE(held.back());
    }
    EXPECT_FALSE(ring.ClaimNext());
    EXPECT_FALSE(ring.Store(Uniform(6).data(), kFrameBytes));
    EXPECT_EQ(ReadNewestValue(ring), 5);
    held.clear();
    EXPECT_TRUE(ring.Store(Uniform(6).data(), kFrameBytes));
    EXPECT_EQ(ReadNewestValue(ring), 6);
}

TEST(FrameRingThreads, ReadersNeverSeeATornFrame) {
    FrameRing ring;
    ASSERT_TRUE(ring.Allocate(kFrameBytes));
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<long> reads{0};
    auto reader = [&] {
        std::vector<uint8_t> copy(kFrameBytes);
        while (!done.load()) {
            ring.ReadNewest([&](const uint8_t* slot) { std::copy_n(slot, kFrameBytes, copy.data()); });
            if (std::count(copy.begin(), copy.end(), copy[0]) != static_cast<long>(kFrameBytes)) ++torn;
            ++reads;
        }
    };
    std::thread first(reader);
    std::thread second(reader);
    for (int frame = 0; frame < 20000; ++frame) ring.Store(Uniform(static_cast<uint8_t>(frame)).data(), kFrameBytes);
    done.store(true);
    first.join();
    second.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(reads.load(), 0);
}

}  // namespace
