#include <gtest/gtest.h>

#include "imaging/DibImage.h"
#include "imaging/Transfer.h"

namespace {

// Records the arguments of the last converter call.
struct Call {
    int calls = 0;
    BYTE* destination = nullptr;
    const BYTE* source = nullptr;
    RECT rect{};
    int32_t destX = -1, destY = -1;
    uint16_t destBytes = 0, sourceBytes = 0;
    int32_t destStride = 0, sourceStride = 0;
    void* param1 = nullptr;
    void* param2 = nullptr;
};
Call lastCall;

KELVRA_CONVERTER(Spy) {
    lastCall = Call{lastCall.calls + 1, destination,         source,     *sourceRect,  destX,  destY,
                    destBytesPerPixel,  sourceBytesPerPixel, destStride, sourceStride, param1, param2};
    return 42;
}

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        lastCall = Call{};
        InitImage(&dest);
        InitImage(&source);
        ASSERT_EQ(CreateImage(&dest, 10, 8, 24), 1);
        ASSERT_EQ(CreateImage(&source, 6, 5, 16), 1);
    }
    void TearDown() override {
        DestroyImage(&dest);
        DestroyImage(&source);
    }
    DibImage dest, source;
};

TEST_F(TransferTest, HandsTheConverterStorageRowsStridesAndParameters) {
    int record = 0;
    const RECT rect{1, 1, 4, 3};  // top-down rows 1..2 of a 5-row image = storage rows 2..3
    EXPECT_EQ(TransferImage(&dest, Spy, &source, &rect, 2, 3, &record, &dest), 42);
    EXPECT_EQ(lastCall.calls, 1);
    EXPECT_EQ(lastCall.destination, dest.bits);
    EXPECT_EQ(lastCall.source, source.bits);
    EXPECT_EQ(lastCall.rect.left, 1);
    EXPECT_EQ(lastCall.rect.right, 4);
    EXPECT_EQ(lastCall.rect.top, 2);
    EXPECT_EQ(lastCall.rect.bottom, 4);
    EXPECT_EQ(lastCall.destX, 2);
    EXPECT_EQ(lastCall.destY, 8 - 5);  // destination rows 3..4 end at 5
    EXPECT_EQ(lastCall.destBytes, 3);
    EXPECT_EQ(lastCall.sourceBytes, 2);
    EXPECT_EQ(lastCall.destStride, 32);
    EXPECT_EQ(lastCall.sourceStride, 12);
    EXPECT_EQ(lastCall.param1, &record);
    EXPECT_EQ(lastCall.param2, &dest);
}

TEST_F(TransferTest, WholeImageOntoSameSizeIsTheFullRectangle) {
    DibImage same;
    InitImage(&same);
    ASSERT_EQ(CreateImage(&same, 6, 5, 8), 1);
    EXPECT_EQ(TransferImage(&same, Spy, &source, nullptr, 0, 0, nullptr, nullptr), 42);
    EXPECT_EQ(lastCall.rect.left, 0);
    EXPECT_EQ(lastCall.rect.top, 0);
    EXPECT_EQ(lastCall.rect.right, 6);
    EXPECT_EQ(lastCall.rect.bottom, 5);
    EXPECT_EQ(lastCall.destY, 0);
    DestroyImage(&same);
}

TEST_F(TransferTest, NothingLeftOrNoConverterCallsNothing) {
    const RECT outside{7, 0, 9, 2}, empty{2, 2, 2, 4};
    EXPECT_EQ(TransferImage(&dest, Spy, &source, nullptr, 10, 0, nullptr, nullptr), 0);  // destX = width
    EXPECT_EQ(TransferImage(&dest, Spy, &source, nullptr, 0, -5, nullptr, nullptr), 0);  // wholly above
    EXPECT_EQ(TransferImage(&dest, Spy, &source, &outside, 0, 0, nullptr, nullptr), 0);  // beyond the source
    EXPECT_EQ(TransferImage(&dest, Spy, &source, &empty, 0, 0, nullptr, nullptr), 0);
    EXPECT_EQ(TransferImage(&dest, nullptr, &source, nullptr, 0, 0, nullptr, nullptr), 0);
    DibImage blank;
    InitImage(&blank);
    EXPECT_EQ(TransferImage(&blank, Spy, &source, nullptr, 0, 0, nullptr, nullptr), 0);
    EXPECT_EQ(lastCall.calls, 0);
}

TEST(ClipTransferTest, ClipsBothSidesAndKeepsThemAligned) {
    struct Case {
        RECT in;
        int32_t x, y;
        bool ok;
        RECT out;  // storage rows
        int32_t outX, outY;
    };
    // Destination 10 x 8, source 6 x 5.
    const Case cases[] = {
        {{0, 0, 6, 5}, -2, -1, true, {2, 0, 6, 4}, 0, 4},  // hanging over the top-left corner
        {{0, 0, 6, 5}, 7, 6, true, {0, 3, 3, 5}, 7, 0},    // over the bottom-right corner
        {{-3, -2, 3, 3}, 0, 0, true, {0, 2, 3, 5}, 3, 3},  // source rectangle reaching outside the source
        {{0, 0, 6, 5}, 0, 8, false, {0, 0, 0, 0}, 0, 0},   // destY = destination height
        {{2, 1, 2, 4}, 0, 0, false, {0, 0, 0, 0}, 0, 0},   // empty
        {{6, 0, 9, 5}, 0, 0, false, {0, 0, 0, 0}, 0, 0},   // right of the source
    };
    for (const Case& c : cases) {
        RECT rect = c.in;
        int32_t x = c.x, y = c.y;
        EXPECT_EQ(ClipTransfer(10, 8, 6, 5, rect, x, y), c.ok);
        EXPECT_EQ(rect.left, c.out.left);
        EXPECT_EQ(rect.top, c.out.top);
        EXPECT_EQ(rect.right, c.out.right);
        EXPECT_EQ(rect.bottom, c.out.bottom);
        EXPECT_EQ(x, c.outX);
        EXPECT_EQ(y, c.outY);
    }
}

}  // namespace
