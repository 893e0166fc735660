// The handle ring: where searching leaves the cursor decides which entry a release removes.
#include "api/CSdkChain.h"

#include <gtest/gtest.h>

namespace {

class Ring : public CTRing<CSDKDATA> {
public:
    int32_t CurrentHandle() { return Current() ? Current()->handle : 0; }
};

TEST(HandleRing, FindsEveryEntryFromEveryStartAndFailsOnThePredecessor) {
    Ring ring;
    EXPECT_FALSE(ring.Find(1));
    EXPECT_FALSE(ring.RemoveCurrent());
    // Each insert goes in before the cursor: the ring runs 3, 2, 1 from the last one inserted.
    for (int32_t handle : {1, 2, 3}) ASSERT_TRUE(ring.Insert(CSDKDATA{handle, nullptr}));
    EXPECT_EQ(ring.Count(), 3);
    EXPECT_EQ(ring.CurrentHandle(), 3);

    for (int32_t start : {1, 2, 3}) {
        for (int32_t wanted : {1, 2, 3}) {
            ASSERT_TRUE(ring.Find(start));
            ASSERT_TRUE(ring.Find(wanted)) << "from " << start;
            EXPECT_EQ(ring.CurrentHandle(), wanted);
        }
    }
    ASSERT_TRUE(ring.Find(3));
    EXPECT_FALSE(ring.Find(99));
    EXPECT_EQ(ring.CurrentHandle(), 1);  // 1 preceded 3
}

TEST(HandleRing, RemovingTakesTheFoundEntryAndMovesOn) {
    Ring ring;
    for (int32_t handle : {1, 2, 3}) ring.Insert(CSDKDATA{handle, nullptr});
    ASSERT_TRUE(ring.Find(2));
    ASSERT_TRUE(ring.RemoveCurrent());
    EXPECT_EQ(ring.Count(), 2);
    EXPECT_EQ(ring.CurrentHandle(), 1);
    EXPECT_FALSE(ring.Find(2));
    EXPECT_TRUE(ring.Find(3));
    ASSERT_TRUE(ring.RemoveCurrent());
    ASSERT_TRUE(ring.RemoveCurrent());
    EXPECT_EQ(ring.Count(), 0);
    EXPECT_EQ(ring.Current(), nullptr);
    EXPECT_FALSE(ring.Find(1));
}

}  // namespace
